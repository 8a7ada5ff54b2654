// korvane: the desktop window for maintaining and programming HMI panels.
#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "cli/command_docs.h"
#include "system/version.h"

namespace {

// The window's --help and manual page, from one table as the other programs'.
korvane::cli::ProgramDoc Doc() {
    korvane::cli::ProgramDoc doc;
    doc.name = "korvane";
    doc.purpose = "the desktop window for maintaining and programming HMI panels";
    doc.usage = "[-h] [--version] [Qt options]";
    doc.description =
        "Opens the window that reads and sets a panel's address and clock, erases its flash,\n"
        "programs its kernel, boot loader, file system and start-up logo, over the link saved\n"
        "in Para.dat (network, serial port or USB). Qt's own options, such as -platform, are\n"
        "passed on to Qt. A second copy started from the same parent ends at once.\n"
        "A Para.dat that cannot serve is named at start and left as it is; the window uses\n"
        "the defaults until settings are saved.";
    doc.groups = {{"options",
                   {{"-h, --help", "", "this text"},
                    {"--version", "", "the program's version (and commit)"}}}};
    doc.exits = {{0, "closed", "the window was closed"},
                 {1, "no resource", "the resource bundle beside the program is missing"},
                 {korvane::kAlreadyRunningStatus, "already running",
                  "an earlier copy started from the same parent runs"}};
    doc.files =
        "Para.dat: the communication settings, beside the program; for an installed program,\n"
        "in ~/.config/korvane/.\n"
        "\n"
        "resource/korvane-zh_CN.rcc: the window's texts and pictures, beside the program.\n"
        "\n"
        "~/.config/korvane/korvane.ini: the window's position.";
    doc.see_also = {"korvane-cli(1)", "korvane-panel-sim(1)"};
    return doc;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything needs a display.
    if (argc == 2) {
        const char* arg = argv[1];
        if (std::strcmp(arg, "--version") == 0) {
            std::fputs(korvane::VersionText("korvane").c_str(), stdout);
            return 0;
        }
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            std::fputs(korvane::cli::HelpText(Doc()).c_str(), stdout);
            return 0;
        }
        // Hidden: the manual page, drawn from the same table as --help.
        if (std::strcmp(arg, "--man") == 0) {
            std::fputs(korvane::cli::ManPage(Doc(), korvane::ProjectVersion()).c_str(), stdout);
            return 0;
        }
    }
    return korvane::RunDesktop(argc, argv);
}
