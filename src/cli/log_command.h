#pragma once
// korvane-cli log: the run log's records, as a table, CSV or the JSON lines
// as stored.
#include <optional>
#include <string>
#include <string_view>

#include "cli/command_table.h"

namespace korvane::cli {

// The earliest record time that `--since` names, in the records' own form
// (UTC, e.g. 2026-03-01T00:00:00.000Z), so that records compare as text.
// Takes YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS[.mmm]][Z]; nothing for anything
// else, a date that does not exist among it.
std::optional<std::string> SinceBound(std::string_view value);

CliCommand LogCommand();

}  // namespace korvane::cli
