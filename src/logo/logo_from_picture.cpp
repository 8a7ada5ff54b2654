#include "logo/logo_from_picture.h"

#include <string>

#include "logo/picture.h"
#include "system/display_path.h"

namespace korvane {

LogoWriteResult WriteLogoFromPicture(const std::filesystem::path& picture_path, uint32_t background,
                                     int screen_width, int screen_height,
                                     const std::filesystem::path& logo_path) {
    Picture picture;
    std::string error;
    if (!picture.Load(picture_path, &error)) {
        return LogoWriteResult{
            LogoWriteStatus::PictureUnreadable,
            logo_path.empty() ? LogoPathFor(picture_path) : logo_path,
            "cannot read the picture " + DisplayPath(picture_path) + ": " + error};
    }
    const QSize size = picture.NaturalSize();
    return WriteLogoFile(
        picture_path, size.width(), size.height(), background, screen_width, screen_height,
        [&picture](Canvas& canvas) { return picture.RenderInto(canvas); }, logo_path);
}

}  // namespace korvane
