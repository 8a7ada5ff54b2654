#include "cli/logo_picture.h"
#include "logo/logo_from_picture.h"
#include "logo/picture_holder.h"

namespace korvane::cli {

bool CanDecodePictures() {
    return true;
}

std::optional<PictureSize> ReadPictureSize(const std::filesystem::path& picture,
                                           std::string* error) {
    CPictureHolder holder;
    if (!holder.Load(picture, error))
        return std::nullopt;
    const QSize size = holder.NaturalSize();
    return PictureSize{size.width(), size.height()};
}

LogoWriteResult WriteLogoForPicture(const std::filesystem::path& picture, uint32_t background,
                                    int screen_width, int screen_height,
                                    const std::filesystem::path& logo_path) {
    return WriteLogoFromPicture(picture, background, screen_width, screen_height, logo_path);
}

}  // namespace korvane::cli
