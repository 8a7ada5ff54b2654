#include <gtest/gtest.h>

#include <string>

#include "xml/utf8.h"
#include "xml/xml_document.h"

namespace korvane {
namespace {

TEST(XmlNavigation, NameMayCarryATrailingPart) {
    struct Case {
        std::u16string_view requested;
        bool found;
    };
    const Case cases[] = {
        {u"a", true},   {u"a[2]", true}, {u"a/b", true}, {u"a=x", true}, {u"a b", true},
        {u"ab", false}, {u"A", false},   {u"", true},    {u"b", false},
    };
    for (const auto& c : cases) {
        XmlDocument doc;
        ASSERT_TRUE(doc.SetText(u"<a/>"));
        EXPECT_EQ(doc.FindElement(c.requested), c.found) << EncodeUtf8(c.requested);
    }
}

TEST(XmlNavigation, NameIsReadUpToItsFirstDelimiter) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<r><x:y/><p.q a='1'/><m\tb='2'/></r>"));
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_TRUE(doc.FindChildElement(u"x:y"));
    EXPECT_TRUE(doc.FindChildElement(u"p.q"));
    EXPECT_TRUE(doc.FindChildElement(u"m"));
}

TEST(XmlNavigation, FindElementContinuesAfterTheCurrentOne) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<r><x n='1'/><y n='2'/><x n='3'/></r>"));
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_FALSE(doc.FindElement(u"r"));
    ASSERT_TRUE(doc.FindChildElement(u"x"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"n"), u"1");
    ASSERT_TRUE(doc.FindElement(u"x"));
    EXPECT_EQ(doc.GetAttribute(u"n"), u"3");
    // A failed search leaves the position alone.
    EXPECT_FALSE(doc.FindElement(u"x"));
    EXPECT_EQ(doc.GetAttribute(u"n"), u"3");
    EXPECT_FALSE(doc.FindElement());
}

TEST(XmlNavigation, FindChildElementFindsTheCurrentElementFirst) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<r id='R'><c id='1'/><d/><c id='2'/></r>"));
    ASSERT_TRUE(doc.FindChildElement(u"c"));
    EXPECT_EQ(doc.GetAttribute(u"id"), u"R");
    ASSERT_TRUE(doc.FindChildElement(u"c"));
    EXPECT_FALSE(doc.FindChildElement(u"c"));
    // The child position stays on the last one found.
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"2");
}

TEST(XmlNavigation, FindChildElementFailsOnAnEmptyDocumentLevel) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(u"no elements"));
    EXPECT_FALSE(doc.FindChildElement());
    EXPECT_FALSE(doc.FindElement());
}

TEST(XmlNavigation, EnterAndLeave) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<r id='R'><a id='A'><b id='B'/></a></r>"));
    EXPECT_FALSE(doc.EnterElement());  // no current element yet
    EXPECT_FALSE(doc.LeaveElement());  // document level
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"R");  // position kept
    ASSERT_TRUE(doc.FindChildElement(u"a"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"A");
    ASSERT_TRUE(doc.FindChildElement(u"b"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"B");
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"A");
    EXPECT_FALSE(doc.FindChildElement(u"b"));  // continues after b
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"R");
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"R");
}

TEST(XmlNavigation, EnteringWithoutAChildLeavesNoCurrentElement) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<r id='R'><a/></r>"));
    ASSERT_TRUE(doc.FindElement(u"r"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"");
    EXPECT_FALSE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u"a"));
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"R");
}

struct AttributeCase {
    std::u16string_view tag;
    std::u16string_view name;
    std::u16string_view value;
};

TEST(XmlNavigation, GetAttribute) {
    const AttributeCase cases[] = {
        {u"<a b=\"1\" c='2'/>", u"c", u"2"},
        {u"<a b='1' c='2'/>", u"b", u"1"},
        {u"<a b = '1'/>", u"b", u"1"},
        {u"<a\tb\n=\r'1'/>", u"b", u"1"},
        {u"<a b=1 c=2/>", u"b", u"1"},
        {u"<a b=1 c=2/>", u"c", u"2/"},  // the slash belongs to an unquoted value
        {u"<a checked/>", u"checked", u"checked"},
        {u"<a checked c='1'/>", u"checked", u"checked"},
        {u"<a b='x &amp; &lt;y&gt; &#65;'/>", u"b", u"x & <y> A"},
        {u"<a bc='1' b='2'/>", u"b", u"2"},
        {u"<a b='1' b='2'/>", u"b", u"1"},
        {u"<a \"q\" b='1'/>", u"b", u"1"},
        {u"<a x='b=1' b='2'/>", u"b", u"2"},
        {u"<a x=b b='2'/>", u"b", u"2"},
        {u"<a b='>' c='2'/>", u"c", u"2"},
        {u"<a b=\"it's\"/>", u"b", u"it's"},
        {u"<a b=''/>", u"b", u""},
        {u"<a b='1'/>", u"a", u""},  // the tag name is no attribute
        {u"<a b='1'/>", u"x", u""},
        {u"<a b='1'/>", u"", u""},
        {u"<a b='1'/>", u"b[1]", u"1"},
        {u"<a b='1' / c='2'>", u"c", u""},  // a '/' ends the search
    };
    for (const auto& c : cases) {
        XmlDocument doc;
        doc.SetText(std::u16string(c.tag));
        ASSERT_TRUE(doc.FindElement()) << EncodeUtf8(c.tag);
        EXPECT_EQ(EncodeUtf8(doc.GetAttribute(c.name)), EncodeUtf8(c.value))
            << EncodeUtf8(c.tag) << " " << EncodeUtf8(c.name);
    }
}

TEST(XmlNavigation, UnquotedValueEndingInSlashLeavesTheElementOpen) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(u"<r><a b=1/></r>"));
    EXPECT_EQ(doc.ResultText(),
              u"End tag 'r' at offset 12 does not match start tag 'a' at offset 3");
    ASSERT_TRUE(doc.FindChildElement(u"a"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"b"), u"1/");
}

// The start tag ends at its first '>' outside a value; what follows is
// content, even when it looks like an attribute.
TEST(XmlNavigation, GetAttributeStaysInsideTheStartTag) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<a 'x>' c=1></a>"));
    ASSERT_TRUE(doc.FindElement(u"a"));
    EXPECT_EQ(doc.GetAttribute(u"c"), u"");
}

TEST(XmlNavigation, GetAttributeNeedsACurrentElement) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<a b='1'/>"));
    EXPECT_EQ(doc.GetAttribute(u"b"), u"");
}

struct ChildTextCase {
    std::u16string_view child;
    std::u16string_view text;
};

TEST(XmlNavigation, GetChildText) {
    const ChildTextCase cases[] = {
        {u"<c>plain</c>", u"plain"},
        {u"<c> 800 </c>", u" 800 "},
        {u"<c>a<!--x-->b</c>", u"ab"},
        {u"<c>&#65;&#x42;</c>", u"AB"},
        {u"<c>&#0;</c>", u"&#0;"},
        {u"<c>a &lt; b</c>", u"a < b"},
        {u"<c>x<d/>y</c>", u""},
        {u"<c>x<d>z</d>y</c>", u""},
        {u"<c/>", u""},
        {u"<c></c>", u""},
        {u"<c><![CDATA[<&amp;>]]>&amp;</c>", u"<&amp;>&"},
        {u"<c>a<?p x?> <!--c--> b</c>", u"a b"},
        {u"<c><![C]]>x</c>", u"x"},  // a section shorter than its own brackets
        {u"<c>a>b<!---->c</c>", u"a>bc"},
    };
    for (const auto& c : cases) {
        XmlDocument doc;
        ASSERT_TRUE(doc.SetText(u"<r>" + std::u16string(c.child) + u"</r>")) << EncodeUtf8(c.child);
        ASSERT_TRUE(doc.FindChildElement(u"c")) << EncodeUtf8(c.child);
        EXPECT_EQ(EncodeUtf8(doc.GetChildText()), EncodeUtf8(c.text)) << EncodeUtf8(c.child);
    }
}

TEST(XmlNavigation, GetChildTextNeedsAChildPosition) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<r>text</r>"));
    EXPECT_EQ(doc.GetChildText(), u"");
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_EQ(doc.GetChildText(), u"");
}

TEST(XmlNavigation, ElementClosedImplicitlyHasNoText) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(u"<r><c>text</r>"));
    ASSERT_TRUE(doc.FindChildElement(u"c"));
    EXPECT_EQ(doc.GetChildText(), u"");
}

}  // namespace
}  // namespace korvane
