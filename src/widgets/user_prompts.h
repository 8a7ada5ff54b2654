#pragma once
// Every modal box the window shows goes through UserPrompts, so that tests
// answer boxes in advance instead of running a modal loop.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "link/message_sink.h"

class QWidget;

namespace korvane {

inline constexpr char kMessageCaption[] = "OrvelManager Message";
inline constexpr char kApplicationTitle[] = "OrvelManager";

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    // Modal; returns once the user has dismissed the box.
    virtual void ShowMessage(MessageKind kind, const QString& text) = 0;
    // A yes/no question; true for yes.
    virtual bool Ask(const QString& question) = 0;
    // An existing file, or nothing when the user cancelled. `filter` in Qt's
    // form ("Files (*.*)"); `default_suffix` completes a name typed without one.
    virtual std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& folder,
                                                  const QString& filter,
                                                  const QString& default_suffix) = 0;
    // A file to write (it may exist: the chooser asks before it is
    // replaced), or nothing when the user cancelled.
    virtual std::optional<QString> ChooseSaveFile(QWidget* parent, const QString& suggested,
                                                  const QString& filter) = 0;
    // A colour as 0x00BBGGRR, or nothing when the user cancelled.
    virtual std::optional<uint32_t> ChooseColour(QWidget* parent, uint32_t initial) = 0;
};

// QMessageBox under the current message-box owner.
class QtUserPrompts : public UserPrompts {
  public:
    // `fallback_owner` owns the boxes while no progress popup does (the main window).
    explicit QtUserPrompts(std::function<QWidget*()> fallback_owner = {});
    void ShowMessage(MessageKind kind, const QString& text) override;
    bool Ask(const QString& question) override;
    std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& folder,
                                          const QString& filter,
                                          const QString& default_suffix) override;
    std::optional<QString> ChooseSaveFile(QWidget* parent, const QString& suggested,
                                          const QString& filter) override;
    std::optional<uint32_t> ChooseColour(QWidget* parent, uint32_t initial) override;

  private:
    QWidget* Owner() const;
    std::function<QWidget*()> fallback_owner_;
};

// For tests: records every box in order and answers questions from a queue
// (no answer left: "no"). Safe from any thread.
class ScriptedPrompts : public UserPrompts {
  public:
    struct Shown {
        MessageKind kind;
        QString text;
        bool on_ui_thread;
    };
    void ShowMessage(MessageKind kind, const QString& text) override;
    bool Ask(const QString& question) override;
    // Files and colours are taken from queues too (none left: cancelled);
    // files to open and to save from one queue, in the order asked.
    std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& folder,
                                          const QString& filter,
                                          const QString& default_suffix) override;
    std::optional<QString> ChooseSaveFile(QWidget* parent, const QString& suggested,
                                          const QString& filter) override;
    std::optional<uint32_t> ChooseColour(QWidget* parent, uint32_t initial) override;

    struct FileRequest {
        QString folder, filter, default_suffix;
    };

    void AddAnswer(bool yes);
    void AddFile(const QString& path);
    void AddColour(uint32_t colour);
    std::vector<FileRequest> file_requests() const;
    // Runs on each box while it is "open" (e.g. to check what a worker does meanwhile).
    void SetOnShow(std::function<void(const Shown&)> on_show);
    std::vector<Shown> shown() const;
    QStringList texts() const;
    QStringList questions() const;

  private:
    mutable std::mutex mutex_;
    std::vector<Shown> shown_;
    QStringList questions_;
    std::deque<bool> answers_;
    std::deque<QString> files_;
    std::deque<uint32_t> colours_;
    std::vector<FileRequest> file_requests_;
    std::function<void(const Shown&)> on_show_;
};

}  // namespace korvane
