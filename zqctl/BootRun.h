#pragma once
// The bootloader commands of zqctl: the firmware write, EEPROM and
// configuration backup and restore, entering and leaving the bootloader.

#include "CommandLine.h"
#include "Output.h"

namespace zqctl {

class FrameLog;

int runBootloaderCommand(const Invocation &invocation, Output &out, FrameLog *log);

} // namespace zqctl
