#include <windows.h>

#include <cstdlib>

#include "cli/cli_args.h"
#include "cli/terminal_width.h"

namespace korvane::cli {

// A console window has no resize signal; its size is cheap to ask each time.
TerminalWidth::TerminalWidth() = default;

int TerminalWidth::Columns() {
    if (const char* env = std::getenv("COLUMNS")) {
        if (const auto n = ParseNumber(env, 1, 100000))
            return static_cast<int>(*n);
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0)
            columns_ = width;
    }
    return columns_;
}

}  // namespace korvane::cli
