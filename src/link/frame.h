#pragma once
// The wire frame shared by requests and replies:
//   5A A5 | length (16-bit, big-endian, whole frame) | command | payload | checksum
// The checksum is the sum of every byte before it, modulo 256.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace korvane {

inline constexpr size_t kFrameMax = 5200;  // request and reply buffers, UDP receive limit
inline constexpr size_t kFrameMin = 6;     // header, command and checksum, no payload
inline constexpr uint8_t kSync1 = 0x5A;
inline constexpr uint8_t kSync2 = 0xA5;

namespace frame_offset {
inline constexpr size_t kSync1 = 0;
inline constexpr size_t kSync2 = 1;
inline constexpr size_t kLength = 2;
inline constexpr size_t kCommand = 4;
inline constexpr size_t kPayload = 5;
inline constexpr size_t kStatus = 5;  // first payload byte of a reply
}  // namespace frame_offset

using FrameBuffer = std::array<uint8_t, kFrameMax>;

uint8_t FrameChecksum(const uint8_t* bytes, uint16_t count);
uint16_t ReadBe16(const uint8_t* bytes);
void WriteBe16(uint8_t* bytes, uint16_t value);
uint32_t ReadBe32(const uint8_t* bytes);
void WriteBe32(uint8_t* bytes, uint32_t value);

// Builds a request in `out` from offset 0 and returns its total length, or 0
// when the payload does not fit a frame.
uint16_t BuildFrame(FrameBuffer& out, uint8_t command, std::span<const uint8_t> payload);

// Block check of a reply that arrived in one piece (UDP, USB): the declared
// length must lie within 6..5200 and within the bytes received, and the last
// declared byte must be the checksum of those before it.
bool ValidateReply(const FrameBuffer& reply, size_t received);

// A reply the sending command accepts: sync bytes and the echoed command.
bool EchoesCommand(const FrameBuffer& reply, uint8_t command);

}  // namespace korvane
