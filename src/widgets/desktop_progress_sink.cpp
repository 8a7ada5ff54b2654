#include "widgets/desktop_progress_sink.h"

#include <QString>
#include <algorithm>

#include "widgets/percent_bar.h"
#include "widgets/progress_popup.h"

namespace korvane {

CDesktopProgressSink::CDesktopProgressSink(CPercentBar* bar) : bar_(bar) {}

int CDesktopProgressSink::PercentOf(int position) const {
    const int lower = lower_.load();
    const int upper = upper_.load();
    if (lower >= upper)
        return 0;
    const double fraction = (double(position) - lower) / (double(upper) - lower);
    return std::clamp(static_cast<int>(fraction * 100), 0, 100);
}

void CDesktopProgressSink::SetPopup(CProgressPopup* popup) {
    // A popup opened mid-run starts where the bar is.
    if (popup) {
        popup->SetBounds(lower_.load(), upper_.load());
        popup->SetPosition(position_.load());
    }
    popup_.store(popup);
}

void CDesktopProgressSink::Forward(int position) {
    forwarded_.fetch_add(1);
    // Both widgets are safe to drive from a worker: they store the value and
    // paint on the user-interface thread.
    if (bar_)
        bar_->MoveTo(position);
    if (CProgressPopup* popup = popup_.load())
        popup->SetPosition(position);
}

void CDesktopProgressSink::MoveTo(int position) {
    // An explicit move (start and end of a run) always reaches the widgets.
    position_.store(position);
    percent_.store(PercentOf(position));
    Forward(position);
}

void CDesktopProgressSink::Step() {
    const int position = position_.fetch_add(1) + 1;
    const int percent = PercentOf(position);
    if (percent_.exchange(percent) != percent)
        Forward(position);
}

void CDesktopProgressSink::SetSpan(int lower, int upper) {
    lower_.store(lower);
    upper_.store(upper);
    percent_.store(PercentOf(position_.load()));
    if (bar_)
        bar_->SetSpan(lower, upper);
    if (CProgressPopup* popup = popup_.load())
        popup->SetBounds(lower, upper);
}

void CDesktopProgressSink::SetText(std::string_view text) {
    const QString t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (bar_)
        bar_->SetText(t);
    if (CProgressPopup* popup = popup_.load())
        popup->SetMessage(t);
}

void CDesktopProgressSink::ShowText(bool show) {
    if (bar_)
        bar_->ShowText(show);
}

}  // namespace korvane
