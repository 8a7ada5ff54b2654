// The bytes, rate and time-left figures both front ends show beside a run.
#include <gtest/gtest.h>

#include "transfer/transfer_figures.h"

namespace korvane {
namespace {

TEST(TransferFigures, FromFractionAndTime) {
    struct Case {
        double done;
        uint64_t total;
        double seconds;
        const char* text;
    } cases[] = {
        {0.5, 1048576, 2.0, "524288/1048576 bytes 256.0 KiB/s 2s left"},
        {0.0, 4096, 0.0, "0/4096 bytes 0.0 KiB/s 0s left"},     // nothing sent: no rate, no guess
        {1.5, 4096, 1.0, "4096/4096 bytes 4.0 KiB/s 0s left"},  // beyond the end counts as done
        {-0.2, 4096, 1.0, "0/4096 bytes 0.0 KiB/s 0s left"},
        {0.25, 0, 3.0, "0/0 bytes 0.0 KiB/s 0s left"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TransferFiguresText(MeasureTransfer(c.done, c.total, c.seconds)), c.text)
            << c.done << " of " << c.total;
    }
    // The window in Chinese shows the same figures in its language.
    EXPECT_EQ(TransferFiguresText(MeasureTransfer(0.5, 1048576, 2.0), UiLanguage::Chinese),
              "524288/1048576 字节 256.0 KiB/s 剩余 2 秒");
}

}  // namespace
}  // namespace korvane
