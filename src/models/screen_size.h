#pragma once
// The screen sizes a panel may have, one rule for a size given on the command
// line and for the sizes of the model list: each side 1 to 32767 pixels (the
// logo header keeps them in 16 signed bits).
#include <cstdint>

namespace korvane {

inline constexpr int32_t kScreenSideMin = 1;
inline constexpr int32_t kScreenSideMax = 32767;

constexpr bool IsScreenSide(int64_t pixels) {
    return pixels >= kScreenSideMin && pixels <= kScreenSideMax;
}

}  // namespace korvane
