#pragma once
// The 16-byte head of a logo file, all fields little-endian:
//   x, y, width, height (signed 16-bit) | reserved 0 | bits per pixel 16 |
//   background (RGB565) | checksum (signed 32-bit)
// x and y centre the picture on the panel's screen; the pixel area follows.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace korvane {

inline constexpr size_t kLogoHeaderSize = 16;
inline constexpr uint8_t kLogoBitsPerPixel = 16;

namespace logo_offset {
inline constexpr size_t kX = 0;
inline constexpr size_t kY = 2;
inline constexpr size_t kWidth = 4;
inline constexpr size_t kHeight = 6;
inline constexpr size_t kReserved = 8;
inline constexpr size_t kBitsPerPixel = 9;
inline constexpr size_t kBackground = 10;
inline constexpr size_t kChecksum = 12;
inline constexpr size_t kPixels = 16;
}  // namespace logo_offset

struct LogoHeader {
    int16_t x = 0;
    int16_t y = 0;
    int16_t width = 0;  // made even; the pixel area and the canvas use this width
    int16_t height = 0;
    uint8_t reserved = 0;
    uint8_t bits_per_pixel = kLogoBitsPerPixel;
    uint16_t background = 0;
    int32_t checksum = 0;
};

// Header for a picture of natural size picture_width × picture_height on a screen of
// screen_width × screen_height, with `background` as 0x00BBGGRR. Empty when the picture has
// no pixels or a field would not fit its 16-bit slot.
std::optional<LogoHeader> MakeLogoHeader(int picture_width, int picture_height, uint32_t background,
                                         int screen_width, int screen_height);

std::array<uint8_t, kLogoHeaderSize> EncodeLogoHeader(const LogoHeader& header);

}  // namespace korvane
