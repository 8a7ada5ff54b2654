#pragma once
// The one road from a picture file to its logo file, shared by the desktop
// window and the command-line tool so that both write identical files.
#include <cstdint>
#include <filesystem>

#include "logo/logo_file.h"

namespace korvane {

// Decodes the picture and writes "<picture_path>.logo" for a screen of
// screen_width × screen_height with `background` as 0x00BBGGRR. A picture that cannot be
// decoded gives PictureUnreadable and writes nothing. The size limits of
// logo_limits.h are the caller's to apply before this. An empty `logo_path`
// means "<picture_path>.logo".
LogoWriteResult WriteLogoFromPicture(const std::filesystem::path& picture_path, uint32_t background,
                                     int screen_width, int screen_height,
                                     const std::filesystem::path& logo_path = {});

}  // namespace korvane
