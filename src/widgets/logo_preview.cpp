#include "widgets/logo_preview.h"

#include <QPainter>

namespace korvane {

QColor ColourFromBgr(uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QImage ComposeLogoPane(const Picture& picture, uint32_t colour, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(image.rect(), ColourFromBgr(colour));
    if (!picture.IsEmpty()) {
        const QSize natural = picture.NaturalSize();
        const int left = (size.width() - natural.width()) / 2;
        const int top = (size.height() - natural.height()) / 2;
        picture.Render(painter, QRect(QPoint(left, top), natural));
    }
    return image;
}

LogoPreview::LogoPreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 240);
}

void LogoPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Before a picture is taken the pane is the logo's background, as the
    // logo file will have it around the picture.
    if (!shown_) {
        painter.fillRect(rect(), ColourFromBgr(colour_));
        return;
    }
    // Composed off screen first, so a large picture never flickers.
    painter.drawImage(0, 0, ComposeLogoPane(picture_, colour_, size()));
}

}  // namespace korvane
