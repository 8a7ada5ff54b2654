#include "protocol/requests.h"

#include <cstdio>
#include <cstring>

#include "protocol/command_codes.h"
#include "system/little_endian.h"

namespace korvane {

namespace {

std::array<uint8_t, 6> ModeAndIdent(uint8_t first) {
    std::array<uint8_t, 6> p{first};
    std::memcpy(&p[1], cmd::kIdent, cmd::kIdentLength);
    return p;
}

}  // namespace

std::string ClockValue::Text() const {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

uint16_t BuildEnterDownload(FrameBuffer& out, uint8_t mode) {
    return BuildFrame(out, cmd::kEnterDownload, ModeAndIdent(mode));
}

uint16_t BuildQueryState(FrameBuffer& out) {
    return BuildFrame(out, cmd::kQueryState, {});
}

uint16_t BuildVersionHandshake(FrameBuffer& out, uint8_t version) {
    return BuildFrame(out, cmd::kVersionHandshake, ModeAndIdent(version));
}

uint16_t BuildEndDownload(FrameBuffer& out) {
    return BuildFrame(out, cmd::kEndDownload, {});
}

uint16_t BuildSetParameter(FrameBuffer& out, uint8_t item, const SixBytes& value) {
    std::array<uint8_t, 7> p{item};
    std::copy(value.begin(), value.end(), p.begin() + 1);
    return BuildFrame(out, cmd::kSetParameter, p);
}

uint16_t BuildGetParameter(FrameBuffer& out, uint8_t item) {
    const uint8_t p[] = {item};
    return BuildFrame(out, cmd::kGetParameter, p);
}

uint16_t BuildGetClock(FrameBuffer& out) {
    return BuildFrame(out, cmd::kGetClock, {});
}

uint16_t BuildSetClock(FrameBuffer& out, const ClockValue& c) {
    const uint8_t p[] = {static_cast<uint8_t>(c.year >> 8), static_cast<uint8_t>(c.year),
                         static_cast<uint8_t>(c.month),     static_cast<uint8_t>(c.day),
                         static_cast<uint8_t>(c.hour),      static_cast<uint8_t>(c.minute),
                         static_cast<uint8_t>(c.second)};
    return BuildFrame(out, cmd::kSetClock, p);
}

uint16_t BuildFlashPrepare(FrameBuffer& out, ImageKind kind, uint32_t start, uint32_t end,
                           uint32_t checksum) {
    std::array<uint8_t, 13> p{static_cast<uint8_t>(kind)};
    WriteBe32(&p[1], start);
    WriteBe32(&p[5], end);
    WriteBe32(&p[9], checksum);
    return BuildFrame(out, cmd::kFlashPrepare, p);
}

uint16_t BuildFlashData(FrameBuffer& out, uint32_t address, std::span<const uint8_t> data) {
    // Written in place: a packet is up to 4000 bytes and goes out thousands
    // of times a run, so no intermediate copy of the payload.
    const size_t length = kFrameMin + 4 + data.size();
    if (length > kFrameMax)
        return 0;
    out[frame_offset::kSync1] = kSync1;
    out[frame_offset::kSync2] = kSync2;
    WriteBe16(&out[frame_offset::kLength], static_cast<uint16_t>(length));
    out[frame_offset::kCommand] = cmd::kFlashData;
    WriteBe32(&out[frame_offset::kPayload], address);
    if (!data.empty())
        std::memcpy(&out[frame_offset::kPayload + 4], data.data(), data.size());
    out[length - 1] = FrameChecksum(out.data(), static_cast<uint16_t>(length - 1));
    return static_cast<uint16_t>(length);
}

SixBytes AddressValue(const std::array<uint8_t, 4>& address, uint16_t port) {
    SixBytes out{address[0], address[1], address[2], address[3], 0, 0};
    WriteLe16(&out[4], port);
    return out;
}

ClockValue ReadClockReply(const FrameBuffer& r) {
    const size_t m = reply_offset::kClockMonth;
    return {ReadBe16(&r[reply_offset::kClockYear]), r[m], r[m + 1], r[m + 2], r[m + 3], r[m + 4]};
}

}  // namespace korvane
