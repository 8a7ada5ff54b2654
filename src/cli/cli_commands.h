#pragma once
// korvane-cli's options and commands: the one table that --help, `help
// COMMAND`, the manual page korvane-cli(1), the bash completion and the
// argument parser all read. A new option is one entry here; a new command is
// one entry of the command table (command_table.h), its text and its handler
// together.
#include "cli/command_docs.h"

namespace korvane::cli {

const ProgramDoc& CliDoc();

}  // namespace korvane::cli
