// Building the reader's result texts from literal parts, names and offsets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace korvane {

inline void AppendPart(std::u16string& out, std::u16string_view part) {
    out.append(part);
}

template <typename Number>
requires std::is_integral_v<Number>
void AppendPart(std::u16string& out, Number value) {
    const std::string digits = std::to_string(value);
    out.append(digits.begin(), digits.end());
}

template <typename... Parts>
std::u16string ResultTextOf(const Parts&... parts) {
    std::u16string out;
    (AppendPart(out, parts), ...);
    return out;
}

}  // namespace korvane
