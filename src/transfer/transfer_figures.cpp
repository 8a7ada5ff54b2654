#include "transfer/transfer_figures.h"

#include <algorithm>
#include <cstdio>

namespace korvane {

TransferFigures MeasureTransfer(double done, uint64_t total, double seconds) {
    done = std::clamp(done, 0.0, 1.0);
    TransferFigures f;
    f.total = total;
    const double sent = done * static_cast<double>(total);
    f.sent = static_cast<uint64_t>(sent);
    f.bytes_per_second = seconds > 0 ? sent / seconds : 0;
    f.seconds_left =
        f.bytes_per_second > 0 ? (static_cast<double>(total) - sent) / f.bytes_per_second : 0;
    return f;
}

std::string TransferFiguresText(const TransferFigures& f, UiLanguage language) {
    char rate[32], left[32];
    std::snprintf(rate, sizeof rate, "%.1f", f.bytes_per_second / 1024);
    std::snprintf(left, sizeof left, "%.0f", f.seconds_left);
    return FillText(TextId::TransferFigures,
                    {{"sent", std::to_string(f.sent)},
                     {"total", std::to_string(f.total)},
                     {"rate", rate},
                     {"left", left}},
                    language);
}

}  // namespace korvane
