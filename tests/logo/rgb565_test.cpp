#include "logo/rgb565.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct ChannelCase {
    uint8_t r, g, b;
    uint16_t expected;
};

TEST(Rgb565, ConvertsChannelsByTruncationAndNeverGivesZero) {
    const ChannelCase cases[] = {
        {0xFF, 0xFF, 0xFF, 0xFFFF},  // white
        {0xFF, 0x00, 0x00, 0xF800},  // red
        {0x00, 0xFF, 0x00, 0x07E0},  // green
        {0x00, 0x00, 0xFF, 0x001F},  // blue
        {0x00, 0x00, 0x00, 0x0821},  // black
        {0x07, 0x03, 0x07, 0x0821},  // every channel below one step
        {0x08, 0x00, 0x00, 0x0800},  // one step of red is not zero
        {0x00, 0x04, 0x00, 0x0020}, {0x00, 0x00, 0x08, 0x0001},
        {0xF7, 0xFB, 0xF7, 0xF7DE},  // dropped, not rounded up to white
        {0x0F, 0x0B, 0x1F, 0x0843},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rgb565(c.r, c.g, c.b), c.expected)
            << "r=" << int(c.r) << " g=" << int(c.g) << " b=" << int(c.b);
    }
}

struct PackedCase {
    uint32_t value;
    uint16_t expected;
};

TEST(Rgb565, ChosenColourHasRedInTheLowByteAndIgnoresTheTopByte) {
    const PackedCase cases[] = {
        {0x000000FF, 0xF800}, {0x0000FF00, 0x07E0}, {0x00FF0000, 0x001F},
        {0x00FFFFFF, 0xFFFF}, {0x00000000, 0x0821}, {0xFF000000, 0x0821},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rgb565FromColor(c.value), c.expected) << std::hex << c.value;
    }
}

TEST(Rgb565, CanvasPixelHasRedInTheThirdByteAndIgnoresTheTopByte) {
    const PackedCase cases[] = {
        {0xFFFF0000, 0xF800}, {0xFF00FF00, 0x07E0}, {0xFF0000FF, 0x001F},
        {0x00FFFFFF, 0xFFFF}, {0xFF000000, 0x0821}, {0xFF070307, 0x0821},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rgb565FromPixel(c.value), c.expected) << std::hex << c.value;
    }
}

}  // namespace
}  // namespace korvane
