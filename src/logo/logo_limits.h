#pragma once
// The sizes a logo picture may have: no larger than the panel's screen in either
// direction, and at most 131072 pixels, which also bounds the memory a
// conversion takes. Both front ends refuse a picture with these checks before
// a logo file is written.
#include <cstdint>

namespace korvane {

inline constexpr int64_t kLogoMaxPixels = 131072;

enum class LogoPictureFit {
    Fits,
    LargerThanScreen,  // wider or taller than the screen
    TooManyPixels,     // more than kLogoMaxPixels
};

// The screen check is made first, as the picker does when a picture is chosen;
// the pixel count is checked when the choice is confirmed.
LogoPictureFit CheckLogoPicture(int picture_width, int picture_height, int screen_width,
                                int screen_height);

}  // namespace korvane
