#include "widgets/window_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>

#include "widgets/app_profile.h"

namespace korvane {

namespace {

constexpr char kLanguageKey[] = "Interface/Language";

}  // namespace

UiLanguage WindowLanguage() {
    // Our English translation answers this marker with "en"; without it the
    // marker comes back as it is.
    return QCoreApplication::translate("korvane::WindowLanguage", "zh") == QLatin1String("en")
               ? UiLanguage::English
               : UiLanguage::Chinese;
}

std::optional<UiLanguage> SavedWindowLanguage() {
    const QString saved = AppProfile::Open()->value(QLatin1String(kLanguageKey)).toString();
    return ParseUiLanguage(saved.toStdString());
}

bool SaveWindowLanguage(UiLanguage language) {
    auto profile = AppProfile::Open();
    profile->setValue(QLatin1String(kLanguageKey), language == UiLanguage::English
                                                       ? QStringLiteral("en")
                                                       : QStringLiteral("zh"));
    profile->sync();
    return profile->status() == QSettings::NoError;
}

UiLanguage ChooseWindowLanguage(const EnvLookup& lookup) {
    if (const std::optional<UiLanguage> saved = SavedWindowLanguage())
        return *saved;
    return LanguageFromEnvironment(lookup);
}

QString LanguageName(UiLanguage language) {
    return language == UiLanguage::English ? QStringLiteral("English") : QStringLiteral("中文");
}

WindowTranslation::WindowTranslation(UiLanguage language) : language_(language) {
    const QString qt_folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (language == UiLanguage::English) {
        // Qt's own texts are English already.
        Install(QStringLiteral("korvane_en"), QStringLiteral(":/i18n"));
    } else {
        Install(QStringLiteral("qtbase_zh_CN"), qt_folder);
    }
}

WindowTranslation::~WindowTranslation() {
    for (auto& translator : translators_)
        QCoreApplication::removeTranslator(translator.get());
}

bool WindowTranslation::Install(const QString& file, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(file, folder) || !QCoreApplication::installTranslator(translator.get())) {
        complete_ = false;
        return false;
    }
    translators_.push_back(std::move(translator));
    return true;
}

}  // namespace korvane
