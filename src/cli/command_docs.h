#pragma once
// A program's options and commands as data. `--help`, the manual page and the
// bash completion are all drawn from the same table, so none of them can
// drift from what the program takes: a new option or command is one entry.
#include <string>
#include <string_view>
#include <vector>

namespace korvane::cli {

// What a shell may offer for an option's value or a command's argument.
enum class Complete {
    Nothing,
    File,
    SerialDevice,  // COMn and device paths, as `korvane-cli ports` lists them
    UsbDevice,
    Model,    // the names of the model list, as `korvane-cli models` lists them
    Words,    // the words given beside
    Command,  // a command of the program
};

struct OptionDoc {
    std::string names;  // "--udp", "-q, --quiet"
    std::string value;  // "IP[:PORT]"; empty for a switch
    std::string text;   // lines end with '\n' where they should break
    Complete complete = Complete::Nothing;
    std::string words = {};  // Complete::Words: the choices, space-separated
};

struct OptionGroup {
    std::string title;  // "link options (this run only; nothing is saved)"
    std::vector<OptionDoc> options;
};

struct CommandDoc {
    std::string name;
    std::vector<std::string> synopsis;  // the arguments, one line per form
    std::string summary;                // the line in the command list
    std::string text;
    std::string example;
    std::vector<OptionDoc> options = {};  // options only this command takes
    // What its first and later arguments complete to.
    Complete first = Complete::Nothing;
    std::string first_words = {};
    Complete later = Complete::Nothing;
};

struct ExitDoc {
    int code;
    std::string name;
    std::string text;
};

struct ProgramDoc {
    std::string name;         // "korvane-cli"
    std::string purpose;      // the manual's NAME line
    std::string usage;        // what follows the name on the usage line
    std::string description;  // paragraphs, separated by an empty line
    std::vector<OptionGroup> groups;
    std::vector<CommandDoc> commands;
    std::string footer;  // the last paragraph of --help
    std::vector<ExitDoc> exits;
    std::string files;  // the manual's FILES section; paragraphs
    std::vector<std::string> see_also;
};

// The names one option entry stands for: "-q, --quiet" gives "-q", "--quiet".
std::vector<std::string> OptionNames(const OptionDoc& option);
const OptionDoc* FindOption(const std::vector<OptionDoc>& options, std::string_view name);
const CommandDoc* FindCommand(const ProgramDoc& program, std::string_view name);

// "usage: NAME USAGE\n".
std::string UsageLine(const ProgramDoc& program);
// For a program without commands: every option in brackets, e.g.
// "[--udp-port N] [--pty]".
std::string OptionsSynopsis(const ProgramDoc& program);
std::string HelpText(const ProgramDoc& program);
std::string CommandHelpText(const ProgramDoc& program, const CommandDoc& command);
// A roff manual page, section 1.
std::string ManPage(const ProgramDoc& program, std::string_view version);
// A bash completion script for the program's name.
std::string BashCompletion(const ProgramDoc& program);

}  // namespace korvane::cli
