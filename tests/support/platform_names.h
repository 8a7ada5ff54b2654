#pragma once
// Names that differ between platforms, for tests that run on both.
namespace korvane::testing {

// The desktop program's file name, which decides whether files beside an
// executable are the program's.
#ifdef _WIN32
inline constexpr char kProgramFileName[] = "Korvane.exe";
#else
inline constexpr char kProgramFileName[] = "Korvane";
#endif

// The environment variable that names the user's configuration folder (the
// folder "korvane" in it holds the user's files).
#ifdef _WIN32
inline constexpr char kUserConfigVariable[] = "APPDATA";
#else
inline constexpr char kUserConfigVariable[] = "XDG_CONFIG_HOME";
#endif

}  // namespace korvane::testing
