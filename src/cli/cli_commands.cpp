#include "cli/cli_commands.h"

#include "cli/command_table.h"

namespace korvane::cli {

namespace {

std::vector<OptionGroup> Groups() {
    return {
        {"link options (this run only; nothing is saved)",
         {
             {"--udp", "IP[:PORT]", "UDP link (port 21845 when omitted)"},
             {"--serial", "DEVICE|COMn", "serial link at 115200 baud", Complete::SerialDevice},
             {"--usb", "DEVICE", "USB link", Complete::UsbDevice},
         }},
        {"other options",
         {
             {"--settings", "FILE",
              "settings file to use instead of the one found beside the program", Complete::File},
             {"--models", "FILE", "model list to use instead of XMLName.dat beside the program",
              Complete::File},
             {"--trace", "",
              "every frame sent and received on stderr, as hex, with time stamps;\n"
              "datagrams from others than the panel are marked x, ignored"},
             {"-q, --quiet", "", "no progress display"},
             {"--json", "",
              "results, messages and the final verdict as JSON lines on stdout\n"
              "(docs/command-line.md describes each event)"},
             {"--lang", "zh|en",
              "the language of the panel's messages: zh (as stored) or en;\n"
              "without it the locale's (LANGUAGE, LC_ALL, LC_MESSAGES, LANG):\n"
              "Chinese for zh, C, POSIX or none, else English; the lines of\n"
              "korvane-cli itself are English in both",
              Complete::Words, "zh en"},
             {"--force", "",
              "send a value that would cut you off the panel or overwrite\n"
              "another image (refused otherwise, exit 65)"},
             {"-h, --help", "",
              "the options and commands; COMMAND --help (or help COMMAND)\n"
              "describes one command"},
             {"--version", "", "the program's version (and commit) and nothing else"},
             {"--", "", "ends the options: every word after it is an argument"},
         }},
    };
}

std::vector<ExitDoc> Exits() {
    return {
        {0, "Ok", "done"},
        {1, "IoError", "the link failed while sending or reading"},
        {2, "Timeout", "the panel did not answer in time"},
        {3, "NetworkError", "the network would not carry the request"},
        {4, "ChecksumError", "the panel's reply was damaged"},
        {5, "PanelRefused", "the panel refused the command"},
        {6, "OpenFailed", "the link could not be opened"},
        {7, "FileError", "a file could not be read or written"},
        {8, "RunCancelled", "cancelled (Ctrl-C, SIGTERM or SIGHUP)"},
        {9, "ImageChanged", "the image file changed during the run; its last packet was not sent"},
        {10, "PanelsFailed", "batch: some panels failed; the table gives each one's verdict"},
        {64, "usage error", "the command line is wrong; nothing was tried"},
        {65, "refused input", "a value was refused before anything was sent (see --force)"},
    };
}

ProgramDoc Build() {
    ProgramDoc p;
    p.name = "korvane-cli";
    p.purpose = "maintain and program HMI touch panels over UDP, serial or USB";
    p.usage = "[options] COMMAND [arguments]";
    p.description =
        "korvane-cli reads and sets a panel's address and clock, erases its flash, programs\n"
        "its kernel, boot loader, file system and start-up logo, and converts pictures into\n"
        "logo files. Without link options it uses the link saved in Para.dat.";
    p.groups = Groups();
    for (const CliCommand& command : CommandTable())
        p.commands.push_back(command.doc());
    p.footer =
        "\"korvane-cli COMMAND --help\" or \"korvane-cli help COMMAND\" describes one command.";
    p.exits = Exits();
    p.files =
        "Para.dat: the communication settings, beside the program; for an installed program,\n"
        "in $XDG_CONFIG_HOME/korvane (else ~/.config/korvane), read from the copy beside the\n"
        "program until the user saves settings.\n"
        "\n"
        "PanelNet.dat: the panel network record that set-ip saves, beside Para.dat.\n"
        "\n"
        "XMLName.dat: the model list, beside the program.";
    p.see_also = {"korvane-panel-sim(1)"};
    return p;
}

}  // namespace

const ProgramDoc& CliDoc() {
    static const ProgramDoc doc = Build();
    return doc;
}

}  // namespace korvane::cli
