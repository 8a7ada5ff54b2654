#pragma once
// Strict parsing of what users type: addresses, ports, dates, colours.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/requests.h"

namespace korvane::cli {

std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text);
std::optional<long> ParseNumber(std::string_view text, long lo, long hi);
// "YYYY-MM-DD HH:MM:SS" (or the two halves as separate words).
std::optional<ClockValue> ParseClock(std::string_view text);
// RRGGBB (an optional leading '#'), returned as the core's 0x00BBGGRR.
std::optional<uint32_t> ParseColour(std::string_view text);
// "WxH" with both sides screen sides (models/screen_size.h: 1 to 32767).
std::optional<std::pair<int, int>> ParseScreen(std::string_view text);
ClockValue LocalNow();
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace korvane::cli
