#include "xml/utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KORVANE_UTF8_SSE2 1
#endif

namespace korvane {

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;

// True when none of the eight bytes has its top bit set or is zero, so all
// of them are plain characters that continue the text.
bool AllPlainAscii(uint64_t word) {
    const uint64_t hasZero = (word - kOnes) & ~word & kHighBits;
    return ((word | hasZero) & kHighBits) == 0;
}

}  // namespace

std::u16string DecodeUtf8(std::string_view bytes) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    // One pass into a buffer of the byte count: no character yields more
    // UTF-16 units than it has bytes, so the buffer never overflows.
    std::u16string out(n, u'\0');
    char16_t* w = out.data();
    size_t k = 0;
    while (k < n) {
#ifdef KORVANE_UTF8_SSE2
        // Sixteen plain characters at a time: no top bit set and no zero byte.
        const __m128i zero = _mm_setzero_si128();
        while (k + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
            if (_mm_movemask_epi8(_mm_or_si128(v, _mm_cmpeq_epi8(v, zero))) != 0)
                break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 8), _mm_unpackhi_epi8(v, zero));
            w += 16;
            k += 16;
        }
#endif
        while (k + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, in + k, sizeof word);
            if (!AllPlainAscii(word))
                break;
            for (int b = 0; b < 8; ++b)
                w[b] = in[k + b];
            w += 8;
            k += 8;
        }
        if (k >= n)
            break;
        const unsigned lead = in[k];
        if (lead < 0x80) {
            if (lead == 0)
                break;
            *w++ = static_cast<char16_t>(lead);
            ++k;
            continue;
        }
        int need;
        uint32_t value;
        if (!(lead & 0x20)) {
            need = 1;
            value = lead & 0x1F;
        } else if (!(lead & 0x10)) {
            need = 2;
            value = lead & 0x0F;
        } else if (!(lead & 0x08)) {
            need = 3;
            value = lead & 0x07;
        } else {
            *w++ = u'?';
            ++k;
            continue;
        }
        size_t j = k + 1;
        bool invalid = false;
        for (int m = 0; m < need; ++m, ++j) {
            if (j >= n) {
                // Cut off by the end of the input: the text ends before it.
                out.resize(static_cast<size_t>(w - out.data()));
                return out;
            }
            const unsigned c = in[j];
            if (!(c & 0x80)) {
                invalid = true;
                break;
            }
            value = (value << 6) | (c & 0x3F);
        }
        if (invalid) {
            // Decoding resumes at the byte that broke the sequence.
            *w++ = u'?';
            k = j;
            continue;
        }
        if (value == 0)
            break;
        if (value >= 0x10000) {
            const uint32_t v = value - 0x10000;
            *w++ = static_cast<char16_t>(0xD800 | ((v >> 10) & 0x3FF));
            *w++ = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
        } else {
            *w++ = static_cast<char16_t>(value);
        }
        k = j;
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace korvane
