// Feeds arbitrary bytes to the reply stream parser and the block check. The
// reply buffer is a heap block of exactly the frame limit, so that the
// sanitizer sees any access past it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/frame.h"
#include "link/reply_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto reply = std::make_unique<korvane::FrameBuffer>();
    korvane::ReplyParser parser;
    for (size_t i = 0; i < size; ++i) {
        korvane::FeedReplyByte(parser, data[i], *reply);
        if (parser.Done())
            parser.Reset();
    }
    auto block = std::make_unique<korvane::FrameBuffer>();
    const size_t n = std::min(size, block->size());
    std::copy_n(data, n, block->begin());
    korvane::ValidateReply(*block, n);
    return 0;
}
