#pragma once
// The panel's 16-bit colour: red in bits 15-11, green in 10-5, blue in 4-0.
// The low bits of each channel are dropped, never rounded. A converted colour is
// never 0x0000: black and every colour that truncates to zero are written as
// 0x0821, the darkest value the logo file carries.
#include <cstdint>

namespace korvane {

inline constexpr uint16_t kRgb565Black = 0x0821;

constexpr uint16_t Rgb565(uint8_t r, uint8_t g, uint8_t b) {
    const auto v = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    return v == 0 ? kRgb565Black : v;
}

// A colour as the user chooses it: 0x00BBGGRR, red in the low byte. The top byte
// is ignored, so 0xFF000000 converts like black.
constexpr uint16_t Rgb565FromColor(uint32_t color) {
    return Rgb565(static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                  static_cast<uint8_t>(color >> 16));
}

// A canvas pixel: 0xAARRGGBB, red in the third byte. The top byte is ignored.
constexpr uint16_t Rgb565FromPixel(uint32_t pixel) {
    return Rgb565(static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                  static_cast<uint8_t>(pixel));
}

}  // namespace korvane
