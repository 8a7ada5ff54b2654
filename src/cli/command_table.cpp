#include "cli/command_table.h"

#include <ostream>

#include "cli/batch_command.h"
#include "cli/cli_commands.h"
#include "cli/discover_command.h"
#include "cli/flash_commands.h"
#include "cli/log_command.h"
#include "cli/logo_commands.h"
#include "cli/panel_commands.h"
#include "cli/settings_commands.h"

namespace korvane::cli {

namespace {

// `--help`, `COMMAND --help` and `help [COMMAND]` all end here, with the
// command (if any) already known to the table.
int ShowHelp(CommandContext& context) {
    const ProgramDoc& doc = CliDoc();
    const std::string& name = context.inv().command;
    const CommandDoc* command = name.empty() ? nullptr : FindCommand(doc, name);
    context.env().out << (command ? CommandHelpText(doc, *command) : HelpText(doc));
    return 0;
}

CliCommand HelpCommand() {
    return {{"help",
             {"[COMMAND]"},
             "this text, or one command's",
             "Describes the program, or one command, as --help does.",
             "korvane-cli help flash",
             {},
             Complete::Command},
            ShowHelp};
}

std::vector<CliCommand> Build() {
    return {StatusCommand(),   GetIpCommand(),         SetIpCommand(),       GetClockCommand(),
            SetClockCommand(), EraseCommand(),         FlashCommand(),       LogoCommand(),
            ModelsCommand(),   EnterDownloadCommand(), EndDownloadCommand(), ChangeMacCommand(),
            SettingsCommand(), PortsCommand(),         DiscoverCommand(),    BatchCommand(),
            LogCommand(),      HelpCommand()};
}

}  // namespace

const std::vector<CliCommand>& CommandTable() {
    static const std::vector<CliCommand> table = Build();
    return table;
}

const CliCommand* FindCliCommand(std::string_view name) {
    for (const CliCommand& c : CommandTable()) {
        if (c.doc().name == name)
            return &c;
    }
    return nullptr;
}

}  // namespace korvane::cli
