#pragma once
// The desktop program from start to end: resource bundle, one copy per
// parent, settings, the main window with its page, the event loop.
namespace korvane {

inline constexpr char kNoResource[] = "No resource!";

// Returns the program's exit status: 0 after the window closed or when an
// earlier copy from the same parent runs, 1 without a resource bundle.
int RunDesktop(int argc, char** argv);

}  // namespace korvane
