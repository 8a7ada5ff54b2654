#include "widgets/user_prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace korvane {

std::optional<QString> DesktopPrompts::ChooseOpenFile(QWidget* parent, const QString& caption,
                                                      const QString& folder, const QString& filter,
                                                      const QString& default_suffix) {
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(default_suffix);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<uint32_t> DesktopPrompts::ChooseColour(QWidget* parent, uint32_t initial) {
    const QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                       static_cast<int>((initial >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(start, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return static_cast<uint32_t>(chosen.red()) | static_cast<uint32_t>(chosen.green()) << 8 |
           static_cast<uint32_t>(chosen.blue()) << 16;
}

bool DesktopPrompts::Ask(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, QStringLiteral("OrvelManager Message"), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace korvane
