#pragma once
// batch on a terminal: one line per panel (target, state, percent of its
// step, the step), drawn again in place at most ten times a second. The
// panels' messages scroll above it. Not used when stderr is no terminal:
// scripts read the plain lines there.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/message_sink.h"

namespace korvane::cli {

struct BoardRow {
    std::string target;
    std::string state = "waiting";  // waiting, running, or the row's verdict
    std::string step;               // "1/2 flash kernel zImage"; empty before the first
    std::optional<int> percent;     // of the step; none for a step without progress
};

// At most this many lines, so that the board fits a terminal of 24 lines: a
// board taller than the screen cannot be drawn again in place.
inline constexpr size_t kBoardMaxLines = 20;

// The board's lines: "panel I  TARGET  STATE  P%  step S/N NAME", targets
// and states padded to one width, each cut to `columns` - 1 so that none
// wraps (a wrapped line would break the redraw in place). With more rows
// than `max_lines`, the running and failed ones are shown first and the last
// line counts the others ("+ 230 more: 200 waiting, 30 succeeded"); the
// number of lines stays the same from one redraw to the next.
std::vector<std::string> BoardLines(const std::vector<BoardRow>& rows, int columns,
                                    size_t max_lines = kBoardMaxLines);

class BatchBoard {
  public:
    BatchBoard(std::ostream& err, std::vector<BoardRow> rows, std::function<int()> columns);
    ~BatchBoard();
    BatchBoard(const BatchBoard&) = delete;
    BatchBoard& operator=(const BatchBoard&) = delete;

    void StepStarted(int row, std::string step);
    void Finished(int row, std::string verdict);
    // The progress of row `row`'s runs, as the board's percent.
    ProgressSink& RowProgress(int row);
    // Where the rows' messages go: each flushed text is written above the
    // board, which is drawn again below it.
    std::ostream& Messages() { return messages_; }
    // Draws the board a last time and stops redrawing; it stays on screen.
    void Finish();

  private:
    class Meter;
    class MessageBuffer : public std::streambuf {
      public:
        explicit MessageBuffer(BatchBoard& board) : board_(board) {}

      protected:
        int_type overflow(int_type c) override;
        int sync() override;

      private:
        BatchBoard& board_;
        std::string pending_;
    };

    void Percent(int row, int percent);
    void Message(const std::string& text);
    void Loop();
    void DrawLocked();
    void ClearLocked();

    std::ostream& err_;
    std::function<int()> columns_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<BoardRow> rows_;
    std::vector<std::unique_ptr<Meter>> meters_;
    MessageBuffer buffer_{*this};
    std::ostream messages_{&buffer_};
    size_t drawn_ = 0;  // lines of the board on screen
    bool dirty_ = true;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace korvane::cli
