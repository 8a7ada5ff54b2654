#include "widgets/user_prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

#include "widgets/logo_preview.h"
#include "widgets/message_box_owner.h"

namespace korvane {

namespace {

bool OnUiThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

QtUserPrompts::QtUserPrompts(std::function<QWidget*()> fallback_owner)
    : fallback_owner_(std::move(fallback_owner)) {}

QWidget* QtUserPrompts::Owner() const {
    // An open progress popup owns the boxes, else the active window, else
    // the main window (a worker's box while the window is not active).
    if (QWidget* w = MessageBoxOwner())
        return w;
    return fallback_owner_ ? fallback_owner_() : nullptr;
}

void QtUserPrompts::ShowMessage(MessageKind kind, const QString& text) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption = QString::fromUtf8(kMessageCaption);
    switch (kind) {
        case MessageKind::Error:
            icon = QMessageBox::Critical;
            break;
        case MessageKind::Warning:
            icon = QMessageBox::Warning;
            break;
        case MessageKind::Plain:
            break;
        case MessageKind::AppDefault:
            // The application's own default box: its title, no icon.
            caption = QString::fromUtf8(kApplicationTitle);
            break;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, Owner());
    box.exec();
}

bool QtUserPrompts::Ask(const QString& question) {
    return QMessageBox::question(Owner(), QString::fromUtf8(kMessageCaption), question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> QtUserPrompts::ChooseOpenFile(QWidget* parent, const QString& folder,
                                                     const QString& filter,
                                                     const QString& default_suffix) {
    QFileDialog dialog(parent, QString(), folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(default_suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtUserPrompts::ChooseSaveFile(QWidget* parent, const QString& suggested,
                                                     const QString& filter) {
    QFileDialog dialog(parent, QString(), suggested, filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<uint32_t> QtUserPrompts::ChooseColour(QWidget* parent, uint32_t initial) {
    const QColor chosen = QColorDialog::getColor(ColourFromBgr(initial), parent);
    if (!chosen.isValid())
        return std::nullopt;
    return static_cast<uint32_t>(chosen.red()) | static_cast<uint32_t>(chosen.green()) << 8 |
           static_cast<uint32_t>(chosen.blue()) << 16;
}

void ScriptedPrompts::ShowMessage(MessageKind kind, const QString& text) {
    Shown s{kind, text, OnUiThread()};
    std::function<void(const Shown&)> on_show;
    {
        std::lock_guard lock(mutex_);
        shown_.push_back(s);
        on_show = on_show_;
    }
    if (on_show)
        on_show(s);
}

bool ScriptedPrompts::Ask(const QString& question) {
    std::lock_guard lock(mutex_);
    questions_.append(question);
    if (answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

std::optional<QString> ScriptedPrompts::ChooseOpenFile(QWidget*, const QString& folder,
                                                       const QString& filter,
                                                       const QString& default_suffix) {
    std::lock_guard lock(mutex_);
    file_requests_.push_back({folder, filter, default_suffix});
    if (files_.empty())
        return std::nullopt;
    QString path = files_.front();
    files_.pop_front();
    return path;
}

std::optional<QString> ScriptedPrompts::ChooseSaveFile(QWidget*, const QString& suggested,
                                                       const QString& filter) {
    std::lock_guard lock(mutex_);
    file_requests_.push_back({suggested, filter, QString()});
    if (files_.empty())
        return std::nullopt;
    QString path = files_.front();
    files_.pop_front();
    return path;
}

std::optional<uint32_t> ScriptedPrompts::ChooseColour(QWidget*, uint32_t) {
    std::lock_guard lock(mutex_);
    if (colours_.empty())
        return std::nullopt;
    const uint32_t colour = colours_.front();
    colours_.pop_front();
    return colour;
}

void ScriptedPrompts::AddFile(const QString& path) {
    std::lock_guard lock(mutex_);
    files_.push_back(path);
}

void ScriptedPrompts::AddColour(uint32_t colour) {
    std::lock_guard lock(mutex_);
    colours_.push_back(colour);
}

std::vector<ScriptedPrompts::FileRequest> ScriptedPrompts::file_requests() const {
    std::lock_guard lock(mutex_);
    return file_requests_;
}

void ScriptedPrompts::AddAnswer(bool yes) {
    std::lock_guard lock(mutex_);
    answers_.push_back(yes);
}

void ScriptedPrompts::SetOnShow(std::function<void(const Shown&)> on_show) {
    std::lock_guard lock(mutex_);
    on_show_ = std::move(on_show);
}

std::vector<ScriptedPrompts::Shown> ScriptedPrompts::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

QStringList ScriptedPrompts::texts() const {
    std::lock_guard lock(mutex_);
    QStringList t;
    for (const Shown& s : shown_)
        t.append(s.text);
    return t;
}

QStringList ScriptedPrompts::questions() const {
    std::lock_guard lock(mutex_);
    return questions_;
}

}  // namespace korvane
