#pragma once
// korvane-cli discover: the panels on the network, one line (or JSON object)
// each.
#include "cli/command_table.h"

namespace korvane::cli {

CliCommand DiscoverCommand();

}  // namespace korvane::cli
