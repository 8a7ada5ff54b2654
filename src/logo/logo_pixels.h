#pragma once
// The pixel area that follows the logo header: height × (2 × width + 4) bytes.
// The rows come first, top row first, without padding, each pixel a little-endian
// RGB565 value; the last 4 × height bytes are zero.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "logo/canvas.h"
#include "logo/logo_header.h"

namespace korvane {

size_t LogoPixelAreaSize(const LogoHeader& header);

// The area for `header`, with `canvas` converted into it. The canvas is expected
// to be header.width × header.height; any part of the area it does not cover
// stays zero.
std::vector<uint8_t> BuildLogoPixelArea(const LogoHeader& header, const Canvas& canvas);

}  // namespace korvane
