#include "gif_writer.h"

#include <algorithm>

namespace korvane::test {

namespace {

void PutLe16(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// LZW with a minimum code size of 2 that never lets the code table grow past
// 3-bit codes: a clear code before every second pixel keeps the encoder trivial
// and the stream valid for any decoder.
std::vector<uint8_t> LzwCodes(const std::vector<uint8_t>& indices) {
    constexpr unsigned kClear = 4;
    constexpr unsigned kEnd = 5;
    std::vector<uint8_t> bytes;
    unsigned acc = 0;
    int bits = 0;
    auto put = [&](unsigned code) {
        acc |= code << bits;
        bits += 3;
        while (bits >= 8) {
            bytes.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0)
            put(kClear);
        put(indices[i] & 3u);
    }
    put(kEnd);
    if (bits > 0)
        bytes.push_back(static_cast<uint8_t>(acc));
    return bytes;
}

}  // namespace

std::vector<uint8_t> EncodeGif(int width, int height, const GifPalette& palette,
                               const std::vector<uint8_t>& indices,
                               std::optional<uint8_t> transparentIndex) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe16(out, width);
    PutLe16(out, height);
    out.push_back(0x91);  // global table, 2-bit colour resolution, 4 entries
    out.push_back(0);     // background index
    out.push_back(0);     // aspect
    for (const auto& rgb : palette)
        out.insert(out.end(), rgb.begin(), rgb.end());
    if (transparentIndex) {
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, *transparentIndex, 0x00});
    }
    out.push_back(0x2C);  // image descriptor
    PutLe16(out, 0);
    PutLe16(out, 0);
    PutLe16(out, width);
    PutLe16(out, height);
    out.push_back(0);  // no local table, not interlaced
    out.push_back(2);  // minimum code size
    const std::vector<uint8_t> data = LzwCodes(indices);
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.size() - at);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<long>(at),
                   data.begin() + static_cast<long>(at + n));
    }
    out.push_back(0);     // end of image data
    out.push_back(0x3B);  // trailer
    return out;
}

}  // namespace korvane::test
