#pragma once
// The core's progress as the page's percent bar (and the progress popup while
// one is open). A run steps once per packet, 262,144 times for a 256 MiB
// image; only a step that changes the percentage reaches the widgets.
// A long wait (erase, final burn result) replaces the run's text on both with
// what is awaited and the time that may remain, until the run goes on.
// Driven by one worker at a time; SetPopup runs on the user-interface thread.
#include <QPointer>
#include <QString>
#include <atomic>
#include <mutex>

#include "link/message_sink.h"

namespace korvane {

class PercentBar;
class ProgressPopup;

// What a long wait is shown as, e.g. "等待面板烧写结果，最多还需 120 秒"
// (the seconds rounded up).
QString WaitText(WaitFor what, uint32_t remaining_ms);

class DesktopProgressSink : public ProgressSink {
  public:
    explicit DesktopProgressSink(PercentBar* bar);
    // The popup that follows the bar from now on; nullptr for none.
    void SetPopup(ProgressPopup* popup);

    void MoveTo(int position) override;
    void SetSpan(int lower, int upper) override;
    void Step() override;
    void SetText(std::string_view text) override;
    void ShowText(bool show) override;
    void Waiting(WaitFor what, uint32_t remaining_ms) override;

    // How many position changes were passed on to the widgets.
    int Forwarded() const { return forwarded_.load(); }

  private:
    int PercentOf(int position) const;
    void Forward(int position);
    // Puts the run's own text back after a wait.
    void EndWait();
    void ShowLine(const QString& text);

    PercentBar* bar_;
    std::atomic<ProgressPopup*> popup_{nullptr};
    // The worker's own view; the widgets get a position only for a new percentage.
    std::atomic<int> position_{0};
    std::atomic<int> lower_{0};
    std::atomic<int> upper_{100};
    std::atomic<int> percent_{-1};
    std::atomic<int> forwarded_{0};
    // The wait on show, if any: what and the whole seconds shown.
    std::atomic<bool> waiting_{false};
    std::atomic<int> wait_what_{-1};
    std::atomic<uint32_t> wait_s_{0};
    std::mutex text_mutex_;
    QString text_;  // the run's own text; guarded by text_mutex_
};

}  // namespace korvane
