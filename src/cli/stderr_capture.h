#pragma once
// Catches what a library writes to the process's stderr on its own (the PNG
// decoder prints "libpng error: ..." itself), so that the tool can put those
// words into its own line instead of leaving a stray one. Only for code that
// runs while no other thread writes to stderr.
#include <string>

namespace korvane::cli {

class StderrCapture {
  public:
    StderrCapture();
    // Puts stderr back.
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Puts stderr back and returns what was written meanwhile, its lines
    // joined by "; ".
    std::string Take();

  private:
    int saved_ = -1;
    int file_ = -1;
};

}  // namespace korvane::cli
