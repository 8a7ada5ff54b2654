#include "logo/logo_from_picture.h"

#include <string>

#include "logo/picture_holder.h"

namespace korvane {

LogoWriteResult WriteLogoFromPicture(const std::filesystem::path& picturePath, uint32_t background,
                                     int screenW, int screenH,
                                     const std::filesystem::path& logoPath) {
    CPictureHolder picture;
    std::string error;
    if (!picture.Load(picturePath, &error)) {
        return LogoWriteResult{LogoWriteStatus::PictureUnreadable,
                               logoPath.empty() ? LogoPathFor(picturePath) : logoPath,
                               "cannot read the picture " + picturePath.string() + ": " + error};
    }
    const QSize size = picture.NaturalSize();
    return WriteLogoFile(
        picturePath, size.width(), size.height(), background, screenW, screenH,
        [&picture](Canvas& canvas) { return picture.RenderInto(canvas); }, logoPath);
}

}  // namespace korvane
