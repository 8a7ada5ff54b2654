#include "widgets/screen_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace korvane {

namespace {

// How much of a window must show on one screen for the user to reach it.
constexpr int kMinVisible = 40;

}  // namespace

QList<QRect> AvailableScreenRects() {
    QList<QRect> rects;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        rects.append(primary->availableGeometry());
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            rects.append(screen->availableGeometry());
    }
    return rects;
}

QRect BringOntoScreen(const QRect& rect, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return rect;
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(rect);
        if (shown.width() >= std::min(kMinVisible, rect.width()) &&
            shown.height() >= std::min(kMinVisible, rect.height()))
            return rect;
    }
    const QRect& home = screens.front();
    QRect moved(QPoint(0, 0), rect.size().boundedTo(home.size()));
    moved.moveCenter(home.center());
    return moved;
}

}  // namespace korvane
