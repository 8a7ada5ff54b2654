#include "link/frame.h"

namespace korvane {

uint8_t FrameChecksum(const uint8_t* bytes, uint16_t count) {
    uint8_t sum = 0;
    for (uint16_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

uint16_t ReadBe16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void WriteBe16(uint8_t* bytes, uint16_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 8);
    bytes[1] = static_cast<uint8_t>(value);
}

uint32_t ReadBe32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 |
           uint32_t{bytes[3]};
}

void WriteBe32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

uint16_t BuildFrame(FrameBuffer& out, uint8_t command, std::span<const uint8_t> payload) {
    const size_t length = kFrameMin + payload.size();
    if (length > kFrameMax)
        return 0;
    out[frame_offset::kSync1] = kSync1;
    out[frame_offset::kSync2] = kSync2;
    WriteBe16(&out[frame_offset::kLength], static_cast<uint16_t>(length));
    out[frame_offset::kCommand] = command;
    for (size_t i = 0; i < payload.size(); ++i)
        out[frame_offset::kPayload + i] = payload[i];
    out[length - 1] = FrameChecksum(out.data(), static_cast<uint16_t>(length - 1));
    return static_cast<uint16_t>(length);
}

bool ValidateReply(const FrameBuffer& reply, size_t received) {
    // A declared length outside the buffer or beyond what arrived would make
    // the check read stale bytes as if they were the reply: such a reply is bad.
    const uint16_t length = ReadBe16(&reply[frame_offset::kLength]);
    if (received < kFrameMin || length < kFrameMin || length > kFrameMax || length > received) {
        return false;
    }
    return FrameChecksum(reply.data(), static_cast<uint16_t>(length - 1)) == reply[length - 1];
}

bool EchoesCommand(const FrameBuffer& reply, uint8_t command) {
    return reply[frame_offset::kSync1] == kSync1 && reply[frame_offset::kSync2] == kSync2 &&
           reply[frame_offset::kCommand] == command;
}

}  // namespace korvane
