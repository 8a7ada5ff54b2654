#include "logo/logo_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <vector>

#include "logo/logo_header.h"
#include "logo/logo_pixels.h"

namespace korvane {

namespace {

LogoWriteResult Fail(LogoWriteStatus status, const std::filesystem::path& logo_path,
                     std::string message) {
    return LogoWriteResult{status, logo_path, std::move(message)};
}

std::string ErrnoText(int err) {
    return std::strerror(err);
}

// A name beside the logo file that no other writer uses: a per-process counter
// and the clock keep two runs, or two threads, from sharing a temporary file.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& logo_path, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%llx-%x-%x.tmp", static_cast<unsigned long long>(tick),
                  counter.fetch_add(1), attempt);
    std::filesystem::path tmp = logo_path;
    tmp += suffix;
    return tmp;
}

// Owns the temporary file until it has been renamed: every early return removes it.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::filesystem::path& logo_path) {
        for (unsigned attempt = 0; attempt < 16 && file_ == nullptr; ++attempt) {
            path_ = TemporaryNameFor(logo_path, attempt);
            // "x": fail rather than reuse a file someone else created.
            file_ = std::fopen(path_.c_str(), "wbx");
            error_ = file_ == nullptr ? errno : 0;
            if (file_ == nullptr && error_ != EEXIST)
                break;
        }
    }
    ~TemporaryFile() {
        if (file_ != nullptr)
            std::fclose(file_);
        if (!kept_) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool opened() const { return file_ != nullptr; }
    int error() const { return error_; }

    bool Write(const uint8_t* bytes, size_t count) {
        if (count > 0 && std::fwrite(bytes, 1, count, file_) != count) {
            error_ = errno;
            return false;
        }
        return true;
    }

    // Closes the file and checks that everything buffered reached it.
    bool Close() {
        const bool flushed = std::fflush(file_) == 0 && std::ferror(file_) == 0;
        if (!flushed)
            error_ = errno;
        const bool closed = std::fclose(file_) == 0;
        if (flushed && !closed)
            error_ = errno;
        file_ = nullptr;
        return flushed && closed;
    }

    std::error_code RenameTo(const std::filesystem::path& target) {
        std::error_code ec;
        std::filesystem::rename(path_, target, ec);
        if (!ec)
            kept_ = true;
        return ec;
    }

  private:
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    int error_ = 0;
    bool kept_ = false;
};

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

    TemporaryFile tmp(logo_path);
    if (!tmp.opened()) {
        return Fail(
            LogoWriteStatus::CannotCreate, logo_path,
            "cannot create a file beside " + logo_path.string() + ": " + ErrnoText(tmp.error()));
    }
    if (!tmp.Write(head.data(), head.size()) || !tmp.Write(area.data(), area.size()) ||
        !tmp.Close()) {
        return Fail(LogoWriteStatus::WriteFailed, logo_path,
                    "cannot write " + logo_path.string() + ": " + ErrnoText(tmp.error()));
    }
    if (const std::error_code ec = tmp.RenameTo(logo_path)) {
        return Fail(LogoWriteStatus::WriteFailed, logo_path,
                    "cannot replace " + logo_path.string() + ": " + ec.message());
    }
    return LogoWriteResult{LogoWriteStatus::Written, logo_path, {}};
}

}  // namespace korvane
