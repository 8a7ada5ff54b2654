#include "xml/references.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct ReferenceCase {
    std::u16string_view run;
    std::u16string_view decoded;
};

TEST(DecodeReferences, DecodesWhatItRecognisesAndCopiesTheRest) {
    const ReferenceCase cases[] = {
        {u"&lt;&amp;&gt;&apos;&quot;", u"<&>'\""},
        {u"&#65;&#x42;", u"AB"},
        {u"&#x4e2D;", u"\u4E2D"},
        {u"&#0;", u"&#0;"},
        {u"&#x0;", u"&#x0;"},
        {u"&#x;", u"&#x;"},
        {u"&#;", u"&#;"},
        {u"&#X41;", u"&#X41;"},
        {u"&#65", u"&#65"},
        {u"&#123456;", u"\U0001E240"},  // beyond 16 bits: a surrogate pair
        {u"&#x10000;", u"\U00010000"},  // never a NUL unit inside the text
        {u"&#x10041;", u"\U00010041"},
        {u"&#xFFFFF;", u"\U000FFFFF"},  // the largest the seven-character window holds
        {u"&#xFFFF;", u"\uFFFF"},
        {u"&#1234567;", u"&#1234567;"},  // ';' beyond seven characters
        {u"&am", u"&am"},
        {u"&amp", u"&amp"},
        {u"a & b", u"a & b"},
        {u"&&lt;", u"&<"},
        {u"&", u"&"},
        {u"no references", u"no references"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeReferences(c.run), c.decoded) << std::string(c.run.begin(), c.run.end());
    }
}

TEST(DecodeReferences, ReferenceMustLieInsideTheRun) {
    const std::u16string_view text = u"&lt;x";
    EXPECT_EQ(DecodeReferences(text.substr(0, 3)), u"&lt");
    EXPECT_EQ(DecodeReferences(std::u16string_view(u"&#65;").substr(0, 4)), u"&#65");
}

}  // namespace
}  // namespace korvane
