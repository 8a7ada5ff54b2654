#pragma once
// settings and ports: the saved link of this program and the devices a link
// may use.
#include "cli/command_table.h"

namespace korvane::cli {

CliCommand SettingsCommand();
CliCommand PortsCommand();

}  // namespace korvane::cli
