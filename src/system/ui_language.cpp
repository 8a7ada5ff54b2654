#include "system/ui_language.h"

#include <cstdlib>

namespace korvane {

namespace {

// What the locale's value names: "en_US.UTF-8" is "en_US", "C.UTF-8" is "C".
std::string_view LanguagePart(std::string_view locale) {
    return locale.substr(0, locale.find_first_of(".@"));
}

UiLanguage FromLocale(std::string_view locale) {
    const std::string_view language = LanguagePart(locale);
    if (language.starts_with("zh") || language == "C" || language == "POSIX")
        return UiLanguage::Chinese;
    return UiLanguage::English;
}

}  // namespace

UiLanguage LanguageFromEnvironment(const EnvLookup& lookup) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::optional<std::string> value = lookup(name);
        if (!value || value->empty())
            continue;
        std::string_view locale = *value;
        if (std::string_view(name) == "LANGUAGE") {
            // A list of preferences, "en:zh": the first one named counts.
            const size_t start = locale.find_first_not_of(':');
            if (start == std::string_view::npos)
                continue;
            locale = locale.substr(start);
            locale = locale.substr(0, locale.find(':'));
        }
        return FromLocale(locale);
    }
    return UiLanguage::Chinese;
}

std::optional<std::string> ProcessEnv(const char* name) {
    if (const char* value = std::getenv(name))
        return std::string(value);
    return std::nullopt;
}

std::optional<UiLanguage> ParseUiLanguage(std::string_view name) {
    if (name == "zh")
        return UiLanguage::Chinese;
    if (name == "en")
        return UiLanguage::English;
    return std::nullopt;
}

}  // namespace korvane
