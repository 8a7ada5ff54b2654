#pragma once
// The About box (dialog 100): program icon, name and version.
#include <QDialog>

namespace korvane {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace korvane
