#include "cli/cli_args.h"

#include <charconv>
#include <chrono>
#include <ctime>

#include "models/screen_size.h"
#include "system/local_time.h"
#include "system/number_text.h"
#include "system/utf8_append.h"

namespace korvane::cli {

std::optional<long> ParseNumber(std::string_view text, long lo, long hi) {
    return ParseDecimal(text, lo, hi);
}

std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text) {
    const auto address = ParseDottedQuad(text);
    if (!address)
        return std::nullopt;
    return std::array<uint8_t, 4>{
        static_cast<uint8_t>(*address >> 24), static_cast<uint8_t>(*address >> 16),
        static_cast<uint8_t>(*address >> 8), static_cast<uint8_t>(*address)};
}

std::optional<ClockValue> ParseClock(std::string_view text) {
    // YYYY-MM-DD HH:MM:SS, fixed widths.
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    auto field = [&](size_t at, size_t n, long lo, long hi) {
        return ParseNumber(text.substr(at, n), lo, hi);
    };
    const auto y = field(0, 4, 1, 9999), mo = field(5, 2, 1, 12), d = field(8, 2, 1, 31),
               h = field(11, 2, 0, 23), mi = field(14, 2, 0, 59), s = field(17, 2, 0, 59);
    if (!y || !mo || !d || !h || !mi || !s)
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day ymd{year{static_cast<int>(*y)}, month{static_cast<unsigned>(*mo)},
                             day{static_cast<unsigned>(*d)}};
    if (!ymd.ok())
        return std::nullopt;
    return ClockValue{static_cast<int>(*y), static_cast<int>(*mo), static_cast<int>(*d),
                      static_cast<int>(*h), static_cast<int>(*mi), static_cast<int>(*s)};
}

std::optional<uint32_t> ParseColour(std::string_view text) {
    if (!text.empty() && text[0] == '#')
        text.remove_prefix(1);
    if (text.size() != 6)
        return std::nullopt;
    uint32_t rgb = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
    if (ec != std::errc() || end != text.data() + 6)
        return std::nullopt;
    const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return b << 16 | g << 8 | r;
}

std::optional<std::pair<int, int>> ParseScreen(std::string_view text) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return std::nullopt;
    const auto w = ParseNumber(text.substr(0, x), kScreenSideMin, kScreenSideMax);
    const auto h = ParseNumber(text.substr(x + 1), kScreenSideMin, kScreenSideMax);
    if (!w || !h)
        return std::nullopt;
    return std::pair<int, int>{static_cast<int>(*w), static_cast<int>(*h)};
}

ClockValue LocalNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm tm = LocalTime(now);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace korvane::cli
