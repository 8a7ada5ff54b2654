#include "xml/references.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace korvane {

namespace {

struct NamedReference {
    std::u16string_view body;  // after the '&'
    char16_t character;
};

constexpr std::array<NamedReference, 5> kNamed{{
    {u"lt;", u'<'},
    {u"amp;", u'&'},
    {u"gt;", u'>'},
    {u"apos;", u'\''},
    {u"quot;", u'"'},
}};

// Characters after "&#" within which the ';' must appear.
constexpr size_t kNumericWindow = 7;

int DigitValue(char16_t c, int base) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (base == 16 && c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (base == 16 && c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

constexpr uint32_t kLastCodePoint = 0x10FFFF;

// Decodes the numeric reference whose '&' is at `amp`; returns the index of
// its ';' or 0 when it is not a reference.
size_t NumericReference(std::u16string_view run, size_t amp, uint32_t& code_point) {
    const size_t first = amp + 2;
    const size_t limit = std::min(run.size(), first + kNumericWindow);
    size_t semicolon = first;
    while (semicolon < limit && run[semicolon] != u';')
        ++semicolon;
    if (semicolon >= limit)
        return 0;
    size_t i = first;
    int base = 10;
    if (i < semicolon && run[i] == u'x') {
        base = 16;
        ++i;
    }
    // Leading digits only, as a number parser would read them; the window
    // keeps the value far below any overflow.
    uint32_t value = 0;
    for (; i < semicolon; ++i) {
        const int d = DigitValue(run[i], base);
        if (d < 0)
            break;
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
    }
    // Past the last code point there is no character to stand for: the text
    // stays as written rather than becoming some other character.
    if (value == 0 || value > kLastCodePoint)
        return 0;
    code_point = value;
    return semicolon;
}

// Characters beyond the 16-bit range become a surrogate pair, so that the
// text keeps the character instead of a unit cut from it.
void AppendCodePoint(uint32_t code_point, std::u16string& out) {
    if (code_point <= 0xFFFF) {
        out += static_cast<char16_t>(code_point);
        return;
    }
    const uint32_t v = code_point - 0x10000;
    out += static_cast<char16_t>(0xD800 + (v >> 10));
    out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
}

}  // namespace

void AppendDecoded(std::u16string_view run, std::u16string& out) {
    size_t copied = 0;
    for (size_t i = run.find(u'&'); i != std::u16string_view::npos; i = run.find(u'&', i)) {
        out.append(run.substr(copied, i - copied));
        const std::u16string_view after = run.substr(i + 1);
        size_t end = 0;  // index of the reference's last character, 0 = none
        uint32_t code_point = 0;
        for (const auto& named : kNamed) {
            if (after.starts_with(named.body)) {
                code_point = named.character;
                end = i + named.body.size();
                break;
            }
        }
        if (end == 0 && after.starts_with(u'#'))
            end = NumericReference(run, i, code_point);
        if (end == 0) {
            out += u'&';
            copied = i = i + 1;
        } else {
            AppendCodePoint(code_point, out);
            copied = i = end + 1;
        }
    }
    out.append(run.substr(copied));
}

std::u16string DecodeReferences(std::u16string_view run) {
    std::u16string out;
    out.reserve(run.size());
    AppendDecoded(run, out);
    return out;
}

}  // namespace korvane
