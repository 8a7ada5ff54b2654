#pragma once
// The language a front end shows the core's texts in, and the locale rule
// that chooses it when the user does not. Plain C++, no Qt.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

enum class UiLanguage {
    Chinese,  // the texts as stored
    English,
};

// The value of an environment variable, or none when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The first non-empty of LANGUAGE (the first entry of its colon list),
// LC_ALL, LC_MESSAGES and LANG decides: Chinese for a "zh" locale, and for
// the C or POSIX locale or no locale at all, so that scripts keep the stored
// texts; English for every other language.
UiLanguage LanguageFromEnvironment(const EnvLookup& lookup);

// The process's own environment, for LanguageFromEnvironment.
std::optional<std::string> ProcessEnv(const char* name);

// "zh" or "en", as a user names the language; none for anything else.
std::optional<UiLanguage> ParseUiLanguage(std::string_view name);

}  // namespace korvane
