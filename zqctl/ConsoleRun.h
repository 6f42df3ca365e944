#pragma once
// The console commands of zqctl: payloads out, answers decoded as the console
// of the chosen edition decodes them.

#include "CommandLine.h"
#include "ConsoleRequest.h"
#include "Output.h"

namespace zqctl {

class UnitSession;

// What is settled before any port opens: the payloads, and the access code
// where the command needs one. ExitOk with `request` filled, or the exit code
// of a refusal (said on `out`).
int prepareConsoleCommand(const Invocation &invocation, Output &out, ConsoleRequest *request);

// The command on one unit; the outcome is in the session.
void runConsoleCommand(const ConsoleRequest &request, UnitSession &session);

} // namespace zqctl
