#pragma once
// One job on many panels: the same steps (images to program, the clock to
// set) run on each target, each target on a link, session and transfer of
// its own, at most `jobs` targets at once. A target that is silent, refuses
// or fails ends its own row and no other; a cancel ends every row. Each row
// is one record of the run log, tagged with the batch's id and the row.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/link_settings.h"
#include "link/message_sink.h"
#include "protocol/image_kind_code.h"
#include "protocol/requests.h"
#include "protocol/run_record.h"
#include "transfer/shared_image.h"

namespace korvane {

struct BatchStep {
    enum class Kind { Flash, SetClock };
    Kind kind = Kind::Flash;
    ImageKind image_kind = ImageKind::Kernel;  // Flash
    std::shared_ptr<const SharedImage> image;  // Flash: shared by every row
    std::optional<ClockValue> clock;           // SetClock: none sets the time of the step
};

// The first error a row showed (else its last warning): its text as given, and its
// catalogue id (with the values of a template) so a front end can show it
// in its own language.
struct BatchNote {
    std::optional<TextId> id;
    std::optional<TextValues> values;
    std::string text;
};

struct BatchRowResult {
    int row = 0;
    LinkSettings target;
    bool started = false;  // false: cancelled before its turn came
    int steps_done = 0;    // steps that ended well
    uint64_t bytes = 0;    // image bytes sent, over every step
    int64_t duration_ms = 0;
    LinkResult result = LinkResult::Ok;
    std::optional<BatchNote> note;
    unsigned link_closes = 0;  // how often the row's link was released
};

// What a front end hears of the rows; called on the rows' own threads, a
// row's calls one after another.
class BatchObserver {
  public:
    virtual ~BatchObserver() = default;
    // Where row `row`'s messages and progress go, for the whole batch.
    virtual MessageSink& RowSink(int row) = 0;
    virtual ProgressSink& RowProgress(int row) = 0;
    virtual void RowStarted(int /*row*/) {}
    virtual void StepStarted(int /*row*/, int /*step*/) {}
    virtual void RowFinished(const BatchRowResult& /*result*/) {}
};

class BatchRun {
  public:
    // `jobs` 0: every target at once. `now` gives the clock of a SetClock
    // step without one.
    BatchRun(std::vector<LinkSettings> targets, std::vector<BatchStep> steps, int jobs,
             std::function<ClockValue()> now);

    // "YYYYMMDDTHHMMSSZ-XXXX": the time it was made and a random part.
    const std::string& id() const { return id_; }
    void SetLogPath(std::filesystem::path path) { log_path_ = std::move(path); }
    // Which program the rows' records name (korvane-cli unless set).
    void SetFrontEnd(FrontEnd front_end) { front_end_ = front_end; }
    // A flag set from elsewhere (a signal handler) that cancels every row.
    void CancelWhen(const std::atomic<bool>* flag) { external_cancel_ = flag; }
    void Cancel() { cancel_.store(true); }
    // Test hook only: shrinks every row's time-outs as
    // LinkManager::ShrinkTimeForTests does. No program calls it.
    void ShrinkTimeForTests(uint32_t divisor) { time_divisor_ = divisor; }

    // Runs every row and returns their results in target order.
    std::vector<BatchRowResult> Run(BatchObserver& observer);

  private:
    void RunRow(int row, BatchObserver& observer, BatchRowResult& result);

    std::vector<LinkSettings> targets_;
    std::vector<BatchStep> steps_;
    int jobs_;
    std::function<ClockValue()> now_;
    std::string id_;
    std::optional<std::filesystem::path> log_path_;
    FrontEnd front_end_ = FrontEnd::Cli;
    const std::atomic<bool>* external_cancel_ = nullptr;
    std::atomic<bool> cancel_{false};
    uint32_t time_divisor_ = 1;
};

// The batch's verdict: Ok when every row succeeded, RunCancelled when any row
// was cancelled, else the first failure's result.
LinkResult BatchOutcome(const std::vector<BatchRowResult>& rows);

}  // namespace korvane
