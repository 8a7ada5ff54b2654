#include "logo/logo_limits.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct FitCase {
    int pictureW, pictureH, screenW, screenH;
    LogoPictureFit expected;
};

TEST(LogoLimits, PictureMustFitTheScreenAndTheMemoryBound) {
    const FitCase cases[] = {
        {320, 240, 320, 240, LogoPictureFit::Fits},
        {321, 240, 320, 240, LogoPictureFit::LargerThanScreen},
        {320, 241, 320, 240, LogoPictureFit::LargerThanScreen},
        {400, 328, 480, 480, LogoPictureFit::TooManyPixels},  // 131200 pixels
        {512, 256, 640, 480, LogoPictureFit::Fits},           // exactly 131072
        {513, 256, 640, 480, LogoPictureFit::TooManyPixels},
        {800, 480, 640, 480, LogoPictureFit::LargerThanScreen},  // screen checked first
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckLogoPicture(c.pictureW, c.pictureH, c.screenW, c.screenH), c.expected)
            << c.pictureW << "x" << c.pictureH << " on " << c.screenW << "x" << c.screenH;
    }
}

}  // namespace
}  // namespace korvane
