#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "cli/stderr_capture.h"

namespace korvane::cli {

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    char name[] = "/tmp/korvane-stderr-XXXXXX";
    file_ = ::mkstemp(name);
    if (file_ < 0)
        return;
    ::unlink(name);
    saved_ = ::dup(STDERR_FILENO);
    if (saved_ < 0 || ::dup2(file_, STDERR_FILENO) < 0) {
        ::close(file_);
        file_ = -1;
    }
}

StderrCapture::~StderrCapture() {
    Take();
}

std::string StderrCapture::Take() {
    std::string text;
    if (file_ < 0)
        return text;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    char buffer[512];
    ssize_t n = 0;
    ::lseek(file_, 0, SEEK_SET);
    while ((n = ::read(file_, buffer, sizeof buffer)) > 0 && text.size() < 4096)
        text.append(buffer, static_cast<size_t>(n));
    ::close(file_);
    file_ = saved_ = -1;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, "; ");
    return text;
}

}  // namespace korvane::cli
