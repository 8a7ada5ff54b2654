#include "logo/logo_header.h"

#include <limits>

#include "logo/rgb565.h"
#include "system/little_endian.h"

namespace korvane {

namespace {

bool FitsInt16(long long v) {
    return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max();
}

}  // namespace

std::optional<LogoHeader> MakeLogoHeader(int picture_width, int picture_height, uint32_t background,
                                         int screen_width, int screen_height) {
    if (picture_width <= 0 || picture_height <= 0)
        return std::nullopt;
    // Centred with the natural width, before it is made even; C++ division
    // truncates toward zero as the panel expects for pictures wider than the screen.
    const long long x = (static_cast<long long>(screen_width) - picture_width) / 2;
    const long long y = (static_cast<long long>(screen_height) - picture_height) / 2;

    // The checksum covers the natural width; the even-width step then corrects it
    // by the same amount without wrapping it to 16 bits again.
    long long width = picture_width;
    int adjust = 0;
    if (width % 4 == 1)
        adjust = -1;
    if (width % 4 == 3)
        adjust = 1;
    const long long even_width = width + adjust;
    if (!FitsInt16(x) || !FitsInt16(y) || !FitsInt16(width) || !FitsInt16(even_width) ||
        !FitsInt16(picture_height)) {
        return std::nullopt;
    }

    LogoHeader h;
    h.x = static_cast<int16_t>(x);
    h.y = static_cast<int16_t>(y);
    h.height = static_cast<int16_t>(picture_height);
    h.background = Rgb565FromColor(background);
    const long long sum =
        x + y + width + picture_height + h.reserved + h.bits_per_pixel + h.background;
    h.checksum = static_cast<int16_t>(static_cast<uint16_t>(sum)) + adjust;
    h.width = static_cast<int16_t>(even_width);
    return h;
}

std::array<uint8_t, kLogoHeaderSize> EncodeLogoHeader(const LogoHeader& header) {
    std::array<uint8_t, kLogoHeaderSize> out{};
    WriteLe16(&out[logo_offset::kX], static_cast<uint16_t>(header.x));
    WriteLe16(&out[logo_offset::kY], static_cast<uint16_t>(header.y));
    WriteLe16(&out[logo_offset::kWidth], static_cast<uint16_t>(header.width));
    WriteLe16(&out[logo_offset::kHeight], static_cast<uint16_t>(header.height));
    out[logo_offset::kReserved] = header.reserved;
    out[logo_offset::kBitsPerPixel] = header.bits_per_pixel;
    WriteLe16(&out[logo_offset::kBackground], header.background);
    WriteLe32(&out[logo_offset::kChecksum], static_cast<uint32_t>(header.checksum));
    return out;
}

}  // namespace korvane
