#pragma once
// logo and models: pictures made into logo files for a model's screen, and
// the model list. `flash logo` converts its picture with the same steps.
#include <filesystem>
#include <optional>
#include <variant>
#include <vector>

#include "cli/command_table.h"

namespace korvane::cli {

// The screen and background a logo is made for.
struct LogoTarget {
    int width;
    int height;
    uint32_t background;
};

// The target the command line names; or the exit status after saying why
// there is none (64 for the command line, 7 for the model list).
std::variant<LogoTarget, int> ReadLogoTarget(CommandContext& c);
// Converts the picture of `logo` or `flash logo`; the logo file's path, or
// nothing after telling why.
std::optional<std::filesystem::path> ConvertLogo(CommandContext& c,
                                                 const std::filesystem::path& picture,
                                                 const LogoTarget& target);

// --model, --screen, --background and -o: what `logo` and `flash logo` take.
std::vector<OptionDoc> LogoOptions();

CliCommand LogoCommand();
CliCommand ModelsCommand();

}  // namespace korvane::cli
