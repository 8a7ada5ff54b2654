#include "system/display_path.h"

#include <cstdio>
#include <type_traits>

#include "system/utf8_append.h"

namespace korvane {

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, or 0 when none
// (overlong forms, surrogates and values past U+10FFFF are not valid).
size_t ValidSequence(std::string_view s) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        lo = lead == 0xE0 ? 0xA0 : 0x80;
        hi = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        lo = lead == 0xF0 ? 0x90 : 0x80;
        hi = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < n || byte(1) < lo || byte(1) > hi)
        return 0;
    for (size_t i = 2; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    return n;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

// Windows names: UTF-16 units, of which an unpaired surrogate has no UTF-8.
template <typename Unit>
std::string FromUtf16(std::basic_string_view<Unit> units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const char32_t c = static_cast<char16_t>(units[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
            const char32_t low = static_cast<char16_t>(units[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            AppendEscape(out, "\\u%04X", static_cast<unsigned>(c));
        else
            AppendUtf8(out, c);
    }
    return out;
}

}  // namespace

std::string EscapeInvalidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const size_t n = ValidSequence(bytes);
        if (n == 0) {
            AppendEscape(out, "\\x%02X", static_cast<unsigned char>(bytes[0]));
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, n));
            bytes.remove_prefix(n);
        }
    }
    return out;
}

namespace {

// A template, so that only the branch of this system's kind of name is compiled.
template <typename Unit>
std::string NameText(const std::basic_string<Unit>& native, bool escape) {
    if constexpr (std::is_same_v<Unit, char>)
        return escape ? EscapeInvalidUtf8(native) : native;
    else
        return FromUtf16(std::basic_string_view<Unit>(native));
}

}  // namespace

std::string DisplayPath(const std::filesystem::path& path) {
    return NameText(path.native(), /*escape=*/true);
}

std::string PathBytes(const std::filesystem::path& path) {
    return NameText(path.native(), /*escape=*/false);
}

}  // namespace korvane
