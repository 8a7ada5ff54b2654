#include "logo/logo_header.h"

#include <gtest/gtest.h>

#include <array>

namespace korvane {
namespace {

using Bytes = std::array<uint8_t, kLogoHeaderSize>;

struct HeaderCase {
    const char* what;
    int picture_width, picture_height;
    uint32_t background;
    int screen_width, screen_height;
    Bytes expected;
};

TEST(LogoHeader, EncodesPlacementColourAndChecksum) {
    const HeaderCase cases[] = {
        {"100x50 white on 800x480: x 350 y 215 checksum 730",
         100,
         50,
         0x00FFFFFF,
         800,
         480,
         {0x5E, 0x01, 0xD7, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00, 0x10, 0xFF, 0xFF, 0xDA, 0x02, 0x00,
          0x00}},
        {"101x50 black: width 100, checksum 2812 - 1",
         101,
         50,
         0x00000000,
         800,
         480,
         {0x5D, 0x01, 0xD7, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00, 0x10, 0x21, 0x08, 0xFB, 0x0A, 0x00,
          0x00}},
        {"103x60 red on 320x240: width 104, checksum -1670",
         103,
         60,
         0x000000FF,
         320,
         240,
         {0x6C, 0x00, 0x5A, 0x00, 0x68, 0x00, 0x3C, 0x00, 0x00, 0x10, 0x00, 0xF8, 0x7A, 0xF9, 0xFF,
          0xFF}},
        {"as large as the screen: x = y = 0",
         320,
         240,
         0x00FF0000,
         320,
         240,
         {0x00, 0x00, 0x00, 0x00, 0x40, 0x01, 0xF0, 0x00, 0x00, 0x10, 0x1F, 0x00, 0x5F, 0x02, 0x00,
          0x00}},
        {"wider than the screen: x truncates toward zero to -1",
         803,
         480,
         0x00FFFFFF,
         800,
         480,
         {0xFF, 0xFF, 0x00, 0x00, 0x24, 0x03, 0xE0, 0x01, 0x00, 0x10, 0xFF, 0xFF, 0x12, 0x05, 0x00,
          0x00}},
        {"taller than the screen: y -2; width 2 mod 4 stays",
         10,
         245,
         0x00000000,
         320,
         240,
         {0x9B, 0x00, 0xFE, 0xFF, 0x0A, 0x00, 0xF5, 0x00, 0x00, 0x10, 0x21, 0x08, 0xC9, 0x09, 0x00,
          0x00}},
        {"one pixel wide: width 0",
         1,
         1,
         0x00000000,
         2,
         2,
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x10, 0x21, 0x08, 0x32, 0x08, 0x00,
          0x00}},
        {"checksum 32767 + 1 is not wrapped to 16 bits",
         3,
         1,
         0x0058FC78,
         3,
         1,
         {0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x10, 0xEB, 0x7F, 0x00, 0x80, 0x00,
          0x00}},
        {"checksum -32768 - 1 is not wrapped to 16 bits",
         5,
         1,
         0x0050FC78,
         5,
         1,
         {0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x10, 0xEA, 0x7F, 0xFF, 0x7F, 0xFF,
          0xFF}},
    };
    for (const auto& c : cases) {
        const auto header = MakeLogoHeader(c.picture_width, c.picture_height, c.background,
                                           c.screen_width, c.screen_height);
        ASSERT_TRUE(header.has_value()) << c.what;
        EXPECT_EQ(EncodeLogoHeader(*header), c.expected) << c.what;
    }
}

struct RefusedCase {
    const char* what;
    int picture_width, picture_height, screen_width, screen_height;
};

TEST(LogoHeader, RefusesSizesThatDoNotFitTheFile) {
    const RefusedCase cases[] = {
        {"no width", 0, 50, 800, 480},
        {"no height", 50, 0, 800, 480},
        {"negative width", -4, 50, 800, 480},
        {"even width overflows 16 bits", 32767, 1, 32767, 1},
        {"height overflows 16 bits", 2, 32768, 800, 480},
        {"x overflows 16 bits", 2, 2, 70000, 480},
        {"y overflows 16 bits", 2, 2, 800, -70000},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(
            MakeLogoHeader(c.picture_width, c.picture_height, 0, c.screen_width, c.screen_height)
                .has_value())
            << c.what;
    }
    EXPECT_TRUE(MakeLogoHeader(32766, 1, 0, 32766, 1).has_value()) << "largest even width";
}

}  // namespace
}  // namespace korvane
