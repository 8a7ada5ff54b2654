// Searches over UTF-16 text for the scanner's hot loops: eight units at a
// time where SSE2 is available, one at a time otherwise. Every search reads
// only the units in [from, size) and returns `size` when nothing matches.
#pragma once

#include <bit>
#include <cstddef>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KORVANE_XML_SSE2 1
#endif

namespace korvane::char_scan {

#ifdef KORVANE_XML_SSE2

inline __m128i Load(const char16_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

inline __m128i Splat(char16_t c) {
    return _mm_set1_epi16(static_cast<short>(c));
}

// Offset of the first unit whose lane is set in `hits`, or -1.
inline int FirstHit(__m128i hits) {
    const int mask = _mm_movemask_epi8(hits);
    return mask == 0 ? -1 : std::countr_zero(static_cast<unsigned>(mask)) / 2;
}

#endif

// First unit equal to `a`.
inline size_t Find(const char16_t* data, size_t from, size_t size, char16_t a) {
    size_t i = from;
#ifdef KORVANE_XML_SSE2
    const __m128i va = Splat(a);
    for (; i + 8 <= size; i += 8) {
        const int hit = FirstHit(_mm_cmpeq_epi16(Load(data + i), va));
        if (hit >= 0)
            return i + static_cast<size_t>(hit);
    }
#endif
    while (i < size && data[i] != a)
        ++i;
    return i;
}

// First unit equal to `a` or `b`.
inline size_t FindEither(const char16_t* data, size_t from, size_t size, char16_t a, char16_t b) {
    size_t i = from;
#ifdef KORVANE_XML_SSE2
    const __m128i va = Splat(a);
    const __m128i vb = Splat(b);
    for (; i + 8 <= size; i += 8) {
        const __m128i v = Load(data + i);
        const int hit = FirstHit(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)));
        if (hit >= 0)
            return i + static_cast<size_t>(hit);
    }
#endif
    while (i < size && data[i] != a && data[i] != b)
        ++i;
    return i;
}

// First unit that ends a tag name: white space, '/' or '>'.
inline size_t FindNameEnd(const char16_t* data, size_t from, size_t size) {
    size_t i = from;
#ifdef KORVANE_XML_SSE2
    const __m128i space = Splat(u' ');
    const __m128i tab = Splat(u'\t');
    const __m128i lf = Splat(u'\n');
    const __m128i cr = Splat(u'\r');
    const __m128i slash = Splat(u'/');
    const __m128i close = Splat(u'>');
    for (; i + 8 <= size; i += 8) {
        const __m128i v = Load(data + i);
        const __m128i white =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, space), _mm_cmpeq_epi16(v, tab)),
                         _mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, cr)));
        const __m128i ends =
            _mm_or_si128(white, _mm_or_si128(_mm_cmpeq_epi16(v, slash), _mm_cmpeq_epi16(v, close)));
        const int hit = FirstHit(ends);
        if (hit >= 0)
            return i + static_cast<size_t>(hit);
    }
#endif
    for (; i < size; ++i) {
        const char16_t c = data[i];
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'/' || c == u'>')
            break;
    }
    return i;
}

}  // namespace korvane::char_scan
