#pragma once
// Writing the logo file "<picture path>.logo" that a logo programming run sends
// to the panel: the header, then the pixel area.
//
// The core decodes no pictures. The caller gives the picture's natural size and
// a render callback; the writer works out the header (which may make the width
// even), allocates a black canvas of that even width and the picture's height,
// and asks the callback to paint the whole picture stretched into it. So the
// one-pixel stretch of odd widths happens in the decoder, and this file stays
// free of any image library.
//
// The file is written under a temporary name in the same folder and renamed over
// the logo file only once every byte is out, so a failure leaves the previous
// logo file (or none) and never a truncated one.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "logo/canvas.h"

namespace korvane {

enum class LogoWriteStatus {
    Written,
    PictureUnreadable,   // the picture file could not be opened or decoded
    PictureSizeInvalid,  // no pixels, or a header field would overflow
    RenderFailed,        // the render callback reported failure or resized the canvas
    CannotCreate,        // the temporary file could not be created
    WriteFailed,         // writing, closing or the final rename failed
};

struct LogoWriteResult {
    LogoWriteStatus status = LogoWriteStatus::Written;
    std::filesystem::path logo_path;  // where the file is (or would have been) written
    std::string message;              // empty when written; otherwise why not, for logs

    bool ok() const { return status == LogoWriteStatus::Written; }
};

// "<picture path>.logo": the picture's full name with ".logo" appended.
std::filesystem::path LogoPathFor(const std::filesystem::path& picture_path);

// Paints the picture into the canvas it is given (already sized and black);
// returns false when it cannot.
using LogoRender = std::function<bool(Canvas& canvas)>;

// `background` is 0x00BBGGRR. Nothing is written unless the outcome is Written.
// The file goes to `logo_path`, or to LogoPathFor(picture_path) when that is empty.
LogoWriteResult WriteLogoFile(const std::filesystem::path& picture_path, int picture_width,
                              int picture_height, uint32_t background, int screen_width,
                              int screen_height, const LogoRender& render,
                              const std::filesystem::path& logo_path = {});

}  // namespace korvane
