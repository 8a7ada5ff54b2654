#include "logo/logo_pixels.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(LogoPixelArea, RowsFollowEachOtherAndTheZeroBytesComeLast) {
    LogoHeader header;
    header.width = 2;
    header.height = 3;
    Canvas canvas(2, 3);
    canvas.at(0, 0) = 0xFFFFFFFF;  // white
    canvas.at(1, 0) = 0xFF000000;  // black
    canvas.at(0, 1) = 0xFFFF0000;  // red
    canvas.at(1, 1) = 0xFF00FF00;  // green
    canvas.at(0, 2) = 0xFF0000FF;  // blue
    canvas.at(1, 2) = 0xFF070307;  // near black
    const std::vector<uint8_t> expected = {
        0xFF, 0xFF, 0x21, 0x08,                          // row 0
        0x00, 0xF8, 0xE0, 0x07,                          // row 1
        0x1F, 0x00, 0x21, 0x08,                          // row 2
        0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0,  // 4 × height
    };
    EXPECT_EQ(BuildLogoPixelArea(header, canvas), expected);
}

TEST(LogoPixelArea, SizeIsHeightTimesTwiceTheWidthPlusFour) {
    LogoHeader header;
    header.width = 100;
    header.height = 50;
    EXPECT_EQ(LogoPixelAreaSize(header), 10200u);
    header.width = 0;  // a one-pixel-wide picture made even
    header.height = 3;
    EXPECT_EQ(BuildLogoPixelArea(header, Canvas()), std::vector<uint8_t>(12, 0));
}

TEST(LogoPixelArea, PartOfTheAreaNoCanvasCoversStaysZero) {
    LogoHeader header;
    header.width = 2;
    header.height = 2;
    const Canvas oneRow(1, 1, 0xFFFFFFFF);
    const std::vector<uint8_t> expected = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(BuildLogoPixelArea(header, oneRow), expected);
}

}  // namespace
}  // namespace korvane
