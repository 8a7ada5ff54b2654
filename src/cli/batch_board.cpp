#include "cli/batch_board.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/cli_output.h"

namespace korvane::cli {

namespace {

// At most ten redraws a second: a board of many panels stays cheap.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string Padded(const std::string& text, size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

}  // namespace

std::vector<std::string> BoardLines(const std::vector<BoardRow>& rows, int columns,
                                    size_t max_lines) {
    // Which rows have a line: all, or those most worth watching.
    std::vector<size_t> shown;
    std::vector<bool> has_line(rows.size(), rows.size() <= max_lines);
    if (rows.size() > max_lines && max_lines > 1) {
        size_t room = max_lines - 1;
        for (const bool busy : {true, false}) {
            for (size_t i = 0; i < rows.size() && room > 0; ++i) {
                const std::string& state = rows[i].state;
                const bool watched = state != "waiting" && state != "succeeded";
                if (!has_line[i] && watched == busy) {
                    has_line[i] = true;
                    --room;
                }
            }
        }
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        if (has_line[i])
            shown.push_back(i);
    }
    size_t target_width = 0, state_width = 0;
    for (const size_t i : shown) {
        target_width = std::max(target_width, rows[i].target.size());
        state_width = std::max(state_width, rows[i].state.size());
    }
    auto cut = [columns](const std::string& line) {
        return columns > 1 ? FitToColumns(line, columns - 1) : line;
    };
    std::vector<std::string> lines;
    for (const size_t i : shown) {
        const BoardRow& r = rows[i];
        std::string line = "panel " + std::to_string(i) + "  " + Padded(r.target, target_width) +
                           "  " + Padded(r.state, state_width);
        if (!r.step.empty()) {
            char percent[8] = "    ";
            if (r.percent)
                std::snprintf(percent, sizeof percent, "%3d%%", std::clamp(*r.percent, 0, 100));
            line += std::string("  ") + percent + "  step " + r.step;
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        lines.push_back(cut(line));
    }
    if (shown.size() < rows.size()) {
        // The others by state, in the order their states first appear.
        std::vector<std::pair<std::string, int>> counts;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (has_line[i])
                continue;
            const std::string& state = rows[i].state;
            auto it = std::find_if(counts.begin(), counts.end(),
                                   [&](const auto& c) { return c.first == state; });
            if (it == counts.end())
                counts.push_back({state, 1});
            else
                ++it->second;
        }
        std::string line = "+ " + std::to_string(rows.size() - shown.size()) + " more:";
        for (size_t k = 0; k < counts.size(); ++k) {
            line += (k ? ", " : " ") + std::to_string(counts[k].second) + " " + counts[k].first;
        }
        lines.push_back(cut(line));
    }
    return lines;
}

// One row's progress as a percent of its step's span.
class BatchBoard::Meter : public ProgressSink {
  public:
    Meter(BatchBoard& board, int row) : board_(board), row_(row) {}
    void MoveTo(int position) override {
        // A run sets its bar back to the start after its last message:
        // that is no progress, and the step keeps the percent it reached.
        position_ = position;
        if (position != lower_)
            Tell();
    }
    void SetSpan(int lower, int upper) override {
        lower_ = lower;
        upper_ = upper;
    }
    void Step() override {
        if (position_ < upper_)
            ++position_;
        Tell();
    }
    void SetText(std::string_view) override {}
    void ShowText(bool) override {}

  private:
    void Tell() {
        const int span = upper_ > lower_ ? upper_ - lower_ : 1;
        board_.Percent(row_, (position_ - lower_) * 100 / span);
    }
    BatchBoard& board_;
    int row_;
    int lower_ = 0, upper_ = 100, position_ = 0;
};

BatchBoard::BatchBoard(std::ostream& err, std::vector<BoardRow> rows, std::function<int()> columns)
    : err_(err), columns_(std::move(columns)), rows_(std::move(rows)) {
    for (size_t i = 0; i < rows_.size(); ++i)
        meters_.push_back(std::make_unique<Meter>(*this, static_cast<int>(i)));
    thread_ = std::thread([this] { Loop(); });
}

BatchBoard::~BatchBoard() {
    Finish();
}

ProgressSink& BatchBoard::RowProgress(int row) {
    return *meters_[static_cast<size_t>(row)];
}

void BatchBoard::StepStarted(int row, std::string step) {
    std::lock_guard lock(mutex_);
    BoardRow& r = rows_[static_cast<size_t>(row)];
    r.state = "running";
    r.step = std::move(step);
    r.percent.reset();
    dirty_ = true;
}

void BatchBoard::Percent(int row, int percent) {
    std::lock_guard lock(mutex_);
    BoardRow& r = rows_[static_cast<size_t>(row)];
    if (r.percent == percent)
        return;
    r.percent = percent;
    dirty_ = true;
}

void BatchBoard::Finished(int row, std::string verdict) {
    std::lock_guard lock(mutex_);
    rows_[static_cast<size_t>(row)].state = std::move(verdict);
    dirty_ = true;
}

void BatchBoard::Message(const std::string& text) {
    std::lock_guard lock(mutex_);
    ClearLocked();
    err_ << text;
    DrawLocked();
}

void BatchBoard::Finish() {
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return;
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::lock_guard lock(mutex_);
    DrawLocked();
}

void BatchBoard::Loop() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (dirty_)
            DrawLocked();
        wake_.wait_for(lock, kRedrawEvery, [this] { return stop_; });
    }
}

void BatchBoard::ClearLocked() {
    if (drawn_ > 0)
        err_ << "\r\033[" << drawn_ << "A\033[J";
    drawn_ = 0;
}

void BatchBoard::DrawLocked() {
    std::string text;
    if (drawn_ > 0)
        text = "\r\033[" + std::to_string(drawn_) + "A";
    const std::vector<std::string> lines = BoardLines(rows_, columns_ ? columns_() : 0);
    for (const std::string& line : lines)
        text += line + "\033[K\n";
    err_ << text << std::flush;
    drawn_ = lines.size();
    dirty_ = false;
}

BatchBoard::MessageBuffer::int_type BatchBoard::MessageBuffer::overflow(int_type c) {
    if (c != traits_type::eof())
        pending_ += static_cast<char>(c);
    return traits_type::not_eof(c);
}

int BatchBoard::MessageBuffer::sync() {
    if (!pending_.empty()) {
        board_.Message(pending_);
        pending_.clear();
    }
    return 0;
}

}  // namespace korvane::cli
