#pragma once
// batch: the steps of the single-panel commands (flash, set-clock) on many
// panels at once, one row per panel, and a table of how each went.
#include <string_view>

#include "cli/command_table.h"

namespace korvane::cli {

CliCommand BatchCommand();

// The options batch reads itself, with their values: the parser passes them
// on as they were typed.
bool IsBatchOption(std::string_view name);
// The switches batch reads itself (no value): --discover.
bool IsBatchSwitch(std::string_view name);

}  // namespace korvane::cli
