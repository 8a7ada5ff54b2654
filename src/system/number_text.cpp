#include "system/number_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

namespace korvane {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<long> ParseDecimal(std::string_view text, long lo, long hi) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value < lo || value > hi)
        return std::nullopt;
    return value;
}

std::optional<unsigned long> ParseDecimalOrHex(std::string_view text, unsigned long max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // Unsigned from_chars takes no sign, space or second prefix: digits only.
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseDottedQuad(std::string_view text) {
    uint32_t value = 0;
    size_t i = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
        size_t digits = 0;
        uint32_t v = 0;
        while (i < text.size() && IsDigit(text[i]) && digits < 3) {
            v = v * 10 + static_cast<uint32_t>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || v > 255)
            return std::nullopt;
        value = value << 8 | v;
    }
    if (i != text.size())
        return std::nullopt;
    return value;
}

LeadingDecimal ReadLeadingDecimal(std::string_view text) {
    LeadingDecimal out;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
        out.has_sign = true;
    }
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        // In 64 bits: `long` is 32 bits on Windows, where the step past the
        // cap would overflow.
        out.value = static_cast<long>(std::min<int64_t>(int64_t{out.value} * 10 + (text[i] - '0'),
                                                        int64_t{kLeadingDecimalMax}));
        ++out.digits;
    }
    if (negative)
        out.value = -out.value;
    out.length = i;
    return out;
}

}  // namespace korvane
