#pragma once
// korvane-cli's options and commands: the one table that --help, `help
// COMMAND`, the manual page korvane-cli(1), the bash completion and the
// argument parser all read. A new command or option is one entry here (and,
// for a command, one line where cli_app.cpp runs it).
#include "cli/command_docs.h"

namespace korvane::cli {

const ProgramDoc& CliDoc();

}  // namespace korvane::cli
