#pragma once
// erase and flash: the commands that write the panel's flash.
#include "cli/command_table.h"

namespace korvane::cli {

CliCommand EraseCommand();
CliCommand FlashCommand();

}  // namespace korvane::cli
