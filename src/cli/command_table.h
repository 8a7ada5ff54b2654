#pragma once
// korvane-cli's commands: each one its documentation (what --help, the
// manual page and the completion show) and the function that runs it, in
// one entry, so that no command can be listed without running or run
// without being listed.
#include <string_view>
#include <vector>

#include "cli/command_context.h"
#include "cli/command_docs.h"

namespace korvane::cli {

// Runs a command once the command line has parsed; returns the exit status.
// A reference: an entry cannot be made without a function to run.
using CommandHandler = int (&)(CommandContext&);

class CliCommand {
  public:
    CliCommand(CommandDoc doc, CommandHandler run) : doc_(std::move(doc)), run_(&run) {}

    const CommandDoc& doc() const { return doc_; }
    int Run(CommandContext& context) const { return run_(context); }

  private:
    CommandDoc doc_;
    int (*run_)(CommandContext&);
};

// Every command, in the order --help lists them.
const std::vector<CliCommand>& CommandTable();
const CliCommand* FindCliCommand(std::string_view name);

}  // namespace korvane::cli
