#include "system/local_time.h"

namespace korvane {

std::tm LocalTime(std::time_t when) {
    std::tm tm{};
    localtime_s(&tm, &when);
    return tm;
}

}  // namespace korvane
