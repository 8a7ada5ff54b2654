#include "link/texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "link/message_sink.h"

namespace korvane {
namespace {

TEST(Texts, NamesAreUniqueSnakeCase) {
    std::set<std::string> names;
    for (const TextEntry& e : kTexts) {
        const std::string name = e.name;
        EXPECT_TRUE(names.insert(name).second) << name;
        ASSERT_FALSE(name.empty());
        for (char c : name)
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') << name;
        EXPECT_NE(name.front(), '_') << name;
    }
}

TEST(Texts, EachTextIsStoredOnce) {
    std::set<std::string> texts;
    for (const TextEntry& e : kTexts)
        EXPECT_TRUE(texts.insert(e.text).second) << e.name;
}

TEST(Texts, EveryTextHasChineseAndEnglishWithTheSamePlaceholders) {
    const auto placeholders = [](std::string_view t) {
        std::multiset<std::string> found;
        for (size_t open = t.find('{'); open != std::string_view::npos; open = t.find('{', open + 1))
            found.insert(std::string(t.substr(open, t.find('}', open) - open + 1)));
        return found;
    };
    std::set<std::string> english;
    for (const TextEntry& e : kTexts) {
        ASSERT_NE(e.english, nullptr) << e.name;
        EXPECT_STRNE(e.text, "") << e.name;
        EXPECT_STRNE(e.english, "") << e.name;
        EXPECT_TRUE(english.insert(e.english).second) << e.name;
        for (const char* c = e.english; *c; ++c)
            EXPECT_LT(static_cast<unsigned char>(*c), 0x80) << e.name << ": not plain English";
        EXPECT_EQ(placeholders(e.text), placeholders(e.english)) << e.name;
    }
}

// A front end's sink written against Show alone still gets every catalogued
// text, word for word.
class ShowOnlySink : public MessageSink {
  public:
    void Show(MessageKind kind, std::string_view text) override {
        shown.push_back({kind, std::string(text), std::nullopt});
    }
    std::vector<Message> shown;
};

TEST(Texts, ASinkWithOnlyShowGetsTheText) {
    ShowOnlySink sink;
    MessageSink& base = sink;
    base.ShowText(MessageKind::Warning, TextId::LinkSetupFailed);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].kind, MessageKind::Warning);
    EXPECT_EQ(sink.shown[0].text, "配置通讯参数失败!\n退出\n");
}

TEST(Texts, TheRecorderKeepsTheIdentifierBesideTheText) {
    RecordingSink sink;
    sink.ShowText(MessageKind::Error, TextId::Timeout);
    sink.Show(MessageKind::Plain, "free text");
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"通讯超时", "free text"}));
    EXPECT_EQ(sink.Ids(), std::vector<TextId>{TextId::Timeout});
    EXPECT_STREQ(TextName(TextId::Timeout), "timeout");
}

}  // namespace
}  // namespace korvane
