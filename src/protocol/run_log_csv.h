#pragma once
// The run log as CSV, one line per step of each record: what `korvane-cli log
// --csv` prints and what the window's batch page exports, so that a
// spreadsheet reads both alike.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/run_record.h"

namespace korvane {

// A field quoted when it holds a comma, quote or line end.
std::string CsvField(std::string_view text);

// The header line, then each record's steps.
void WriteRunLogCsv(std::ostream& out, const std::vector<const RunRecord*>& records);

}  // namespace korvane
