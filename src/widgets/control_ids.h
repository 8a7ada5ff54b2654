#pragma once
// Controls and dialogs are found by their resource ids: a control with id N
// carries the object name "IDC_N", a dialog "IDD_N".
#include <QString>
#include <QWidget>

namespace korvane {

inline QString ControlName(int id) {
    return QStringLiteral("IDC_%1").arg(id);
}
inline QString DialogName(int id) {
    return QStringLiteral("IDD_%1").arg(id);
}

// The descendant of `dialog` with id `id` and type T, or nullptr.
template <class T>
T* FindControl(QWidget* dialog, int id) {
    return dialog ? dialog->findChild<T*>(ControlName(id)) : nullptr;
}

}  // namespace korvane
