#pragma once
// What `--version` prints for each program of ours: its name, the project's
// version and, for a build from a git checkout, the commit.
#include <string>
#include <string_view>

namespace korvane {

// The project's version, e.g. "0.1.0".
std::string_view ProjectVersion();
// The commit the build comes from ("0123abcd4567", with "-dirty" when the
// tree had changes); empty for a build from a source tarball.
std::string_view BuildCommit();
// "korvane-cli 0.1.0 (commit 0123abcd4567)\n", or without the commit part.
std::string VersionText(std::string_view program);

}  // namespace korvane
