#pragma once
// korvane-cli discover: the panels on the network, one line (or JSON object)
// each.
#include <map>
#include <string>
#include <variant>

#include "cli/command_context.h"
#include "cli/command_table.h"
#include "discovery/discover_panels.h"

namespace korvane::cli {

CliCommand DiscoverCommand();

// The search that --broadcast, --range, --port and --wait ask for (batch
// --discover passes its own); the usage error's exit status when one is wrong.
std::variant<DiscoverOptions, int> ReadDiscoverOptions(
    CommandContext& c, const std::map<std::string, std::string>& options);

// Runs the search, with its progress line on a terminal; the panels that
// answered (maybe none; those of a cancelled search), or the exit status
// after saying why the search could not ask.
std::variant<DiscoverResult, int> SearchPanels(CommandContext& c, const DiscoverOptions& o);

// Says that nothing answered and what to try next; the exit status, 2.
int NoPanelAnswered(CommandContext& c, const DiscoverOptions& o, const DiscoverResult& r);

}  // namespace korvane::cli
