#include "system/version.h"

#include "korvane_build_info.h"

namespace korvane {

std::string_view ProjectVersion() {
    return KORVANE_VERSION;
}

std::string_view BuildCommit() {
    return KORVANE_COMMIT;
}

std::string VersionText(std::string_view program) {
    std::string text = std::string(program) + " " + std::string(ProjectVersion());
    if (!BuildCommit().empty())
        text += " (commit " + std::string(BuildCommit()) + ")";
    return text + "\n";
}

}  // namespace korvane
