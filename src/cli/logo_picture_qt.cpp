#include <QImageReader>
#include <QtGlobal>
#include <cstdint>

#include "cli/logo_picture.h"
#include "cli/stderr_capture.h"
#include "logo/logo_from_picture.h"
#include "logo/picture.h"

namespace korvane::cli {

namespace {

// Qt's image decoders report through Qt's own log, and libpng prints its
// errors itself ("libpng error: Read Error"): either would be a stray line on
// stderr. The tool says what went wrong itself, so the decoder's words are
// kept and added to the reason.
thread_local std::string* g_decoder_words = nullptr;

void KeepDecoderWords(QtMsgType, const QMessageLogContext&, const QString& text) {
    if (g_decoder_words) {
        *g_decoder_words += (g_decoder_words->empty() ? "" : "; ") + text.toStdString();
    }
}

class DecoderWords {
  public:
    DecoderWords() : previous_(qInstallMessageHandler(KeepDecoderWords)) {
        g_decoder_words = &words_;
    }
    ~DecoderWords() {
        g_decoder_words = nullptr;
        qInstallMessageHandler(previous_);
    }
    DecoderWords(const DecoderWords&) = delete;
    DecoderWords& operator=(const DecoderWords&) = delete;
    const std::string& words() const { return words_; }

  private:
    std::string words_;
    QtMessageHandler previous_;
};

std::string Joined(const std::string& a, const std::string& b) {
    return a.empty() ? b : b.empty() ? a : a + "; " + b;
}

}  // namespace

bool CanDecodePictures() {
    return true;
}

std::optional<PictureSize> ReadPictureSize(const std::filesystem::path& picture,
                                           std::string* error) {
    DecoderWords decoder;
    StderrCapture printed;
    Picture holder;
    const bool loaded = holder.Load(picture, error);
    const std::string words = Joined(decoder.words(), printed.Take());
    if (!loaded) {
        // A picture too large for the decoder to hold (8000 x 8000) is still
        // measured from its header, so that it gets the size message rather
        // than "cannot read"; a damaged one keeps the decoder's words.
        if (const auto declared = Picture::ReadDeclaredSize(picture)) {
            const int64_t bytes = int64_t{declared->width()} * declared->height() * 4;
            const int limit_mib = QImageReader::allocationLimit();
            if (limit_mib > 0 && bytes > int64_t{limit_mib} * 1024 * 1024)
                return PictureSize{declared->width(), declared->height()};
        }
        if (error && !words.empty())
            *error += " (" + words + ")";
        return std::nullopt;
    }
    const QSize size = holder.NaturalSize();
    return PictureSize{size.width(), size.height()};
}

LogoWriteResult WriteLogoForPicture(const std::filesystem::path& picture, uint32_t background,
                                    int screen_width, int screen_height,
                                    const std::filesystem::path& logo_path) {
    DecoderWords decoder;
    StderrCapture printed;
    LogoWriteResult result =
        WriteLogoFromPicture(picture, background, screen_width, screen_height, logo_path);
    const std::string words = Joined(decoder.words(), printed.Take());
    if (!result.ok() && !words.empty())
        result.message += " (" + words + ")";
    return result;
}

}  // namespace korvane::cli
