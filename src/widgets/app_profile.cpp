#include "widgets/app_profile.h"

#include <mutex>

namespace korvane {

namespace {

std::mutex g_mutex;
QString g_test_path;  // guarded by g_mutex

}  // namespace

std::unique_ptr<QSettings> AppProfile::Open() {
    QString path;
    {
        std::lock_guard lock(g_mutex);
        path = g_test_path;
    }
    if (!path.isEmpty())
        return std::make_unique<QSettings>(path, QSettings::IniFormat);
    // Organisation and application both "korvane" give ~/.config/korvane/korvane.ini.
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("korvane"), QStringLiteral("korvane"));
}

void AppProfile::UseFileForTesting(const QString& ini_path) {
    std::lock_guard lock(g_mutex);
    g_test_path = ini_path;
}

}  // namespace korvane
