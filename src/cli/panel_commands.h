#pragma once
// The commands that ask a panel or set one value on it: status, get-ip,
// set-ip, get-clock, set-clock, enter-download, end-download, change-mac.
#include "cli/command_table.h"

namespace korvane::cli {

CliCommand StatusCommand();
CliCommand GetIpCommand();
CliCommand SetIpCommand();
CliCommand GetClockCommand();
CliCommand SetClockCommand();
CliCommand EnterDownloadCommand();
CliCommand EndDownloadCommand();
CliCommand ChangeMacCommand();

}  // namespace korvane::cli
