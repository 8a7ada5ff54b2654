#include "system/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace korvane {
namespace {

TEST(NumberText, DecimalTakesTheWholeTextWithinItsRange) {
    struct Case {
        const char* text;
        long lo, hi;
        std::optional<long> want;
    };
    const Case cases[] = {
        {"0", 0, 65535, 0},
        {"65535", 0, 65535, 65535},
        {"007", 0, 65535, 7},  // leading zeros are decimal, not octal
        {"-5", -10, 10, -5},
        {"-0", 0, 10, 0},
        {"65536", 0, 65535, std::nullopt},
        {"-1", 0, 65535, std::nullopt},
        {"", 0, 65535, std::nullopt},
        {"-", -10, 10, std::nullopt},
        {"+5", 0, 65535, std::nullopt},
        {" 5", 0, 65535, std::nullopt},
        {"5 ", 0, 65535, std::nullopt},
        {"5x", 0, 65535, std::nullopt},
        {"0x10", 0, 65535, std::nullopt},
        {"1e3", 0, 65535, std::nullopt},
        {"99999999999999999999", 0, LONG_MAX, std::nullopt},  // overflow
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseDecimal(c.text, c.lo, c.hi), c.want) << '"' << c.text << '"';
}

TEST(NumberText, DecimalOrHexIsUnsignedWithAnOptionalPrefix) {
    struct Case {
        const char* text;
        std::optional<unsigned long> want;
    };
    const Case cases[] = {
        {"32", 32},
        {"0x20", 0x20},
        {"0X2a", 0x2A},
        {"0xFF", 255},
        {"255", 255},
        {"0", 0},
        {"00", 0},
        {"010", 10},  // decimal, not octal
        {"0x0010", 0x10},
        {"256", std::nullopt},
        {"0x100", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"x20", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {"0x-1", std::nullopt},
        {"0x+1", std::nullopt},
        {"0x0x5", std::nullopt},
        {" 32", std::nullopt},
        {"0x 5", std::nullopt},
        {"32 ", std::nullopt},
        {"2a", std::nullopt},
        {"0xfg", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseDecimalOrHex(c.text, 255), c.want) << '"' << c.text << '"';
}

TEST(NumberText, DottedQuadIsFourOctetsAndNothingElse) {
    struct Case {
        const char* text;
        std::optional<uint32_t> want;
    };
    const Case cases[] = {
        {"127.0.0.1", 0x7F000001u},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"0.0.0.0", 0u},
        {"010.001.000.009", 0x0A010009u},  // leading zeros are decimal
        {"256.0.0.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1.2.3.", std::nullopt},
        {".1.2.3", std::nullopt},
        {"1..2.3", std::nullopt},
        {"0001.2.3.4", std::nullopt},
        {"1.2.3.4 ", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"1. 2.3.4", std::nullopt},
        {"1.-0.3.4", std::nullopt},
        {"1.+2.3.4", std::nullopt},
        {"0x7f.0.0.1", std::nullopt},
        {"", std::nullopt},
        {"localhost", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseDottedQuad(c.text), c.want) << '"' << c.text << '"';
}

TEST(NumberText, LeadingDecimalReadsWhatItCanAndSaysHowFar) {
    struct Case {
        std::string text;
        long value;
        size_t length;
        bool has_sign;
        size_t digits;
    };
    const Case cases[] = {
        {"502", 502, 3, false, 3},
        {" \t502x", 502, 5, false, 3},
        {"-12", -12, 3, true, 2},
        {"+7", 7, 2, true, 1},
        {"+", 0, 1, true, 0},
        {"", 0, 0, false, 0},
        {"   ", 0, 3, false, 0},
        {"abc", 0, 0, false, 0},
        {"0x10", 0, 1, false, 1},
        {"007", 7, 3, false, 3},
        {"1 2", 1, 1, false, 1},
        {"- 5", 0, 1, true, 0},
        // Huge texts stop at 0xFFFFFFF instead of overflowing: a stored port
        // of "99999..." has always read as 0xFFFF.
        {"268435454", 0xFFFFFFE, 9, false, 9},
        {"268435456", 0xFFFFFFF, 9, false, 9},
        {std::string(40, '9'), 0xFFFFFFF, 40, false, 40},
        {"-" + std::string(40, '9'), -0xFFFFFFF, 41, true, 40},
    };
    for (const Case& c : cases) {
        const LeadingDecimal n = ReadLeadingDecimal(c.text);
        EXPECT_EQ(n.value, c.value) << '"' << c.text << '"';
        EXPECT_EQ(n.length, c.length) << '"' << c.text << '"';
        EXPECT_EQ(n.has_sign, c.has_sign) << '"' << c.text << '"';
        EXPECT_EQ(n.digits, c.digits) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace korvane
