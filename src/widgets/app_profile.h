#pragma once
// The application profile: window rectangles and the progress popup's
// position, kept in an INI file in the per-user configuration folder
// (~/.config/korvane/korvane.ini).
#include <QSettings>
#include <QString>
#include <memory>

namespace korvane {

class AppProfile {
  public:
    // A fresh QSettings on the profile; use it on one thread and let it go.
    static std::unique_ptr<QSettings> Open();

    // Test seam: point the profile at `ini_path`; an empty path restores
    // the per-user file.
    static void UseFileForTesting(const QString& ini_path);
};

}  // namespace korvane
