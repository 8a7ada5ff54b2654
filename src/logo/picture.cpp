#include "logo/picture.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <cerrno>
#include <system_error>

#include "system/file_open.h"

namespace korvane {

namespace {

// Opens the file by its own name: Qt cannot name a file whose name is no UTF-8.
bool OpenByName(const std::filesystem::path& path, QFile& file, std::string* error) {
    std::FILE* handle = OpenFile(path, "rb");
    if (handle == nullptr) {
        if (error != nullptr)
            *error = std::error_code(errno, std::generic_category()).message();
        return false;
    }
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        std::fclose(handle);
        if (error != nullptr)
            *error = file.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace

bool Picture::Load(const std::filesystem::path& path, std::string* error) {
    QFile file;
    if (!OpenByName(path, file, error))
        return false;
    QImageReader reader(&file);
    // Pictures named with the wrong extension still load by their content.
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) {
        if (error != nullptr)
            *error = reader.errorString().toStdString();
        return false;
    }
    image_ = std::move(image);
    return true;
}

std::optional<QSize> Picture::ReadDeclaredSize(const std::filesystem::path& path,
                                               std::string* error) {
    QFile file;
    if (!OpenByName(path, file, error))
        return std::nullopt;
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!size.isValid()) {
        if (error != nullptr)
            *error = reader.errorString().toStdString();
        return std::nullopt;
    }
    return size;
}

void Picture::Release() {
    image_ = QImage();
}

QSize Picture::NaturalSize() const {
    return image_.isNull() ? QSize(0, 0) : image_.size();
}

void Picture::Render(QPainter& painter, const QRect& target) const {
    if (image_.isNull() || target.isEmpty())
        return;
    painter.drawImage(target, image_);
}

bool Picture::RenderInto(Canvas& canvas) const {
    if (image_.isNull() || canvas.empty())
        return false;
    // Paint straight into the canvas's pixels: Format_RGB32 has its layout.
    QImage target(reinterpret_cast<uchar*>(canvas.pixels.data()), canvas.width, canvas.height,
                  static_cast<qsizetype>(canvas.width) * 4, QImage::Format_RGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    if (!painter.isActive())
        return false;
    Render(painter, QRect(0, 0, canvas.width, canvas.height));
    return painter.end();
}

}  // namespace korvane
