#include "logo/logo_limits.h"

namespace korvane {

LogoPictureFit CheckLogoPicture(int pictureW, int pictureH, int screenW, int screenH) {
    if (pictureW > screenW || pictureH > screenH)
        return LogoPictureFit::LargerThanScreen;
    if (static_cast<int64_t>(pictureW) * pictureH > kLogoMaxPixels) {
        return LogoPictureFit::TooManyPixels;
    }
    return LogoPictureFit::Fits;
}

}  // namespace korvane
