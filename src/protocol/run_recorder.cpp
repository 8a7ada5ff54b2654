#include "protocol/run_recorder.h"

#include "protocol/run_log.h"
#include "system/display_path.h"

namespace korvane {

std::string DescribeTarget(const LinkSettings& s) {
    switch (s.mode) {
        case LinkMode::Udp:
            return std::to_string(s.address & 0xFF) + "." + std::to_string(s.address >> 8 & 0xFF) +
                   "." + std::to_string(s.address >> 16 & 0xFF) + "." +
                   std::to_string(s.address >> 24) + ":" + std::to_string(s.port);
        case LinkMode::Serial:
            return s.serial_device.empty() ? "COM" + std::to_string(s.com) : s.serial_device;
        case LinkMode::Usb:
            return s.usb_device.empty() ? std::string("usb") : s.usb_device;
    }
    return "none";
}

RunRecorder::RunRecorder(MessageSink& shown, FrontEnd front_end)
    : shown_(shown), front_end_(front_end), log_path_(DefaultRunLogPath()) {}

void RunRecorder::SetLogPath(std::filesystem::path path) {
    std::lock_guard lock(mutex_);
    log_path_ = std::move(path);
}

void RunRecorder::Begin(std::string kind, const LinkSettings& settings) {
    std::lock_guard lock(mutex_);
    RunStep step;
    step.kind = std::move(kind);
    step_started_ = std::chrono::steady_clock::now();
    if (in_row_ && record_) {
        record_->steps.push_back(std::move(step));
        return;
    }
    record_.emplace();
    record_->time = UtcTimestampNow();
    record_->front_end = front_end_;
    record_->target = DescribeTarget(settings);
    record_->steps.push_back(std::move(step));
    started_ = step_started_;
}

void RunRecorder::BeginRow(BatchTag tag, const LinkSettings& settings) {
    std::lock_guard lock(mutex_);
    record_.emplace();
    record_->time = UtcTimestampNow();
    record_->front_end = front_end_;
    record_->target = DescribeTarget(settings);
    record_->batch = std::move(tag);
    started_ = std::chrono::steady_clock::now();
    in_row_ = true;
}

bool RunRecorder::Recording() const {
    std::lock_guard lock(mutex_);
    return record_.has_value();
}

void RunRecorder::NoteJumper(int jumper) {
    std::lock_guard lock(mutex_);
    if (record_)
        record_->jumper = jumper;
}

void RunRecorder::NoteImage(const std::filesystem::path& image, std::optional<uint64_t> size) {
    std::lock_guard lock(mutex_);
    if (!record_)
        return;
    const std::u8string name = image.filename().u8string();
    record_->steps.back().file = std::string(name.begin(), name.end());
    record_->steps.back().size = size;
}

void RunRecorder::NoteSent(std::string sha256) {
    std::lock_guard lock(mutex_);
    if (record_)
        record_->steps.back().sha256 = std::move(sha256);
}

void RunRecorder::Finish(LinkResult result) {
    std::unique_lock lock(mutex_);
    if (!record_ || record_->steps.empty())
        return;
    const auto now = std::chrono::steady_clock::now();
    RunStep& step = record_->steps.back();
    step.duration_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - step_started_).count();
    step.verdict = VerdictOf(result);
    if (in_row_)
        return;  // the row's end appends the record
    RunRecord record = std::move(*record_);
    record_.reset();
    record.duration_ms = step.duration_ms;
    record.verdict = VerdictOf(result);
    Append(record, lock);
}

void RunRecorder::EndRow(LinkResult result) {
    std::unique_lock lock(mutex_);
    if (!in_row_ || !record_)
        return;
    in_row_ = false;
    RunRecord record = std::move(*record_);
    record_.reset();
    record.duration_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - started_)
                             .count();
    record.verdict = VerdictOf(result);
    Append(record, lock);
}

void RunRecorder::Append(const RunRecord& record, std::unique_lock<std::mutex>& lock) {
    const std::filesystem::path log = log_path_;
    lock.unlock();
    const std::error_code ec = AppendRunRecord(log, record);
    if (!ec)
        return;
    lock.lock();
    if (warned_)
        return;
    warned_ = true;
    lock.unlock();
    // Straight to the user: this belongs to no run's record.
    shown_.ShowTemplate(MessageKind::Warning, TextId::RunLogWriteFailed,
                        {{"file", DisplayPath(log)}, {"reason", ec.message()}});
}

void RunRecorder::Keep(std::optional<TextId> id, std::string_view text) {
    // A refusal of another operation while this run holds the session is
    // not part of this run.
    if (id == TextId::RunActive)
        return;
    std::lock_guard lock(mutex_);
    if (record_)
        record_->messages.push_back(
            {id ? std::optional<std::string>(TextName(*id)) : std::nullopt, std::string(text)});
}

void RunRecorder::Show(MessageKind kind, std::string_view text) {
    Keep(std::nullopt, text);
    shown_.Show(kind, text);
}

void RunRecorder::ShowText(MessageKind kind, TextId id) {
    Keep(id, Text(id));
    shown_.ShowText(kind, id);
}

void RunRecorder::ShowFilled(MessageKind kind, TextId id, std::string_view text) {
    Keep(id, text);
    shown_.ShowFilled(kind, id, text);
}

void RunRecorder::ShowTemplate(MessageKind kind, TextId id, const TextValues& values) {
    Keep(id, FillText(id, values));
    shown_.ShowTemplate(kind, id, values);
}

}  // namespace korvane
