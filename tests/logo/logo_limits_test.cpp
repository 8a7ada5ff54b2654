#include "logo/logo_limits.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct FitCase {
    int picture_width, picture_height, screen_width, screen_height;
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
        EXPECT_EQ(
            CheckLogoPicture(c.picture_width, c.picture_height, c.screen_width, c.screen_height),
            c.expected)
            << c.picture_width << "x" << c.picture_height << " on " << c.screen_width << "x"
            << c.screen_height;
    }
}

}  // namespace
}  // namespace korvane
