#include "widgets/user_prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

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
