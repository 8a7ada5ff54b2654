#pragma once
// A small top-most window for long flash operations: the title with the
// percentage as caption, a message line, a bar and a Cancel button. Escape or
// Cancel set the cancel flag, hide the popup and bring the main window
// forward. While open it is the owner of the message boxes.
//
// Open and Close run on the user-interface thread. SetBounds, SetMessage,
// SetPosition, Advance, PumpMessages and Cancelled may be called from a
// worker thread, also when the popup is closed: the values are stored and the
// widgets are updated on the user-interface thread.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <mutex>

class QLabel;
class QProgressBar;
class QPushButton;

namespace korvane {

class ProgressPopup : public QWidget {
    Q_OBJECT

  public:
    ProgressPopup();
    ~ProgressPopup() override;

    // Shows the popup with `title` as caption, at its remembered position or
    // centred. `parent` (may be null) is the window it stays in front of and
    // brings forward on a cancel; it does not own the popup. `smooth` is
    // accepted for the callers' sake: Qt's bars are continuous anyway.
    bool Open(QWidget* parent, const QString& title, bool smooth = true);
    // Saves the position and closes the popup.
    void Close();
    bool IsOpen() const { return open_.load(); }

    // Any thread; no effect while closed.
    void SetBounds(int lower, int upper, int step = 1);
    void SetMessage(const QString& message);  // at most 512 characters kept
    // Any thread. Returns the previous position; while closed the stored
    // position, leaving it unchanged. The caption shows "<title> [N%]" once
    // the percentage changes; an empty range never shows one.
    int SetPosition(int position);
    int Advance();
    // Any thread: lets the calling thread process its pending events (a
    // worker thread has none; the user-interface thread handles Escape and
    // Cancel as they arrive). `escape_cancels`: Escape in any window of the
    // program cancels from now on.
    void PumpMessages(bool escape_cancels = true);
    bool Cancelled() const { return cancelled_.load(); }

    // After Open (which turns it on): whether the position is kept.
    void SetRememberPosition(bool remember) { remember_position_ = remember; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void LayOut(int lines, int message_width);
    void RestorePosition();
    void SavePosition();
    void Cancel();
    void RequestRefresh();
    void Refresh();

    QLabel* message_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPointer<QWidget> owner_;
    bool remember_position_ = true;
    int shown_percent_ = 0;  // user-interface thread

    std::atomic<bool> open_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> escape_cancels_{true};
    std::atomic<int> position_{0};
    std::atomic<int> percent_{0};
    std::atomic<int> step_{1};
    std::atomic<int> lower_{0};
    std::atomic<int> upper_{100};
    std::atomic<bool> refresh_posted_{false};
    mutable std::mutex text_mutex_;
    QString title_;         // guarded by text_mutex_
    QString message_text_;  // guarded by text_mutex_
};

}  // namespace korvane
