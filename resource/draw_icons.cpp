// Draws the window's icons at build time: draw_icons OUTPUT_FOLDER writes
// icon-<id>-<size>.png for ids 145 to 148 at 32 and 48 pixels. Shapes only,
// no text, so the result does not depend on the fonts of the build machine.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <cstdio>
#include <functional>

namespace {

const QColor kBezel(0x24, 0x3b, 0x55);
const QColor kScreen(0x8e, 0xc9, 0xf0);
const QColor kGreen(0x2e, 0x9e, 0x4f);
const QColor kWhite(0xff, 0xff, 0xff);

// Each icon is drawn on a 48 x 48 grid and scaled to the wanted size.
void PanelIcon(QPainter& p) {  // 145: a touch panel taking a download
    p.setBrush(kBezel);
    p.drawRoundedRect(QRectF(3, 7, 42, 32), 4, 4);
    p.setBrush(kScreen);
    p.drawRect(QRectF(7, 11, 34, 24));
    p.setBrush(kBezel);
    p.drawRect(QRectF(20, 39, 8, 4));
    p.drawRoundedRect(QRectF(13, 42, 22, 4), 2, 2);
    p.setBrush(kGreen);
    p.drawPolygon(
        QPolygonF({{20, 13}, {28, 13}, {28, 21}, {33, 21}, {24, 31}, {15, 21}, {20, 21}}));
}

void NetworkIcon(QPainter& p) {  // 146: three linked hosts
    p.setPen(QPen(kBezel, 3));
    p.drawLine(QPointF(24, 14), QPointF(24, 26));
    p.drawLine(QPointF(10, 26), QPointF(38, 26));
    p.drawLine(QPointF(10, 26), QPointF(10, 32));
    p.drawLine(QPointF(38, 26), QPointF(38, 32));
    p.setPen(Qt::NoPen);
    p.setBrush(kScreen);
    p.drawRoundedRect(QRectF(15, 3, 18, 12), 2, 2);
    p.drawRoundedRect(QRectF(2, 32, 16, 12), 2, 2);
    p.drawRoundedRect(QRectF(30, 32, 16, 12), 2, 2);
}

void SerialIcon(QPainter& p) {  // 147: a nine-pin serial connector
    p.setBrush(kBezel);
    p.drawPolygon(QPolygonF({{3, 14}, {45, 14}, {40, 34}, {8, 34}}));
    p.setBrush(kWhite);
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(10.5 + i * 6.75, 20), 2.2, 2.2);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(14 + i * 6.75, 28), 2.2, 2.2);
}

void UsbIcon(QPainter& p) {  // 148: the trident of a USB plug
    p.setPen(QPen(kBezel, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 8), QPointF(24, 40));
    p.drawLine(QPointF(24, 34), QPointF(13, 24));
    p.drawLine(QPointF(13, 24), QPointF(13, 18));
    p.drawLine(QPointF(24, 28), QPointF(35, 20));
    p.drawLine(QPointF(35, 20), QPointF(35, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(kBezel);
    p.drawPolygon(QPolygonF({{24, 2}, {29, 10}, {19, 10}}));
    p.drawEllipse(QPointF(24, 42), 4, 4);
    p.drawEllipse(QPointF(13, 16), 3, 3);
    p.drawRect(QRectF(32, 10, 6, 6));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_icons OUTPUT_FOLDER\n");
        return 2;
    }
    const struct {
        int id;
        std::function<void(QPainter&)> draw;
    } icons[] = {{145, PanelIcon}, {146, NetworkIcon}, {147, SerialIcon}, {148, UsbIcon}};
    for (const auto& icon : icons) {
        for (int size : {32, 48}) {
            QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 48.0, size / 48.0);
            p.setPen(Qt::NoPen);
            icon.draw(p);
            p.end();
            const QString out = QStringLiteral("%1/icon-%2-%3.png")
                                    .arg(QString::fromLocal8Bit(argv[1]))
                                    .arg(icon.id)
                                    .arg(size);
            if (!image.save(out, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
                return 1;
            }
        }
    }
    return 0;
}
