#pragma once
// The core's progress as the page's percent bar (and the progress popup while
// one is open). A run steps once per packet, 262,144 times for a 256 MiB
// image; only a step that changes the percentage reaches the widgets.
// Driven by one worker at a time; SetPopup runs on the user-interface thread.
#include <QPointer>
#include <atomic>

#include "link/message_sink.h"

namespace korvane {

class CPercentBar;
class CProgressPopup;

class CDesktopProgressSink : public ProgressSink {
  public:
    explicit CDesktopProgressSink(CPercentBar* bar);
    // The popup that follows the bar from now on; nullptr for none.
    void SetPopup(CProgressPopup* popup);

    void MoveTo(int position) override;
    void SetSpan(int lower, int upper) override;
    void Step() override;
    void SetText(std::string_view text) override;
    void ShowText(bool show) override;

    // How many position changes were passed on to the widgets.
    int Forwarded() const { return forwarded_.load(); }

  private:
    int PercentOf(int position) const;
    void Forward(int position);

    CPercentBar* bar_;
    std::atomic<CProgressPopup*> popup_{nullptr};
    // The worker's own view; the widgets get a position only for a new percentage.
    std::atomic<int> position_{0};
    std::atomic<int> lower_{0};
    std::atomic<int> upper_{100};
    std::atomic<int> percent_{-1};
    std::atomic<int> forwarded_{0};
};

}  // namespace korvane
