#include "widgets/desktop_message_sink.h"

#include <QMetaObject>
#include <QString>
#include <QThread>
#include <string>

#include "widgets/window_language.h"

namespace korvane {

DesktopMessageSink::DesktopMessageSink(UserPrompts& prompts, QObject* parent)
    : QObject(parent), prompts_(prompts) {}

template <class F>
void DesktopMessageSink::OnUiThread(F&& f) {
    if (QThread::currentThread() == thread()) {
        f();
        return;
    }
    // A box belongs to the user-interface thread; the worker sleeps in the
    // blocking call until the box has been dismissed there. The UI thread
    // never waits for a worker while one may be here (the window refuses to
    // close while a job runs), so this cannot deadlock.
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

void DesktopMessageSink::ShowText(MessageKind kind, TextId id) {
    Show(kind, Text(id));
}

void DesktopMessageSink::ShowTemplate(MessageKind kind, TextId id, const TextValues& values) {
    const std::string filled = FillText(id, values, WindowLanguage());
    ShowFilled(kind, id, filled);
}

void DesktopMessageSink::ShowFilled(MessageKind kind, TextId id, std::string_view text) {
    const std::string_view stored = Text(id);
    const UiLanguage language = WindowLanguage();
    if (language != UiLanguage::Chinese && text.size() > stored.size() &&
        text.substr(0, stored.size()) == stored) {
        Show(kind, std::string(Text(id, language)) + std::string(text.substr(stored.size())));
        return;
    }
    Show(kind, text);
}

void DesktopMessageSink::Show(MessageKind kind, std::string_view stored) {
    // Texts made from the catalogue arrive as stored; the rest are made in
    // the window's language already.
    const std::string_view text = InLanguage(stored, WindowLanguage());
    const QString t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    OnUiThread([&] { prompts_.ShowMessage(kind, t); });
}

bool DesktopMessageSink::Ask(std::string_view question) {
    const QString q = QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size()));
    bool yes = false;
    OnUiThread([&] { yes = prompts_.Ask(q); });
    return yes;
}

}  // namespace korvane
