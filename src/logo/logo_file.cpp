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

LogoWriteResult Fail(LogoWriteStatus status, const std::filesystem::path& logoPath,
                     std::string message) {
    return LogoWriteResult{status, logoPath, std::move(message)};
}

std::string ErrnoText(int err) {
    return std::strerror(err);
}

// A name beside the logo file that no other writer uses: a per-process counter
// and the clock keep two runs, or two threads, from sharing a temporary file.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& logoPath, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%llx-%x-%x.tmp", static_cast<unsigned long long>(tick),
                  counter.fetch_add(1), attempt);
    std::filesystem::path tmp = logoPath;
    tmp += suffix;
    return tmp;
}

// Owns the temporary file until it has been renamed: every early return removes it.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::filesystem::path& logoPath) {
        for (unsigned attempt = 0; attempt < 16 && file_ == nullptr; ++attempt) {
            path_ = TemporaryNameFor(logoPath, attempt);
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

std::filesystem::path LogoPathFor(const std::filesystem::path& picturePath) {
    std::filesystem::path logo = picturePath;
    logo += ".logo";
    return logo;
}

LogoWriteResult WriteLogoFile(const std::filesystem::path& picturePath, int pictureW, int pictureH,
                              uint32_t background, int screenW, int screenH,
                              const LogoRender& render, const std::filesystem::path& logoPathIn) {
    const std::filesystem::path logoPath =
        logoPathIn.empty() ? LogoPathFor(picturePath) : logoPathIn;
    const std::optional<LogoHeader> header =
        MakeLogoHeader(pictureW, pictureH, background, screenW, screenH);
    if (!header) {
        return Fail(LogoWriteStatus::PictureSizeInvalid, logoPath,
                    "picture size " + std::to_string(pictureW) + " x " + std::to_string(pictureH) +
                        " cannot be placed on a " + std::to_string(screenW) + " x " +
                        std::to_string(screenH) + " screen");
    }

    // Render and convert before touching the disk, so a picture that fails to
    // paint leaves any earlier logo file as it was.
    Canvas canvas(header->width, header->height);
    if (!canvas.empty()) {
        const int w = canvas.width;
        const int h = canvas.height;
        if (!render || !render(canvas) || canvas.width != w || canvas.height != h ||
            canvas.pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) {
            return Fail(LogoWriteStatus::RenderFailed, logoPath, "the picture could not be drawn");
        }
    }
    const std::vector<uint8_t> area = BuildLogoPixelArea(*header, canvas);
    canvas = Canvas();  // the pixels now live in `area`
    const auto head = EncodeLogoHeader(*header);

    TemporaryFile tmp(logoPath);
    if (!tmp.opened()) {
        return Fail(
            LogoWriteStatus::CannotCreate, logoPath,
            "cannot create a file beside " + logoPath.string() + ": " + ErrnoText(tmp.error()));
    }
    if (!tmp.Write(head.data(), head.size()) || !tmp.Write(area.data(), area.size()) ||
        !tmp.Close()) {
        return Fail(LogoWriteStatus::WriteFailed, logoPath,
                    "cannot write " + logoPath.string() + ": " + ErrnoText(tmp.error()));
    }
    if (const std::error_code ec = tmp.RenameTo(logoPath)) {
        return Fail(LogoWriteStatus::WriteFailed, logoPath,
                    "cannot replace " + logoPath.string() + ": " + ec.message());
    }
    return LogoWriteResult{LogoWriteStatus::Written, logoPath, {}};
}

}  // namespace korvane
