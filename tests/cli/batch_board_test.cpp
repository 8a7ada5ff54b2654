// The lines batch draws in place on a terminal, one per panel: what each
// says in each state, and that none is wider than the terminal allows.
#include "cli/batch_board.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane::cli {
namespace {

BoardRow Row(std::string target, std::string state, std::string step = {},
             std::optional<int> percent = std::nullopt) {
    BoardRow r;
    r.target = std::move(target);
    r.state = std::move(state);
    r.step = std::move(step);
    r.percent = percent;
    return r;
}

TEST(BatchBoardLines, EachStateReadsAsItsOwnLineWithColumnsAligned) {
    const std::vector<BoardRow> rows = {
        Row("127.0.0.1:21845", "waiting"),
        Row("127.0.0.12:21845", "running", "1/2: flash kernel zImage", 42),
        Row("/dev/ttyUSB0", "running", "2/2: set-clock now"),
        Row("127.0.0.3:21845", "failed (Timeout)", "1/2: flash kernel zImage", 130),
        Row("127.0.0.4:21845", "succeeded", "2/2: set-clock now", 100)};
    EXPECT_EQ(
        BoardLines(rows, 0),
        (std::vector<std::string>{
            "panel 0  127.0.0.1:21845   waiting",
            "panel 1  127.0.0.12:21845  running            42%  step 1/2: flash kernel zImage",
            "panel 2  /dev/ttyUSB0      running                 step 2/2: set-clock now",
            "panel 3  127.0.0.3:21845   failed (Timeout)  100%  step 1/2: flash kernel zImage",
            "panel 4  127.0.0.4:21845   succeeded         100%  step 2/2: set-clock now"}));
}

TEST(BatchBoardLines, ALineIsCutOneColumnShortOfTheTerminal) {
    const std::vector<BoardRow> rows = {
        Row("127.0.0.1:21845", "running", "1/1: flash kernel /a/very/long/path/zImage", 7),
        Row("127.0.0.2:21845", "waiting")};
    const std::string whole =
        "panel 0  127.0.0.1:21845  running    7%  step 1/1: flash kernel /a/very/long/path/zImage";
    EXPECT_EQ(BoardLines(rows, 120)[0], whole);
    for (const int columns : {80, 40}) {
        const auto lines = BoardLines(rows, columns);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], whole.substr(0, static_cast<size_t>(columns - 1))) << columns;
        // The state comes before the step, so that a narrow terminal keeps it.
        EXPECT_EQ(lines[1], "panel 1  127.0.0.2:21845  waiting") << columns;
    }
}

TEST(BatchBoardLines, MorePanelsThanLinesShowTheBusyOnesAndCountTheRest) {
    // 30 panels: 0-9 succeeded, 10 and 25 running, 12 failed, the rest waiting.
    std::vector<BoardRow> rows;
    for (int i = 0; i < 30; ++i) {
        const std::string state = i == 12              ? "failed (Timeout)"
                                  : i == 10 || i == 25 ? "running"
                                  : i < 10             ? "succeeded"
                                                       : "waiting";
        rows.push_back(Row("127.0.0." + std::to_string(i + 1) + ":21845", state));
    }
    const auto lines = BoardLines(rows, 0, 5);
    // The same number of lines every time: the redraw moves up by it.
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].rfind("panel 0  127.0.0.1:21845   succeeded", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("panel 10  127.0.0.11:21845  running", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("panel 12  127.0.0.13:21845  failed (Timeout)", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("panel 25  127.0.0.26:21845  running", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4], "+ 26 more: 9 succeeded, 17 waiting");
    EXPECT_EQ(BoardLines(rows, 0, 30).size(), 30u);
    EXPECT_EQ(BoardLines(rows, 0).size(), kBoardMaxLines);
}

}  // namespace
}  // namespace korvane::cli
