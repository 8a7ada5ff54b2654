#pragma once
// Builders for every request the tool sends and readers for the reply fields
// it uses. Each returns the frame's total length.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "link/frame.h"
#include "protocol/image_kind_code.h"

namespace korvane {

struct ClockValue {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::string Text() const;  // "YYYY-MM-DD HH:MM:SS"
    bool operator==(const ClockValue&) const = default;
};

using SixBytes = std::array<uint8_t, 6>;

uint16_t BuildEnterDownload(FrameBuffer& out, uint8_t mode);
uint16_t BuildQueryState(FrameBuffer& out);
uint16_t BuildVersionHandshake(FrameBuffer& out, uint8_t version);
uint16_t BuildEndDownload(FrameBuffer& out);
uint16_t BuildSetParameter(FrameBuffer& out, uint8_t item, const SixBytes& value);
uint16_t BuildGetParameter(FrameBuffer& out, uint8_t item);
uint16_t BuildGetClock(FrameBuffer& out);
uint16_t BuildSetClock(FrameBuffer& out, const ClockValue& clock);
uint16_t BuildFlashPrepare(FrameBuffer& out, ImageKind kind, uint32_t start, uint32_t end,
                           uint32_t checksum);
// Flash-data: the 4-byte address, then the data bytes; 0 when they do not fit.
uint16_t BuildFlashData(FrameBuffer& out, uint32_t address, std::span<const uint8_t> data);

// Value bytes of set-parameter: an address with its port (low byte first),
// or an address followed by two zero bytes (mask, gateway).
SixBytes AddressValue(const std::array<uint8_t, 4>& address, uint16_t port);

namespace reply_offset {
inline constexpr size_t kJumper = 6;      // query-state
inline constexpr size_t kAddress = 6;     // get-parameter item 1
inline constexpr size_t kPort = 10;       // get-parameter item 1, low byte first
inline constexpr size_t kClockYear = 5;   // get-clock, big-endian
inline constexpr size_t kClockMonth = 7;  // then day, hour, minute, second
}  // namespace reply_offset

ClockValue ReadClockReply(const FrameBuffer& reply);

}  // namespace korvane
