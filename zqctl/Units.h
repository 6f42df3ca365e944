#pragma once
// A command that talks to units, on one or on several at once. Each unit has
// its own link and its own thread, so one silent or failing unit never holds
// up or stops another; the run ends with a summary table (with --json, one
// object per port) and the worst of the units' exit codes.

#include "CommandLine.h"
#include "Output.h"

namespace zqctl {

class FrameLog;

int runOnUnits(const Invocation &invocation, Screen &screen, FrameLog *log);

} // namespace zqctl
