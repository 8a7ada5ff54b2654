#pragma once
// The About box (dialog 100): program icon, name and version.
#include <QDialog>

namespace korvane {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace korvane
