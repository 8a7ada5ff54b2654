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

std::string TransferFiguresText(const TransferFigures& f) {
    char line[128];
    std::snprintf(line, sizeof line, "%llu/%llu bytes %.1f KiB/s %.0fs left",
                  static_cast<unsigned long long>(f.sent), static_cast<unsigned long long>(f.total),
                  f.bytes_per_second / 1024, f.seconds_left);
    return line;
}

}  // namespace korvane
