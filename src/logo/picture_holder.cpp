#include "logo/picture_holder.h"

#include <QImageReader>
#include <QPainter>
#include <QString>

namespace korvane {

namespace {

QString ToQString(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string());
}

}  // namespace

bool CPictureHolder::Load(const std::filesystem::path& path, std::string* error) {
    QImageReader reader(ToQString(path));
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

void CPictureHolder::Release() {
    image_ = QImage();
}

QSize CPictureHolder::NaturalSize() const {
    return image_.isNull() ? QSize(0, 0) : image_.size();
}

void CPictureHolder::Render(QPainter& painter, const QRect& target) const {
    if (image_.isNull() || target.isEmpty())
        return;
    painter.drawImage(target, image_);
}

bool CPictureHolder::RenderInto(Canvas& canvas) const {
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
