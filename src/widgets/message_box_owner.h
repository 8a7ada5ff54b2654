#pragma once
// The window that message boxes name as their parent, so that they appear in
// front of a running progress popup. Use on the user-interface thread.
#include <QWidget>

namespace korvane {

// The last progress popup opened while it is still shown, else the active
// window (nullptr when there is none).
QWidget* MessageBoxOwner();

// Called by each progress popup as it opens.
void SetMessageBoxOwner(QWidget* owner);

}  // namespace korvane
