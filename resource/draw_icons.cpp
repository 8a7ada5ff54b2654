// Draws the window's icons at build time:
//   draw_icons OUTPUT_FOLDER PANEL_SVG
// writes icon-<id>-<size>.png for ids 145 to 148 at 32 and 48 pixels, and the
// program's own icon korvane-<size>.png at 48, 128 and 256 pixels. Shapes only,
// no text, so the result does not depend on the fonts of the build machine.
// The program's icon (145) is read from PANEL_SVG, so that the PNG files and
// the installed SVG icon cannot drift apart; that file may use only the few
// SVG elements read here, and anything else stops the build.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegularExpression>
#include <QString>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace {

const QColor kBezel(0x24, 0x3b, 0x55);
const QColor kScreen(0x8e, 0xc9, 0xf0);
const QColor kWhite(0xff, 0xff, 0xff);

// Each icon is drawn on a 48 x 48 grid and scaled to the wanted size.

// One filled shape of the SVG icon: a rectangle (corners rounded by rx, ry)
// or a polygon.
struct Shape {
    QColor fill;
    QRectF rect;
    qreal rx = 0;
    qreal ry = 0;
    QPolygonF polygon;  // empty for a rectangle
};

std::optional<qreal> Number(const QXmlStreamAttributes& attrs, QLatin1String name) {
    if (!attrs.hasAttribute(name))
        return std::nullopt;
    bool ok = false;
    const qreal v = attrs.value(name).toDouble(&ok);
    return ok ? std::optional<qreal>(v) : std::nullopt;
}

// Reads the subset of SVG the icon uses; on anything else says what and
// returns nothing.
std::optional<std::vector<Shape>> ReadSvgShapes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return std::nullopt;
    }
    const auto fail = [&](const QString& why, qint64 line) {
        std::fprintf(stderr, "%s:%lld: %s\n", qPrintable(path), static_cast<long long>(line),
                     qPrintable(why));
        return std::nullopt;
    };
    std::vector<Shape> shapes;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes attrs = xml.attributes();
        const auto only = [&](std::initializer_list<QLatin1String> allowed) -> bool {
            for (const auto& a : attrs) {
                if (std::find(allowed.begin(), allowed.end(), a.qualifiedName()) == allowed.end())
                    return false;
            }
            return true;
        };
        if (name == u"svg") {
            if (!only({QLatin1String("xmlns"), QLatin1String("width"), QLatin1String("height"),
                       QLatin1String("viewBox")}) ||
                attrs.value(QLatin1String("viewBox")) != u"0 0 48 48") {
                return fail(QStringLiteral("the icon must be <svg viewBox=\"0 0 48 48\">"),
                            xml.lineNumber());
            }
            continue;
        }
        if (name == u"title" || name == u"desc") {
            xml.skipCurrentElement();
            continue;
        }
        if (name != u"rect" && name != u"polygon") {
            return fail(QStringLiteral("<%1> is not drawn by draw_icons").arg(name),
                        xml.lineNumber());
        }
        Shape shape;
        shape.fill = QColor::fromString(attrs.value(QLatin1String("fill")));
        if (!shape.fill.isValid())
            return fail(QStringLiteral("<%1> needs a fill colour").arg(name), xml.lineNumber());
        if (name == u"rect" && only({QLatin1String("x"), QLatin1String("y"), QLatin1String("width"),
                                     QLatin1String("height"), QLatin1String("rx"),
                                     QLatin1String("ry"), QLatin1String("fill")})) {
            const auto x = Number(attrs, QLatin1String("x")), y = Number(attrs, QLatin1String("y"));
            const auto w = Number(attrs, QLatin1String("width")),
                       h = Number(attrs, QLatin1String("height"));
            if (!x || !y || !w || !h)
                return fail(QStringLiteral("<rect> needs x, y, width and height"),
                            xml.lineNumber());
            shape.rect = QRectF(*x, *y, *w, *h);
            // As in SVG, a missing radius takes the other one's value.
            const auto rx = Number(attrs, QLatin1String("rx")),
                       ry = Number(attrs, QLatin1String("ry"));
            shape.rx = rx ? *rx : ry.value_or(0);
            shape.ry = ry ? *ry : shape.rx;
        } else if (name == u"polygon" && only({QLatin1String("points"), QLatin1String("fill")})) {
            const QStringList numbers =
                attrs.value(QLatin1String("points"))
                    .toString()
                    .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
            for (qsizetype i = 0; i + 1 < numbers.size(); i += 2) {
                bool okx = false, oky = false;
                shape.polygon << QPointF(numbers[i].toDouble(&okx), numbers[i + 1].toDouble(&oky));
                if (!okx || !oky)
                    return fail(QStringLiteral("bad number in points"), xml.lineNumber());
            }
            if (numbers.size() % 2 != 0 || shape.polygon.size() < 3)
                return fail(QStringLiteral("<polygon> needs three or more x,y pairs"),
                            xml.lineNumber());
        } else {
            return fail(QStringLiteral("<%1> has an attribute draw_icons does not draw").arg(name),
                        xml.lineNumber());
        }
        shapes.push_back(shape);
    }
    if (xml.hasError())
        return fail(xml.errorString(), xml.lineNumber());
    if (shapes.empty())
        return fail(QStringLiteral("no shapes"), xml.lineNumber());
    return shapes;
}

void DrawShapes(QPainter& p, const std::vector<Shape>& shapes) {
    for (const Shape& s : shapes) {
        p.setBrush(s.fill);
        if (!s.polygon.isEmpty())
            p.drawPolygon(s.polygon);
        else if (s.rx > 0 && s.ry > 0)
            p.drawRoundedRect(s.rect, s.rx, s.ry);
        else
            p.drawRect(s.rect);
    }
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

bool Save(int size, const std::function<void(QPainter&)>& draw, const QString& out) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(Qt::NoPen);
    draw(p);
    p.end();
    if (!image.save(out, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw_icons OUTPUT_FOLDER PANEL_SVG\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const auto panel = ReadSvgShapes(QString::fromLocal8Bit(argv[2]));
    if (!panel)
        return 1;
    const auto panel_icon = [&](QPainter& p) { DrawShapes(p, *panel); };
    const struct {
        int id;
        std::function<void(QPainter&)> draw;
    } icons[] = {{145, panel_icon}, {146, NetworkIcon}, {147, SerialIcon}, {148, UsbIcon}};
    for (const auto& icon : icons) {
        for (int size : {32, 48}) {
            if (!Save(size, icon.draw,
                      QStringLiteral("%1/icon-%2-%3.png").arg(folder).arg(icon.id).arg(size)))
                return 1;
        }
    }
    // The desktop's icon theme wants the program's icon at these sizes.
    for (int size : {48, 128, 256}) {
        if (!Save(size, panel_icon, QStringLiteral("%1/korvane-%2.png").arg(folder).arg(size)))
            return 1;
    }
    return 0;
}
