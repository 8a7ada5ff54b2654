#pragma once
// Keeps restored windows reachable: a rectangle saved on a screen that is gone
// (a monitor unplugged, a lower resolution) is moved back onto a visible one.
#include <QList>
#include <QRect>

namespace korvane {

// The available rectangles of the current screens, the primary one first.
QList<QRect> AvailableScreenRects();

// `rect` itself when enough of it lies on one of `screens` to grab and move
// it; otherwise the same size (shrunk to fit) centred on the first screen.
QRect BringOntoScreen(const QRect& rect, const QList<QRect>& screens);

// Stricter, for windows whose every control must be reachable: as above,
// then moved (and shrunk if needed) to lie wholly on the screen showing the
// most of it.
QRect FitInsideScreen(const QRect& rect, const QList<QRect>& screens);

}  // namespace korvane
