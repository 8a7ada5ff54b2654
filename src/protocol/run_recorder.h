#pragma once
// Keeps the record of the run under way and appends it to the run log when
// the run ends. It stands between the link and the front end's message sink,
// so every message of the run is passed on unchanged and also kept. A log
// that cannot be written never fails the run: the user is told once, with
// the file and the system's reason, and the run's own result stands.
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "link/link_settings.h"
#include "link/message_sink.h"
#include "protocol/run_record.h"

namespace korvane {

class RunRecorder : public MessageSink {
  public:
    RunRecorder(MessageSink& shown, FrontEnd front_end);

    // Where records go; DefaultRunLogPath() unless set.
    void SetLogPath(std::filesystem::path path);
    // The front end's sink, which every message is passed on to.
    MessageSink& shown() { return shown_; }

    // Opens the record of a run whose one step is of `kind` on the link
    // `settings` describe.
    void Begin(std::string kind, const LinkSettings& settings);
    bool Recording() const;
    void NoteJumper(int jumper);
    void NoteImage(const std::filesystem::path& image, std::optional<uint64_t> size);
    void NoteSent(std::string sha256);
    // Closes the record with the run's result and appends it; synced before
    // this returns. Nothing when no record is open. Within a batch row it
    // closes the step only.
    void Finish(LinkResult result);

    // A row of a batch: every run begun until EndRow is a step of one record,
    // tagged with `tag`, whose messages are all the row's.
    void BeginRow(BatchTag tag, const LinkSettings& settings);
    // Closes the row's record with the row's result and appends it (synced
    // before this returns); nothing when no row is open.
    void EndRow(LinkResult result);

    void Show(MessageKind kind, std::string_view text) override;
    void ShowText(MessageKind kind, TextId id) override;
    void ShowFilled(MessageKind kind, TextId id, std::string_view text) override;
    void ShowTemplate(MessageKind kind, TextId id, const TextValues& values) override;

  private:
    // Appends `record`; a failure is told once.
    void Append(const RunRecord& record, std::unique_lock<std::mutex>& lock);
    void Keep(std::optional<TextId> id, std::string_view text);

    MessageSink& shown_;
    const FrontEnd front_end_;
    std::filesystem::path log_path_;
    mutable std::mutex mutex_;
    std::optional<RunRecord> record_;
    std::chrono::steady_clock::time_point started_;       // of the record
    std::chrono::steady_clock::time_point step_started_;  // of its last step
    bool in_row_ = false;
    bool warned_ = false;  // the log's failure was told already
};

// "address:port" for UDP, the device path for serial and USB.
std::string DescribeTarget(const LinkSettings& settings);

}  // namespace korvane
