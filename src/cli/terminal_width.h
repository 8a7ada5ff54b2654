#pragma once
// How many columns the terminal on a descriptor has, for the progress line:
// COLUMNS when it is set, otherwise the terminal's own size, asked again
// after each SIGWINCH (the window was resized).
namespace korvane::cli {

class TerminalWidth {
  public:
    // Starts listening for SIGWINCH.
    explicit TerminalWidth(int fd);
    // 80 when neither says.
    int Columns();

  private:
    int fd_;
    int columns_ = 80;
};

}  // namespace korvane::cli
