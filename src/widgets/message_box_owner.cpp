#include "widgets/message_box_owner.h"

#include <QApplication>
#include <QPointer>

namespace korvane {

namespace {

// A QPointer, so that a destroyed popup never leaves a dangling owner.
QPointer<QWidget> g_owner;

}  // namespace

QWidget* MessageBoxOwner() {
    // A hidden popup (after a cancel) would hide its boxes with it on some
    // window managers; the active window is a better owner then.
    if (g_owner && g_owner->isVisible())
        return g_owner;
    return QApplication::activeWindow();
}

void SetMessageBoxOwner(QWidget* owner) {
    g_owner = owner;
}

}  // namespace korvane
