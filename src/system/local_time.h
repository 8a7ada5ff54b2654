#pragma once
// The local calendar time of a clock reading, without the shared buffer of
// std::localtime. One implementation per platform.
#include <ctime>

namespace korvane {

std::tm LocalTime(std::time_t when);

}  // namespace korvane
