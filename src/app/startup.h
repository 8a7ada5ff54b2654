#pragma once
// The desktop program from start to end: resource bundle, one copy per
// parent, settings, the main window with its page, the event loop.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "system/ui_language.h"

namespace korvane {

class MainWindow;
class PanelController;
class UserPrompts;

// The running window's parts, for a program that drives the window it
// starts (the screenshot tool); the shipped program passes nothing.
struct DesktopParts {
    MainWindow& window;
    PanelController& controller;
    UserPrompts& prompts;
};

// What a program that starts the window may choose; the shipped program
// takes the defaults.
struct DesktopOptions {
    // The program whose files (Para.dat, XMLName.dat) the window uses;
    // empty: the running executable.
    std::filesystem::path executable;
    // The window's language; none: the one saved in the profile, else the
    // locale's.
    std::optional<UiLanguage> language;
    // Runs once the window is shown, before the event loop.
    std::function<void(DesktopParts&)> after_show;
};

inline constexpr char kNoResource[] = "No resource!";
// The exit status of a copy that ends because an earlier one runs.
inline constexpr int kAlreadyRunningStatus = 2;

// Names a settings file that cannot serve (`why`, from
// PanelController::LoadSettings) in one box; nothing when `why` is empty.
void TellUnusableSettings(UserPrompts& prompts, const std::string& why);

// Returns the program's exit status: 0 after the window closed, 1 without a
// resource bundle, kAlreadyRunningStatus when an earlier copy from the same
// parent runs (with a line on stderr).
int RunDesktop(int argc, char** argv, const DesktopOptions& options = {});

}  // namespace korvane
