#pragma once
// What a test needs to build the real windows: a controller on settings in
// a temporary folder, recorded messages, scripted prompts, and the
// application profile pointed at a file of its own.
#include <QTemporaryDir>

#include "link/message_sink.h"
#include "widgets/panel_controller.h"
#include "widgets/temp_profile.h"
#include "widgets/user_prompts.h"

namespace korvane::testing {

struct WindowRig {
    WindowRig()
        : controller(sink, SettingsFile(dir.filePath(QStringLiteral("Para.dat")).toStdString())) {
        controller.LoadSettings();
    }
    bool IsValid() const { return profile.IsValid() && dir.isValid(); }

    TempProfile profile;
    QTemporaryDir dir;
    RecordingSink sink;
    ScriptedPrompts prompts;
    PanelController controller;
};

}  // namespace korvane::testing
