#pragma once
// Points the application profile at a fresh file for as long as it lives, so
// that tests neither read nor write the user's own profile.
#include <QString>
#include <QTemporaryDir>

#include "widgets/app_profile.h"

namespace korvane::testing {

class TempProfile {
  public:
    TempProfile() { AppProfile::UseFileForTesting(dir_.filePath(QStringLiteral("profile.ini"))); }
    ~TempProfile() { AppProfile::UseFileForTesting(QString()); }
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    bool IsValid() const { return dir_.isValid(); }

  private:
    QTemporaryDir dir_;
};

}  // namespace korvane::testing
