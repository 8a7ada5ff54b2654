#pragma once
// One korvane-cli command line as parsed: the link and global switches, the
// command and what was given to it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/link_result.h"
#include "system/ui_language.h"

namespace korvane::cli {

struct Invocation {
    std::optional<LinkMode> mode;
    std::optional<std::array<uint8_t, 4>> ip;
    std::optional<uint16_t> port;
    std::optional<uint16_t> com;
    std::string device;
    std::optional<std::filesystem::path> settings_file;
    std::optional<std::filesystem::path> models_file;
    bool trace = false;
    bool quiet = false;
    bool json = false;
    std::optional<UiLanguage> language;  // --lang; else the locale's
    bool force = false;
    bool help = false;
    bool version = false;
    // Hidden: what the build installs, printed from the same table as --help.
    bool man = false;
    bool completion = false;
    std::string command;
    std::vector<std::string> args;               // positional arguments of the command
    std::map<std::string, std::string> options;  // command options and their values
};

}  // namespace korvane::cli
