#include "logo/logo_file.h"

#include <optional>
#include <vector>

#include "logo/logo_header.h"
#include "logo/logo_pixels.h"
#include "system/atomic_file.h"
#include "system/display_path.h"

namespace korvane {

namespace {

LogoWriteResult Fail(LogoWriteStatus status, const std::filesystem::path& logo_path,
                     std::string message) {
    return LogoWriteResult{status, logo_path, std::move(message)};
}

}  // namespace

std::filesystem::path LogoPathFor(const std::filesystem::path& picture_path) {
    std::filesystem::path logo = picture_path;
    logo += ".logo";
    return logo;
}

LogoWriteResult WriteLogoFile(const std::filesystem::path& picture_path, int picture_width,
                              int picture_height, uint32_t background, int screen_width,
                              int screen_height, const LogoRender& render,
                              const std::filesystem::path& logo_path_in) {
    const std::filesystem::path logo_path =
        logo_path_in.empty() ? LogoPathFor(picture_path) : logo_path_in;
    const std::optional<LogoHeader> header =
        MakeLogoHeader(picture_width, picture_height, background, screen_width, screen_height);
    if (!header) {
        return Fail(LogoWriteStatus::PictureSizeInvalid, logo_path,
                    "picture size " + std::to_string(picture_width) + " x " +
                        std::to_string(picture_height) + " cannot be placed on a " +
                        std::to_string(screen_width) + " x " + std::to_string(screen_height) +
                        " screen");
    }

    // Render and convert before touching the disk, so a picture that fails to
    // paint leaves any earlier logo file as it was.
    Canvas canvas(header->width, header->height);
    if (!canvas.empty()) {
        const int w = canvas.width;
        const int h = canvas.height;
        if (!render || !render(canvas) || canvas.width != w || canvas.height != h ||
            canvas.pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) {
            return Fail(LogoWriteStatus::RenderFailed, logo_path, "the picture could not be drawn");
        }
    }
    const std::vector<uint8_t> area = BuildLogoPixelArea(*header, canvas);
    canvas = Canvas();  // the pixels now live in `area`
    const auto head = EncodeLogoHeader(*header);

    AtomicFileWriter file(logo_path);
    if (file.Write(head.data(), head.size()) && file.Write(area.data(), area.size()) &&
        file.Commit()) {
        return LogoWriteResult{LogoWriteStatus::Written, logo_path, {}};
    }
    const std::string why = file.error().message();
    switch (file.failed_step()) {
        case AtomicFileWriter::Step::Target:
            return Fail(LogoWriteStatus::WriteFailed, logo_path,
                        "cannot write the logo file " + logo_path.string() + ": it " + why +
                            ", not a file; nothing was written");
        case AtomicFileWriter::Step::Create:
            return Fail(LogoWriteStatus::CannotCreate, logo_path,
                        "cannot create a file beside " + DisplayPath(logo_path) + ": " + why);
        case AtomicFileWriter::Step::Replace:
            return Fail(LogoWriteStatus::WriteFailed, logo_path,
                        "cannot replace " + DisplayPath(logo_path) + ": " + why);
        case AtomicFileWriter::Step::None:
        case AtomicFileWriter::Step::Write:
            break;
    }
    return Fail(LogoWriteStatus::WriteFailed, logo_path,
                "cannot write " + DisplayPath(logo_path) + ": " + why);
}

}  // namespace korvane
