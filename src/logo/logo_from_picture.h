#pragma once
// The one road from a picture file to its logo file, shared by the desktop
// window and the command-line tool so that both write identical files.
#include <cstdint>
#include <filesystem>

#include "logo/logo_file.h"

namespace korvane {

// Decodes the picture and writes "<picturePath>.logo" for a screen of
// screenW × screenH with `background` as 0x00BBGGRR. A picture that cannot be
// decoded gives PictureUnreadable and writes nothing. The size limits of
// logo_limits.h are the caller's to apply before this. An empty `logoPath`
// means "<picturePath>.logo".
LogoWriteResult WriteLogoFromPicture(const std::filesystem::path& picturePath, uint32_t background,
                                     int screenW, int screenH,
                                     const std::filesystem::path& logoPath = {});

}  // namespace korvane
