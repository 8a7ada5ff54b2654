// Feeds arbitrary bytes to the serial reply stream in arbitrary chunks, the
// way the flash engine reads the final result. The first byte seeds the
// chunk sizes. While the stream keeps what follows a frame, the frames found
// must not depend on where the chunks were cut: the run is compared with
// one that takes all bytes in a single chunk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "link/frame.h"
#include "link/reply_stream.h"

namespace {

using korvane::ReplyStream;

struct Found {
    ReplyStream::Ended ended;
    std::vector<uint8_t> bytes;  // the frame, without its checksum byte
    bool operator==(const Found&) const = default;
};

// Feeds each chunk, then whatever is kept until nothing is.
std::vector<Found> Run(const uint8_t* data, size_t size, const std::vector<size_t>& cuts,
                       bool keep) {
    auto reply = std::make_unique<korvane::FrameBuffer>();
    korvane::ReplyParser parser;
    ReplyStream stream;
    stream.SetKeep(keep);
    size_t length = 0;
    std::vector<Found> found;
    auto note = [&](ReplyStream::Ended e) {
        if (length > reply->size())
            std::abort();
        Found f{e, {}};
        if (e == ReplyStream::Ended::Frame)
            f.bytes.assign(reply->begin(), reply->begin() + static_cast<std::ptrdiff_t>(length));
        found.push_back(std::move(f));
    };
    size_t at = 0;
    for (const size_t n : cuts) {
        if (const auto e = stream.Feed(parser, *reply, length, data + at, n))
            note(*e);
        while (const auto e = stream.FeedKept(parser, *reply, length))
            note(*e);
        at += n;
    }
    if (at != size)
        std::abort();
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    uint32_t seed = data[0];
    ++data;
    --size;
    // Chunks of 1 to 20 bytes, as the serial link reads them.
    std::vector<size_t> cuts;
    for (size_t left = size; left > 0;) {
        seed = seed * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(left, 1 + (seed >> 16) % 20);
        cuts.push_back(n);
        left -= n;
    }
    const std::vector<size_t> whole = size ? std::vector<size_t>{size} : std::vector<size_t>{};
    const auto chunked = Run(data, size, cuts, true);
    if (chunked != Run(data, size, whole, true))
        std::abort();
    // Dropping what follows a frame (command exchanges) may find other
    // frames, but must stay within the buffer all the same.
    Run(data, size, cuts, false);
    return 0;
}
