#pragma once
// Qt reads GIF but does not write it, so tests build their GIFs here: one
// frame, a four-colour global table, optionally one transparent index.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvane::test {

using GifPalette = std::array<std::array<uint8_t, 3>, 4>;  // r, g, b

std::vector<uint8_t> EncodeGif(int width, int height, const GifPalette& palette,
                               const std::vector<uint8_t>& indices,
                               std::optional<uint8_t> transparentIndex);

}  // namespace korvane::test
