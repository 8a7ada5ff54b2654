#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "xml/utf8.h"

namespace korvane {
namespace {

struct ParseCase {
    std::u16string_view text;
    bool sound;
    std::u16string_view result;
};

TEST(XmlDocumentParse, ReportsTheFirstProblem) {
    const ParseCase cases[] = {
        {u"<a/>", true, u""},
        {u"  <?xml version='1.0'?>\n<!-- c --><a>x</a>\n", true, u""},
        {u"<a><!-- c --><?pi?><![CDATA[<x>]]></a>", true, u""},
        {u"<a><!-->x<?>y</a>", true, u""},  // the openings count towards the closings
        {u"<!DOCTYPE a [<!ENTITY e \"a>b\"><!-- > --><?p > ?>]><a/>", true, u""},
        {u"<a b='>' c=\"x>y\"></a >", true, u""},
        {u"", false, u"Empty document"},
        {u"just text", false, u"No root element"},
        {u"<b", false, u"No root element"},
        {u"<a/><b/>", false, u"Root element has sibling"},
        {u"<a><b", false, u"Element tag at offset 3 unterminated"},
        {u"<a>", false, u"Element 'a' at offset 0 not ended"},
        {u"<a><b></a>", false, u"End tag 'a' at offset 7 does not match start tag 'b' at offset 3"},
        {u"<a><b><c></a>", false,
         u"End tag 'a' at offset 10 does not match start tag 'c' at offset 6"},
        {u"<a></b></a>", false, u"No start tag for end tag 'b' at offset 3"},
        {u"<a></a", false, u"Element end tag at offset 3 unterminated"},
        {u"<a><!x></a>", false, u"Incorrect ! tag at offset 3"},
        {u"<a><!-x></a>", false, u"Incorrect comment tag at offset 3"},
        {u"<a><![X></a>", false, u"Incorrect tag at offset 3"},
        {u"<a><1></a>", false, u"Incorrect tag name character at offset 3"},
        {u"<a><<b/></a>", false, u"Incorrect tag name character at offset 3"},
        {u"<a><!-- c", false, u"Comment at offset 3 unterminated"},
        {u"<a><![CDATA[ x", false, u"CDATA Section at offset 3 unterminated"},
        {u"<a><?pi x", false, u"Processing instruction at offset 3 unterminated"},
        {u"<a><!DOCTYPE a [<!ENTITY e 'x'>", false, u"Doctype at offset 3 unterminated"},
        {u"<a><!ELEMENT a '>", false, u"Doctype at offset 3 unterminated"},
        {u"<a><", false, u"tag at offset 3 unterminated"},
        {u"<a><!", false, u"tag at offset 3 unterminated"},
        {u"<a><!-", false, u"tag at offset 3 unterminated"},
        {u"<a><![", false, u"tag at offset 3 unterminated"},
        {u"<a><!x", false, u"tag at offset 3 unterminated"},
    };
    for (const auto& c : cases) {
        XmlDocument doc;
        EXPECT_EQ(doc.SetText(std::u16string(c.text)), c.sound) << EncodeUtf8(c.text);
        EXPECT_EQ(doc.IsSound(), c.sound) << EncodeUtf8(c.text);
        EXPECT_EQ(EncodeUtf8(doc.ResultText()), EncodeUtf8(c.result)) << EncodeUtf8(c.text);
    }
}

TEST(XmlDocumentParse, FreshDocumentIsNotSound) {
    XmlDocument doc;
    EXPECT_FALSE(doc.IsSound());
    EXPECT_TRUE(doc.ResultText().empty());
    EXPECT_FALSE(doc.FindElement());
}

TEST(XmlDocumentParse, BothTopLevelElementsAreIndexed) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(u"<a/><b/>"));
    EXPECT_TRUE(doc.FindElement(u"a"));
    EXPECT_TRUE(doc.FindElement(u"b"));
    EXPECT_FALSE(doc.FindElement());
}

// Children of an element closed implicitly follow it as siblings, and their
// parent becomes the closed element's parent.
TEST(XmlDocumentParse, ImplicitCloseMovesChildrenUp) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(u"<a id='A'><b id='B'><c id='C'/><e><d id='D'/></a>"));
    EXPECT_EQ(doc.ResultText(),
              u"End tag 'a' at offset 46 does not match start tag 'e' at offset 31");
    ASSERT_TRUE(doc.FindElement(u"a"));
    for (std::u16string_view name : {u"b", u"c", u"e", u"d"}) {
        ASSERT_TRUE(doc.FindChildElement(name)) << EncodeUtf8(name);
    }
    EXPECT_FALSE(doc.FindChildElement());
    // d moved up twice; navigating from it still lands on a.
    EXPECT_EQ(doc.GetAttribute(u"id"), u"A");
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"D");
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"A");
    EXPECT_FALSE(doc.LeaveElement());
    // b and e lost their children.
    XmlDocument again;
    again.SetText(u"<a id='A'><b id='B'><c id='C'/><e><d id='D'/></a>");
    ASSERT_TRUE(again.FindChildElement(u"b"));
    ASSERT_TRUE(again.EnterElement());
    EXPECT_FALSE(again.FindChildElement());
}

TEST(XmlDocumentParse, UnfinishedTagInsideRootClosesRootWithoutFurtherReport) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(u"<r>text<b x='1'"));
    EXPECT_EQ(doc.ResultText(), u"Element tag at offset 7 unterminated");
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_FALSE(doc.FindChildElement());
    EXPECT_FALSE(doc.FindElement());
    // With a child inside, the root's children move up beside it, and that
    // outcome replaces the report.
    EXPECT_FALSE(doc.SetText(u"<r><a/><b x='1'"));
    EXPECT_EQ(doc.ResultText(), u"Root element has sibling");
}

TEST(XmlDocumentParse, NewTextReplacesTheOldIndex) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(u"<x><y/></x>"));
    ASSERT_TRUE(doc.FindElement(u"x"));
    ASSERT_TRUE(doc.FindChildElement(u"y"));
    ASSERT_TRUE(doc.SetText(u"<z/>"));
    EXPECT_FALSE(doc.FindChildElement(u"y"));  // position cleared, then z has no children
    EXPECT_FALSE(doc.SetText(u"<z>"));
    EXPECT_TRUE(doc.SetText(u"<z/>"));
}

// More elements than one page of records holds.
TEST(XmlDocumentParse, IndexesElementsAcrossPages) {
    constexpr int kCount = 200000;
    std::u16string text = u"<r>";
    for (int i = 0; i < kCount; ++i)
        text += u"<e/>";
    text += u"<e id='last'/></r>";
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(text));
    ASSERT_TRUE(doc.FindElement(u"r"));
    int found = 0;
    while (doc.FindChildElement(u"e"))
        ++found;
    EXPECT_EQ(found, kCount + 1);
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"id"), u"last");
}

// Names, values and text of every length, so each search meets its target at
// every place in a run of units and also runs into the end of the text.
TEST(XmlDocumentParse, FindsMarkupAtEveryOffset) {
    for (size_t pad = 0; pad < 20; ++pad) {
        for (size_t nameLength = 1; nameLength < 20; ++nameLength) {
            const std::u16string name(nameLength, u'n');
            const std::u16string value(pad, u'v');
            const std::u16string before = u"<r>" + std::u16string(pad, u'x') + u"> ";
            const std::u16string child =
                u"<" + name + u" a='" + value + u"' b=\"q>\">" + value + u"</" + name + u">";
            const std::u16string text = before + child + u"</r>";
            XmlDocument doc;
            ASSERT_TRUE(doc.SetText(text)) << pad << " " << nameLength;
            ASSERT_TRUE(doc.FindElement(u"r"));
            ASSERT_TRUE(doc.FindChildElement(name));
            EXPECT_EQ(doc.GetChildText(), value);
            ASSERT_TRUE(doc.EnterElement());
            EXPECT_EQ(doc.GetAttribute(u"a"), value);
            EXPECT_EQ(doc.GetAttribute(u"b"), u"q>");

            // Cut inside the child's start tag, then inside its end tag.
            const size_t startTagEnd = child.find(u"\">") + 2;
            const std::string startAt = std::to_string(before.size());
            const std::u16string at(startAt.begin(), startAt.end());
            for (size_t cut = 2; cut < startTagEnd; ++cut) {
                EXPECT_FALSE(doc.SetText(before + child.substr(0, cut)));
                EXPECT_EQ(doc.ResultText(), u"Element tag at offset " + at + u" unterminated")
                    << pad << " " << nameLength << " " << cut;
            }
            // Without the root around it, the child stays the only root.
            const std::u16string spaces(before.size(), u' ');
            const size_t endTag = child.rfind(u"</");
            const std::string endAt = std::to_string(spaces.size() + endTag);
            for (size_t cut = endTag + 2; cut < child.size(); ++cut) {
                EXPECT_FALSE(doc.SetText(spaces + child.substr(0, cut)));
                EXPECT_EQ(doc.ResultText(), u"Element end tag at offset " +
                                                std::u16string(endAt.begin(), endAt.end()) +
                                                u" unterminated")
                    << pad << " " << nameLength << " " << cut;
            }
        }
    }
}

// Lengths and levels must fit their record fields; beyond that the document
// is ill-formed rather than indexed with wrapped values.
TEST(XmlDocumentLimits, StartTagLength) {
    for (const size_t length : {size_t{4194303}, size_t{4194304}}) {
        std::u16string tag = u"<a x='";
        tag.append(length - tag.size() - 3, u'y');
        tag += u"'/>";
        ASSERT_EQ(tag.size(), length);
        XmlDocument doc;
        const bool sound = doc.SetText(u"<r>" + tag + u"</r>");
        if (length < 4194304) {
            EXPECT_TRUE(sound) << length;
            ASSERT_TRUE(doc.FindElement(u"r"));
            ASSERT_TRUE(doc.FindChildElement(u"a"));
            ASSERT_TRUE(doc.EnterElement());
            EXPECT_EQ(doc.GetAttribute(u"x").size(), length - 9);
        } else {
            EXPECT_FALSE(sound);
            EXPECT_EQ(doc.ResultText(), u"Element tag at offset 3 too long");
        }
    }
}

TEST(XmlDocumentLimits, EndTagLength) {
    for (const size_t length : {size_t{1023}, size_t{1024}}) {
        std::u16string end = u"</a";
        end.append(length - end.size() - 1, u' ');
        end += u'>';
        XmlDocument doc;
        const bool sound = doc.SetText(u"<r><a>text" + end + u"</r>");
        if (length < 1024) {
            EXPECT_TRUE(sound) << length;
            ASSERT_TRUE(doc.FindChildElement(u"a"));
            EXPECT_EQ(doc.GetChildText(), u"text");
        } else {
            EXPECT_FALSE(sound);
            EXPECT_EQ(doc.ResultText(), u"Element end tag at offset 10 too long");
        }
    }
}

TEST(XmlDocumentLimits, NestingDepth) {
    for (const size_t depth : {size_t{65536}, size_t{65537}}) {
        std::u16string text;
        for (size_t i = 0; i < depth; ++i)
            text += u"<e>";
        text += u"deep";
        for (size_t i = 0; i < depth; ++i)
            text += u"</e>";
        XmlDocument doc;
        const bool sound = doc.SetText(text);
        if (depth == 65536) {
            EXPECT_TRUE(sound);
            // Walk down to the innermost element and read its text.
            ASSERT_TRUE(doc.FindElement(u"e"));
            for (size_t i = 1; i < depth; ++i) {
                ASSERT_TRUE(doc.FindChildElement(u"e")) << i;
                ASSERT_TRUE(doc.EnterElement());
            }
            EXPECT_FALSE(doc.FindChildElement());
        } else {
            EXPECT_FALSE(sound);
            EXPECT_EQ(doc.ResultText(),
                      u"Element 'e' at offset 196608 nested deeper than 65535 levels");
        }
    }
}

class XmlDocumentFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("korvane_xml_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& name, const std::string& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path dir_;
};

struct LoadCase {
    std::string bytes;
    bool sound;
    std::u16string_view result;
};

TEST_F(XmlDocumentFile, LoadSummaryPrecedesTheParseOutcome) {
    const LoadCase cases[] = {
        {"", false, u"0 bytes to 0 wide chars, Empty document"},
        {"<a/>", true, u"4 bytes to 4 wide chars"},
        {"\xEF\xBB\xBF<a>\xE4\xB8\xAD</a>", true, u"13 bytes to 9 wide chars"},
        {"<a>\xF0\x9F\x98\x80</a>", true, u"11 bytes to 9 wide chars"},
        {"text", false, u"4 bytes to 4 wide chars, No root element"},
        {"<a><b></a>", false,
         u"10 bytes to 10 wide chars, End tag 'a' at offset 7 does not match start tag 'b' at "
         u"offset 3"},
        {std::string("<a/>\0<b/>", 9), true, u"9 bytes to 4 wide chars"},
        {"<a>x</a>\xE4\xB8", true, u"10 bytes to 8 wide chars"},
    };
    int n = 0;
    for (const auto& c : cases) {
        XmlDocument doc;
        EXPECT_EQ(doc.LoadFile(Write("case" + std::to_string(n++) + ".xml", c.bytes)), c.sound)
            << c.bytes;
        EXPECT_EQ(EncodeUtf8(doc.ResultText()), EncodeUtf8(c.result)) << c.bytes;
    }
}

TEST_F(XmlDocumentFile, DecodedTextReachesTheValues) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Write("t.xml", "<a n='\xC3\xA9t\xC3\xA9'><b>\xE4\xB8\xAD</b></a>")));
    ASSERT_TRUE(doc.FindChildElement(u"b"));
    EXPECT_EQ(doc.GetChildText(), u"\u4E2D");
    EXPECT_EQ(doc.GetAttribute(u"n"), u"\u00E9t\u00E9");
}

TEST_F(XmlDocumentFile, UnreadableFileKeepsTheDocument) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Write("keep.xml", "<keep v='1'/>")));
    EXPECT_FALSE(doc.LoadFile(dir_ / "missing.xml"));
    EXPECT_EQ(doc.ResultText(), u"No such file or directory");
    EXPECT_FALSE(doc.LoadFile(dir_));
    EXPECT_EQ(doc.ResultText(), u"Is a directory");
    EXPECT_TRUE(doc.IsSound());
    ASSERT_TRUE(doc.FindElement(u"keep"));
    EXPECT_EQ(doc.GetAttribute(u"v"), u"1");
}

}  // namespace
}  // namespace korvane
