#pragma once
// korvane-cli discover: the panels on the network, one line (or JSON object)
// each.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_output.h"

namespace korvane::cli {

// `usage` reports a usage error and returns its exit status. Exit status:
// 0 when a panel answered, 2 (Timeout) when none did, 8 when interrupted.
int RunDiscover(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& options, bool quiet, Output& out,
                CliEnvironment& env, const std::function<int(const std::string&)>& usage);

}  // namespace korvane::cli
