#include "widgets/desktop_progress_sink.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>

#include "widgets/percent_bar.h"
#include "widgets/progress_popup.h"
#include "widgets/window_language.h"

namespace korvane {

QString WaitText(WaitFor what, uint32_t remaining_ms) {
    const char* awaited = "";
    switch (what) {
        case WaitFor::FlashPrepare:
            awaited = QT_TRANSLATE_NOOP("korvane::DesktopProgressSink",
                                        "等待面板擦除映像区域，最多还需 %1 秒");
            break;
        case WaitFor::Erase:
            awaited = QT_TRANSLATE_NOOP("korvane::DesktopProgressSink",
                                        "等待面板擦除Flash，最多还需 %1 秒");
            break;
        case WaitFor::FinalResult:
            awaited = QT_TRANSLATE_NOOP("korvane::DesktopProgressSink",
                                        "等待面板烧写结果，最多还需 %1 秒");
            break;
    }
    const uint32_t seconds = remaining_ms / 1000 + (remaining_ms % 1000 != 0);
    return QCoreApplication::translate("korvane::DesktopProgressSink", awaited).arg(seconds);
}

DesktopProgressSink::DesktopProgressSink(PercentBar* bar) : bar_(bar) {}

int DesktopProgressSink::PercentOf(int position) const {
    const int lower = lower_.load();
    const int upper = upper_.load();
    if (lower >= upper)
        return 0;
    const double fraction = (double(position) - lower) / (double(upper) - lower);
    return std::clamp(static_cast<int>(fraction * 100), 0, 100);
}

void DesktopProgressSink::SetPopup(ProgressPopup* popup) {
    // A popup opened mid-run starts where the bar is.
    if (popup) {
        popup->SetBounds(lower_.load(), upper_.load());
        popup->SetPosition(position_.load());
    }
    popup_.store(popup);
}

void DesktopProgressSink::Forward(int position) {
    forwarded_.fetch_add(1);
    // Both widgets are safe to drive from a worker: they store the value and
    // paint on the user-interface thread.
    if (bar_)
        bar_->MoveTo(position);
    if (ProgressPopup* popup = popup_.load())
        popup->SetPosition(position);
}

void DesktopProgressSink::ShowLine(const QString& text) {
    // The bar puts the percentage right after its text.
    if (bar_)
        bar_->SetText(text.isEmpty() ? text : text + QLatin1Char(' '));
    if (ProgressPopup* popup = popup_.load())
        popup->SetMessage(text);
}

void DesktopProgressSink::Waiting(WaitFor what, uint32_t remaining_ms) {
    // Called every tenth of a second: the line changes once a second.
    const uint32_t seconds = remaining_ms / 1000 + (remaining_ms % 1000 != 0);
    if (waiting_.load() && wait_what_.load() == static_cast<int>(what) && wait_s_.load() == seconds)
        return;
    wait_what_.store(static_cast<int>(what));
    wait_s_.store(seconds);
    waiting_.store(true);
    ShowLine(WaitText(what, remaining_ms));
}

void DesktopProgressSink::EndWait() {
    if (!waiting_.exchange(false))
        return;
    QString text;
    {
        std::lock_guard lock(text_mutex_);
        text = text_;
    }
    if (bar_)
        bar_->SetText(text);
    if (ProgressPopup* popup = popup_.load())
        popup->SetMessage(text);
}

void DesktopProgressSink::MoveTo(int position) {
    EndWait();
    // An explicit move (start and end of a run) always reaches the widgets.
    position_.store(position);
    percent_.store(PercentOf(position));
    Forward(position);
}

void DesktopProgressSink::Step() {
    EndWait();
    const int position = position_.fetch_add(1) + 1;
    const int percent = PercentOf(position);
    if (percent_.exchange(percent) != percent)
        Forward(position);
}

void DesktopProgressSink::SetSpan(int lower, int upper) {
    EndWait();
    lower_.store(lower);
    upper_.store(upper);
    percent_.store(PercentOf(position_.load()));
    if (bar_)
        bar_->SetSpan(lower, upper);
    if (ProgressPopup* popup = popup_.load())
        popup->SetBounds(lower, upper);
}

void DesktopProgressSink::SetText(std::string_view stored) {
    // The core's progress lines come from its catalogue, as stored.
    const std::string_view text = InLanguage(stored, WindowLanguage());
    const QString t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    {
        std::lock_guard lock(text_mutex_);
        text_ = t;
    }
    waiting_.store(false);
    if (bar_)
        bar_->SetText(t);
    if (ProgressPopup* popup = popup_.load())
        popup->SetMessage(t);
}

void DesktopProgressSink::ShowText(bool show) {
    if (bar_)
        bar_->ShowText(show);
}

}  // namespace korvane
