#pragma once
// How many columns the terminal on stderr has, for the progress line:
// COLUMNS when it is set, otherwise the terminal's own size, asked again
// after each SIGWINCH (the window was resized).
namespace korvane::cli {

class TerminalWidth {
  public:
    // Starts listening for SIGWINCH.
    TerminalWidth();
    // 80 when neither says.
    int Columns();

  private:
    int columns_ = 80;
};

}  // namespace korvane::cli
