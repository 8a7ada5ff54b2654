#include "sim/pty_request_assembler.h"

namespace korvane::sim {

std::vector<std::vector<uint8_t>> RequestAssembler::Feed(std::span<const uint8_t> bytes) {
    std::vector<std::vector<uint8_t>> frames;
    for (const uint8_t b : bytes) {
        const uint16_t stored = parser_.byte_count;
        FeedReplyByte(parser_, b, buffer_);
        if (!parser_.Done())
            continue;
        // The parser keeps the last byte (the checksum, or the length byte
        // that ruled the frame out) to itself; the panel wants the frame
        // whole, to judge it as a panel would.
        std::vector<uint8_t> frame(buffer_.begin(), buffer_.begin() + stored);
        frame.push_back(b);
        frames.push_back(std::move(frame));
        parser_.Reset();
    }
    return frames;
}

}  // namespace korvane::sim
