#pragma once
// The process's console: Ctrl-C, whether a person watches stderr, and text
// output that shows the program's Chinese texts (UTF-8 inside the program).
// One implementation per platform; the front ends' main() calls these.
#include <atomic>

namespace korvane {

// From now on Ctrl-C and a termination request (SIGTERM and SIGHUP; on
// Windows Ctrl-Break, the console window closing, log-off and shutdown) set
// `*flag` instead of ending the process. `flag` must outlive the process.
void SetInterruptFlag(std::atomic<bool>* flag);

// Blocks until the process is asked to stop: Ctrl-C, or a termination
// request (SIGTERM; the console window closing or the user logging off on
// Windows).
void WaitForStopRequest();

// True when stderr is a terminal or console window, not a file or pipe.
bool StderrIsTerminal();

// Makes std::cout and std::cerr show UTF-8 text correctly: on Windows a
// console gets the text as UTF-16 through the console's own call, whatever
// its code page, and a pipe or file gets the UTF-8 bytes unchanged. Nothing
// to do on POSIX, where terminals take UTF-8. Call before the first output.
void PrepareConsoleOutput();

}  // namespace korvane
