#pragma once
// Picture decoding for `logo` and `flash logo`. The Qt build decodes with the
// picture holder the desktop window uses, so both write identical logo files;
// a build without Qt has no decoder, and these calls say so.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "logo/logo_file.h"

namespace korvane::cli {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// False in a build without Qt.
bool CanDecodePictures();

// The picture's natural size; nothing, with `error` saying why, when it
// cannot be decoded.
std::optional<PictureSize> ReadPictureSize(const std::filesystem::path& picture,
                                           std::string* error);

// Decodes the picture and writes its logo file (see logo_from_picture.h).
LogoWriteResult WriteLogoForPicture(const std::filesystem::path& picture, uint32_t background,
                                    int screen_width, int screen_height,
                                    const std::filesystem::path& logo_path);

}  // namespace korvane::cli
