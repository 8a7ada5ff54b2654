#pragma once
// Numbers and IPv4 addresses typed by people, each rule in one place. The
// strict rules take the whole text or nothing; the loose one reads what it
// can, as the stored settings and the settings dialog always have.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvane {

// Decimal digits with an optional leading '-', nothing else (no spaces, no
// '+'), within [lo, hi]; leading zeros are plain decimal.
std::optional<long> ParseDecimal(std::string_view text, long lo, long hi);

// "32" or "0x20" / "0X20": unsigned decimal or hexadecimal, no sign or
// spaces, at most `max`.
std::optional<unsigned long> ParseDecimalOrHex(std::string_view text, unsigned long max);

// "a.b.c.d": four parts of one to three decimal digits, each up to 255, and
// nothing around them. Host order (127.0.0.1 is 0x7F000001).
std::optional<uint32_t> ParseDottedQuad(std::string_view text);

// What a loose reading found at the start of a text: leading white space,
// an optional sign and the decimal digits up to the first other character.
struct LeadingDecimal {
    // Digits past kLeadingDecimalMax stay there, so huge texts cannot
    // overflow; negative with a '-'.
    long value = 0;
    size_t length = 0;  // characters read, white space and sign included
    bool has_sign = false;
    size_t digits = 0;
};
inline constexpr long kLeadingDecimalMax = 0xFFFFFFFL;
LeadingDecimal ReadLeadingDecimal(std::string_view text);

}  // namespace korvane
