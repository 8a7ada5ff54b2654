#include "cli/cli_commands.h"

namespace korvane::cli {

namespace {

OptionDoc ModelOption() {
    return {"--model", "NAME",
            "the panel model whose screen the logo is for (korvane-cli models lists them)",
            Complete::Model};
}
OptionDoc ScreenOption() {
    return {"--screen", "WxH", "the screen size instead of a model, e.g. 800x480"};
}
OptionDoc BackgroundOption() {
    return {"--background", "RRGGBB",
            "the colour around the picture, red first (default FFFFFF, white)"};
}
OptionDoc OutputOption() {
    return {"-o", "FILE", "write the logo file here instead of beside the picture", Complete::File};
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
    p.groups = {
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
    p.commands = {
        {"status",
         {""},
         "query-state; prints \"jumper <n>\"",
         "Asks the panel for its state and prints the jumper position (1 update, 2 normal).",
         "korvane-cli --udp 192.168.0.100 status"},
        {"get-ip",
         {""},
         "prints \"<ip> <port>\"",
         "Reads the panel's IP address and port.",
         "korvane-cli get-ip"},
        {"set-ip",
         {"IP PORT [--gateway G] [--mask M]"},
         "",
         "Sets the panel's address, port, gateway (default 192.168.0.1) and mask\n"
         "(default 255.255.255.0). The values are also saved as the panel network record.\n"
         "An address no one could reach (0.0.0.0, 255.255.255.255, 127.x, 224.0.0.0 and\n"
         "above) or a mask that is no mask is refused unless --force; a gateway outside\n"
         "the new subnet is sent with a warning.",
         "korvane-cli set-ip 192.168.0.120 21845 --gateway 192.168.0.1",
         {{"--gateway", "G", "the panel's gateway (default 192.168.0.1)"},
          {"--mask", "M", "the panel's subnet mask (default 255.255.255.0)"}}},
        {"get-clock",
         {""},
         "prints \"YYYY-MM-DD HH:MM:SS\"",
         "Reads the panel's clock.",
         "korvane-cli get-clock"},
        {"set-clock",
         {"[YYYY-MM-DD HH:MM:SS]"},
         "default: now; years 2000 to 2099",
         "Sets the panel's clock; without a value, to now. The panel keeps the years 2000\n"
         "to 2099 and reports those back; another year is refused unless --force.",
         "korvane-cli set-clock \"2026-12-07 08:30:00\""},
        {"erase",
         {""},
         "erases the panel's flash",
         "Erases the panel's flash (not over USB).",
         "korvane-cli erase"},
        {"flash",
         {"kernel|bootloader|filesystem FILE",
          "logo PICTURE (--model NAME | --screen WxH) [--background RRGGBB] [-o FILE]"},
         "",
         "Programs an image into the panel's flash; the panel's jumper must be in the update\n"
         "position. For a logo the picture is converted first (its .logo file is written\n"
         "beside it, or where -o says). A boot loader longer than 0x80000 bytes or a kernel\n"
         "longer than 0x200000 bytes would overwrite the next image and is refused unless\n"
         "--force. Ctrl-C, SIGTERM or SIGHUP cancels the run.",
         "korvane-cli flash kernel zImage.bin",
         {ModelOption(), ScreenOption(), BackgroundOption(), OutputOption()},
         Complete::Words,
         "kernel bootloader filesystem logo",
         Complete::File},
        {"logo",
         {"PICTURE (--model NAME | --screen WxH) [--background RRGGBB] [-o FILE]"},
         "",
         "Converts a picture (BMP, GIF, JPEG, PNG) into the panel's logo file, by default\n"
         "\"PICTURE.logo\". The picture may be no larger than the screen in either direction\n"
         "and have at most 131,072 pixels (e.g. 512 x 256, or 480 x 272); a larger one is\n"
         "refused with the panel's message and the limit.",
         "korvane-cli logo start.bmp --screen 800x480 --background 000080",
         {ModelOption(), ScreenOption(), BackgroundOption(), OutputOption()},
         Complete::File,
         "",
         Complete::Nothing},
        {"models",
         {""},
         "one line per model: \"<name>\\t<width>x<height>\"",
         "Lists the panel models of the model list with their screen sizes. A model no "
         "panel could be (a side outside 1 to 32767, a name that is empty, repeated or "
         "holds a control character) is left out, with a warning on stderr.",
         "korvane-cli models"},
        {"enter-download",
         {""},
         "switches the panel into download mode",
         "Switches the panel into download mode and runs the version handshake.",
         "korvane-cli enter-download"},
        {"end-download",
         {""},
         "takes the panel out of download mode",
         "Takes the panel out of download mode.",
         "korvane-cli end-download"},
        {"change-mac",
         {""},
         "gives the panel a new MAC address",
         "Gives the panel a newly generated MAC address (prefix 00-4F-9A).",
         "korvane-cli change-mac"},
        {"settings",
         {"[--link udp|serial|usb] [--ip IP] [--port N] [--com N]"},
         "",
         "Shows the saved communication settings, or changes and saves them. A settings file\n"
         "that cannot serve (empty, short, garbled, a folder) is named with its fix instead\n"
         "of being shown; a change over one writes a fresh file from the defaults and the\n"
         "values given.",
         "korvane-cli settings --link udp --ip 192.168.0.100 --port 21845",
         {{"--link", "udp|serial|usb", "the link to use", Complete::Words, "udp serial usb"},
          {"--ip", "IP", "the panel's address for the udp link"},
          {"--port", "N", "the panel's port for the udp link (1 to 65535)"},
          {"--com", "N", "the serial device: the n-th that ports lists (1 to 255)"}}},
        {"ports",
         {""},
         "serial devices as COM numbers name them, USB devices",
         "Lists the serial devices in the order that COM numbers name them (COM1 first),\n"
         "then the panel USB devices found.",
         "korvane-cli ports"},
        {"discover",
         {"[--broadcast ADDR | --range A-B] [--port N] [--wait MS]"},
         "the panels on the network, one line each",
         "Finds the panels on the network: asks at the broadcast address of every interface\n"
         "(or only at ADDR, one of those), or at each address of a range such as\n"
         "192.168.0.1-254 (200 a second, for networks that drop broadcasts), on port N\n"
         "(default 21845), and listens MS milliseconds (default 1000). Prints one line per\n"
         "panel: the address it answered from, its port and jumper, and the address it\n"
         "reports when that differs. Exit status 0 when a panel answered, 2 when none did.",
         "korvane-cli discover --range 192.168.0.1-254",
         {{"--broadcast", "ADDR", "ask only at this interface broadcast address"},
          {"--range", "A-B", "ask each address from A to B (e.g. 192.168.0.1-254)"},
          {"--port", "N", "the panels' port (default 21845)"},
          {"--wait", "MS", "how long to listen for answers (default 1000)"}}},
        {"help",
         {"[COMMAND]"},
         "this text, or one command's",
         "Describes the program, or one command, as --help does.",
         "korvane-cli help flash",
         {},
         Complete::Command},
    };
    p.footer =
        "\"korvane-cli COMMAND --help\" or \"korvane-cli help COMMAND\" describes one command.";
    p.exits = {
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
        {64, "usage error", "the command line is wrong; nothing was tried"},
        {65, "refused input", "a value was refused before anything was sent (see --force)"},
    };
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
