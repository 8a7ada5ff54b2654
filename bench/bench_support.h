#pragma once
// What every benchmark program's main() does around its measurements: the
// one option (--short, the suite's quick run that must still print its
// figures) and a temporary folder for its images, removed at the end.
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace korvane::bench {

// Whether --short was given; nothing (after a usage line) for anything else.
inline std::optional<bool> ParseShortOption(int argc, char** argv, const char* program) {
    bool short_run = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--short") != 0) {
            std::fprintf(stderr, "usage: %s [--short]\n", program);
            return std::nullopt;
        }
        short_run = true;
    }
    return short_run;
}

// Runs `body` in a fresh folder under /tmp named after `program`, then
// removes the folder; `body`'s status, or 1 when no folder could be made.
inline int InTemporaryFolder(const char* program,
                             const std::function<int(const std::filesystem::path&)>& body) {
    std::string pattern = std::string("/tmp/korvane-") + program + "-XXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    if (made == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = made;
    const int rc = body(dir);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return rc;
}

}  // namespace korvane::bench
