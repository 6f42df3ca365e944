#pragma once
// The console commands of zqctl: payloads out, answers decoded as the console
// of the chosen edition decodes them.

#include "CommandLine.h"
#include "Output.h"

namespace zqctl {

class FrameLog;

int runConsoleCommand(const Invocation &invocation, Output &out, FrameLog *log);

// The access code: the first line of standard input when it is not a
// terminal, else typed at a prompt without echo. Empty when none was given.
QString readAccessCode();

} // namespace zqctl
