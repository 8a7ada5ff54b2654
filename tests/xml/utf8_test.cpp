#include "xml/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::u16string text;
};

TEST(DecodeUtf8, FollowsTheReadersRules) {
    const DecodeCase cases[] = {
        {"two-byte form", "A\xC3\xA9", u"A\u00E9"},
        {"three-byte form", "\xE4\xB8\xAD", u"\u4E2D"},
        {"four-byte form becomes a surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"byte-order mark kept as U+FEFF", "\xEF\xBB\xBF<a/>", u"\uFEFF<a/>"},
        {"invalid lead byte",
         "a\xF8"
         "b",
         u"a?b"},
        {"broken sequence resumes at the breaking byte",
         "\xE4"
         "Ab",
         u"?Ab"},
        {"two-byte sequence cut off at the end", "a\xC3", u"a"},
        {"three-byte sequence cut off at the end", "a\xE4\xB8", u"a"},
        {"cut off after a run of plain bytes", "abcdefghijk\xF0\x9F\x98", u"abcdefghijk"},
        {"zero byte ends the text", std::string("ab\0cd", 5), u"ab"},
        {"zero byte inside a run of plain bytes", std::string("abcdefghij\0klmnopqr", 19),
         u"abcdefghij"},
        {"overlong zero ends the text", "\xC0\x80x", u""},
        {"multi-byte after a run of plain bytes", "abcdefgh\xC3\xA9ijklmnop",
         u"abcdefgh\u00E9ijklmnop"},
        {"zero continuation byte: '?' then the text ends", std::string("x\xC3\0y", 4), u"x?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeUtf8(c.bytes), c.text) << c.what;
    }
}

TEST(EncodeUtf8, RoundTripsDecodedText) {
    const std::string samples[] = {"plain", "A\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80 x"};
    for (const auto& s : samples) {
        EXPECT_EQ(EncodeUtf8(DecodeUtf8(s)), s);
    }
    EXPECT_EQ(EncodeUtf8(u"a\xD800"
                         "b"),
              "a\xEF\xBF\xBD"
              "b");
}

}  // namespace
}  // namespace korvane
