#include "logo/logo_limits.h"

namespace korvane {

LogoPictureFit CheckLogoPicture(int picture_width, int picture_height, int screen_width,
                                int screen_height) {
    if (picture_width > screen_width || picture_height > screen_height)
        return LogoPictureFit::LargerThanScreen;
    if (static_cast<int64_t>(picture_width) * picture_height > kLogoMaxPixels) {
        return LogoPictureFit::TooManyPixels;
    }
    return LogoPictureFit::Fits;
}

}  // namespace korvane
