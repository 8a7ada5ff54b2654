#include "system/local_time.h"

namespace korvane {

std::tm LocalTime(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    return tm;
}

}  // namespace korvane
