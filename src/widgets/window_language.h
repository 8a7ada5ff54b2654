#pragma once
// The window's language: chosen by the user (kept in the profile) or by the
// locale, and installed as Qt translators for our texts and Qt's own dialogs.
// The texts in the code are the stored Chinese ones; English comes from
// translations/korvane_en.ts, built into the program.
#include <QString>
#include <QTranslator>
#include <memory>
#include <optional>
#include <vector>

#include "system/ui_language.h"

namespace korvane {

// The language of the translation now installed (Chinese when none is).
UiLanguage WindowLanguage();

// The language the user chose in the window, if ever.
std::optional<UiLanguage> SavedWindowLanguage();
// Remembers the choice in the profile; false when it could not be written.
bool SaveWindowLanguage(UiLanguage language);
// The saved choice, else the locale's (LanguageFromEnvironment).
UiLanguage ChooseWindowLanguage(const EnvLookup& lookup);

// The language's name as it is written in that language ("中文", "English").
QString LanguageName(UiLanguage language);

// Installs the translators for `language` into the application for as long
// as it lives. Chinese needs none of ours (the code's texts are Chinese) but
// Qt's own, so that file, colour and message dialogs speak it too.
class WindowTranslation {
  public:
    explicit WindowTranslation(UiLanguage language);
    ~WindowTranslation();
    WindowTranslation(const WindowTranslation&) = delete;
    WindowTranslation& operator=(const WindowTranslation&) = delete;

    UiLanguage language() const { return language_; }
    // Whether every translation asked for was found and loaded.
    bool complete() const { return complete_; }

  private:
    bool Install(const QString& file, const QString& folder);

    UiLanguage language_;
    bool complete_ = true;
    std::vector<std::unique_ptr<QTranslator>> translators_;
};

}  // namespace korvane
