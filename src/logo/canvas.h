#pragma once
// A rendered picture on its way to the logo file: width × height pixels, rows
// top first without padding, each pixel a native 32-bit 0xAARRGGBB value. That
// is the layout of QImage::Format_RGB32 and Format_ARGB32, so a decoder can paint
// straight into `pixels` without reshuffling. The top byte is ignored.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvane {

inline constexpr uint32_t kCanvasBlack = 0xFF000000;

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Canvas() = default;
    // Negative sizes give an empty canvas.
    Canvas(int w, int h, uint32_t fill = kCanvasBlack)
        : width(w > 0 && h > 0 ? w : 0),
          height(w > 0 && h > 0 ? h : 0),
          pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}

    bool empty() const { return pixels.empty(); }
    uint32_t& at(int x, int y) { return pixels[Index(x, y)]; }
    uint32_t at(int x, int y) const { return pixels[Index(x, y)]; }

  private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    }
};

}  // namespace korvane
