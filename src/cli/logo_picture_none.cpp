// The build without Qt: no picture decoder, so no logo conversion.
#include "cli/logo_picture.h"

namespace korvane::cli {

namespace {

constexpr char kNoDecoder[] = "this korvane-cli was built without Qt and cannot decode pictures";

}  // namespace

bool CanDecodePictures() {
    return false;
}

std::optional<PictureSize> ReadPictureSize(const std::filesystem::path&, std::string* error) {
    if (error)
        *error = kNoDecoder;
    return std::nullopt;
}

LogoWriteResult WriteLogoForPicture(const std::filesystem::path& picture, uint32_t, int, int,
                                    const std::filesystem::path& logo_path) {
    return LogoWriteResult{LogoWriteStatus::PictureUnreadable,
                           logo_path.empty() ? LogoPathFor(picture) : logo_path, kNoDecoder};
}

}  // namespace korvane::cli
