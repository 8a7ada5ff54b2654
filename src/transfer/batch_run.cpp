#include "transfer/batch_run.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>

#include "link/link_manager.h"
#include "protocol/panel_operations.h"
#include "protocol/panel_session.h"
#include "transfer/firmware_run.h"
#include "transfer/flash_transfer.h"
#include "transfer/image_kind.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

std::string MakeBatchId() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &now);
#else
    gmtime_r(&now, &tm);
#endif
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ-%04x", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<unsigned>(std::random_device{}() & 0xFFFF));
    return text;
}

// Passes every message on to the row's sink and keeps the error or warning
// that says most, for the row's line of the closing table.
class NoteSink : public MessageSink {
  public:
    explicit NoteSink(MessageSink& shown) : shown_(shown) {}

    void Show(MessageKind kind, std::string_view text) override {
        Keep(kind, {std::nullopt, std::nullopt, std::string(text)});
        shown_.Show(kind, text);
    }
    void ShowText(MessageKind kind, TextId id) override {
        Keep(kind, {id, std::nullopt, Text(id)});
        shown_.ShowText(kind, id);
    }
    void ShowFilled(MessageKind kind, TextId id, std::string_view text) override {
        Keep(kind, {id, std::nullopt, std::string(text)});
        shown_.ShowFilled(kind, id, text);
    }
    void ShowTemplate(MessageKind kind, TextId id, const TextValues& values) override {
        Keep(kind, {id, values, FillText(id, values)});
        shown_.ShowTemplate(kind, id, values);
    }

    std::optional<BatchNote> note() const {
        std::lock_guard lock(mutex_);
        return note_;
    }

  private:
    void Keep(MessageKind kind, BatchNote note) {
        // The first error says why the row failed (later ones only that it
        // did); a warning stands until an error comes.
        if (kind != MessageKind::Error && kind != MessageKind::Warning)
            return;
        std::lock_guard lock(mutex_);
        if (note_ && note_error_)
            return;
        note_ = std::move(note);
        note_error_ = kind == MessageKind::Error;
    }

    MessageSink& shown_;
    mutable std::mutex mutex_;
    std::optional<BatchNote> note_;
    bool note_error_ = false;
};

}  // namespace

BatchRun::BatchRun(std::vector<LinkSettings> targets, std::vector<BatchStep> steps, int jobs,
                   std::function<ClockValue()> now)
    : targets_(std::move(targets)),
      steps_(std::move(steps)),
      jobs_(jobs),
      now_(std::move(now)),
      id_(MakeBatchId()) {}

void BatchRun::RunRow(int row, BatchObserver& observer, BatchRowResult& result) {
    const auto started = Clock::now();
    result.started = true;
    observer.RowStarted(row);
    NoteSink notes(observer.RowSink(row));
    ProgressSink& progress = observer.RowProgress(row);
    LinkManager link(notes);
    link.Configure(targets_[static_cast<size_t>(row)]);
    link.ShrinkTimeForTests(time_divisor_);
    link.CancelWhen(&cancel_);
    {
        PanelSession session(link, front_end_);
        if (log_path_)
            session.recorder().SetLogPath(*log_path_);
        session.recorder().BeginRow({id_, row}, link.settings());
        LinkResult outcome = LinkResult::Ok;
        for (size_t i = 0; i < steps_.size() && outcome == LinkResult::Ok; ++i) {
            // A cancel between steps starts no other.
            if (cancel_.load()) {
                outcome = LinkResult::RunCancelled;
                break;
            }
            observer.StepStarted(row, static_cast<int>(i));
            const BatchStep& step = steps_[i];
            if (step.kind == BatchStep::Kind::SetClock) {
                SetPanelClock(session, step.clock ? *step.clock : now_(), nullptr, nullptr);
            } else {
                FlashTransfer transfer(link);
                transfer.CancelWhen(&cancel_);
                if (UpdateFirmware(session, transfer, step.image_kind, step.image, progress))
                    session.WaitForRun();
                result.bytes += transfer.bytes_sent();
            }
            outcome = link.result();
            if (outcome == LinkResult::Ok)
                ++result.steps_done;
        }
        session.recorder().EndRow(outcome);
        result.result = outcome;
    }
    result.note = notes.note();
    result.link_closes = link.close_count();
    result.duration_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
}

std::vector<BatchRowResult> BatchRun::Run(BatchObserver& observer) {
    const int count = static_cast<int>(targets_.size());
    std::vector<BatchRowResult> rows(targets_.size());
    for (int i = 0; i < count; ++i) {
        rows[static_cast<size_t>(i)].row = i;
        rows[static_cast<size_t>(i)].target = targets_[static_cast<size_t>(i)];
        rows[static_cast<size_t>(i)].result = LinkResult::RunCancelled;
    }
    const int workers = jobs_ <= 0 || jobs_ > count ? count : jobs_;
    std::atomic<int> next{0};
    std::atomic<int> running{workers};
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&] {
            // A row waiting for its turn when the batch is cancelled never
            // starts: it has nothing to stop.
            for (int row = next++; row < count && !cancel_.load(); row = next++) {
                RunRow(row, observer, rows[static_cast<size_t>(row)]);
                observer.RowFinished(rows[static_cast<size_t>(row)]);
            }
            --running;
        });
    }
    // A signal handler only sets a flag: it reaches the rows from here.
    while (running.load() > 0) {
        if (external_cancel_ && external_cancel_->load())
            cancel_.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread& t : threads)
        t.join();
    return rows;
}

LinkResult BatchOutcome(const std::vector<BatchRowResult>& rows) {
    LinkResult first = LinkResult::Ok;
    for (const BatchRowResult& r : rows) {
        if (r.result == LinkResult::RunCancelled)
            return LinkResult::RunCancelled;
        if (first == LinkResult::Ok)
            first = r.result;
    }
    return first;
}

}  // namespace korvane
