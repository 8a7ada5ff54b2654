#pragma once
// The figures both front ends show beside a run's bar: bytes sent of the
// image, throughput and time left, from the bar's fraction and the time
// since the data phase began.
#include <cstdint>
#include <string>

#include "link/texts.h"

namespace korvane {

struct TransferFigures {
    uint64_t sent = 0;
    uint64_t total = 0;
    double bytes_per_second = 0;
    double seconds_left = 0;
};

// `done` is the bar's fraction (clamped to 0..1).
TransferFigures MeasureTransfer(double done, uint64_t total, double seconds);
// "SENT/TOTAL bytes R KiB/s Ns left", or the same in Chinese.
std::string TransferFiguresText(const TransferFigures& f,
                                UiLanguage language = UiLanguage::English);

}  // namespace korvane
