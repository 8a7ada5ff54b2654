#include "logo/logo_pixels.h"

#include <algorithm>

#include "logo/rgb565.h"
#include "system/little_endian.h"

namespace korvane {

size_t LogoPixelAreaSize(const LogoHeader& header) {
    if (header.width < 0 || header.height <= 0)
        return 0;
    return static_cast<size_t>(header.height) * (2 * static_cast<size_t>(header.width) + 4);
}

std::vector<uint8_t> BuildLogoPixelArea(const LogoHeader& header, const Canvas& canvas) {
    std::vector<uint8_t> area(LogoPixelAreaSize(header), 0);
    if (area.empty())
        return area;
    const int rows = std::min<int>(header.height, canvas.height);
    const int cols = std::min<int>(header.width, canvas.width);
    const size_t row_bytes = 2 * static_cast<size_t>(header.width);
    for (int y = 0; y < rows; ++y) {
        const uint32_t* src = canvas.pixels.data() + static_cast<size_t>(y) * canvas.width;
        uint8_t* dst = area.data() + static_cast<size_t>(y) * row_bytes;
        for (int x = 0; x < cols; ++x) {
            WriteLe16(dst + 2 * x, Rgb565FromPixel(src[x]));
        }
    }
    return area;
}

}  // namespace korvane
