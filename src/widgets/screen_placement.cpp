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

QRect FitInsideScreen(const QRect& rect, const QList<QRect>& screens) {
    const QRect reachable = BringOntoScreen(rect, screens);
    if (reachable != rect || screens.isEmpty())
        return reachable;
    const QRect* best = &screens.front();
    int best_area = 0;
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(rect);
        const int area = shown.width() * shown.height();
        if (area > best_area) {
            best_area = area;
            best = &screen;
        }
    }
    QRect fitted(rect.topLeft(), rect.size().boundedTo(best->size()));
    fitted.moveLeft(std::clamp(fitted.left(), best->left(), best->right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), best->top(), best->bottom() + 1 - fitted.height()));
    return fitted;
}

}  // namespace korvane
