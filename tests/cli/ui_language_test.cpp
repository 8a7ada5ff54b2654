// The locale rule that picks the language of the panel's texts when the user
// names none, given an environment of the test's own.
#include "system/ui_language.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace korvane {
namespace {

using Env = std::map<std::string, std::string>;

UiLanguage From(const Env& env) {
    return LanguageFromEnvironment([&](const char* name) -> std::optional<std::string> {
        const auto it = env.find(name);
        return it == env.end() ? std::nullopt : std::optional(it->second);
    });
}

TEST(UiLanguage, TheFirstLocaleVariableSetDecides) {
    struct Case {
        Env env;
        UiLanguage expected;
    };
    constexpr UiLanguage zh = UiLanguage::Chinese, en = UiLanguage::English;
    const Case cases[] = {
        // No locale at all, and the C locale: the stored texts, as scripts expect.
        {{}, zh},
        {{{"LANG", "C"}}, zh},
        {{{"LANG", "POSIX"}}, zh},
        {{{"LANG", "C.UTF-8"}}, zh},
        {{{"LC_ALL", "C.utf8"}}, zh},
        {{{"LANG", "zh_CN.UTF-8"}}, zh},
        {{{"LANG", "zh_TW"}}, zh},
        {{{"LANG", "de_DE"}}, en},
        {{{"LANG", "en_US.UTF-8"}}, en},
        {{{"LANG", "fr_FR@euro"}}, en},
        // LANGUAGE is a list of preferences: its first entry counts.
        {{{"LANGUAGE", "en:zh"}, {"LANG", "zh_CN.UTF-8"}}, en},
        {{{"LANGUAGE", "zh_CN:en"}, {"LANG", "en_US.UTF-8"}}, zh},
        {{{"LANGUAGE", ":zh_TW:en"}}, zh},
        {{{"LANGUAGE", "C:en"}}, zh},
        // In order: LANGUAGE, LC_ALL, LC_MESSAGES, LANG.
        {{{"LC_ALL", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, zh},
        {{{"LC_ALL", "en_GB.UTF-8"}, {"LC_MESSAGES", "zh_CN.UTF-8"}}, en},
        {{{"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, zh},
        {{{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, zh},
        // An empty value is no value: the next one decides.
        {{{"LC_ALL", ""}, {"LANG", "de_DE.UTF-8"}}, en},
        {{{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", "en_US"}, {"LANG", "zh_CN"}}, en},
        {{{"LANGUAGE", ":"}, {"LANG", "zh_CN"}}, zh},
        {{{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", ""}}, zh},
        // Other variables play no part.
        {{{"LC_CTYPE", "en_US.UTF-8"}, {"LC_TIME", "de_DE"}}, zh},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& [name, value] : c.env)
            shown += name + "=" + value + " ";
        EXPECT_EQ(From(c.env), c.expected) << shown;
    }
}

TEST(UiLanguage, OnlyTheTwoNamesAreLanguages) {
    EXPECT_EQ(ParseUiLanguage("zh"), UiLanguage::Chinese);
    EXPECT_EQ(ParseUiLanguage("en"), UiLanguage::English);
    for (const char* bad : {"", "xx", "EN", "zh_CN", "en_US.UTF-8", "english", " en"})
        EXPECT_EQ(ParseUiLanguage(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace korvane
