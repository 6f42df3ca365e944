#pragma once
// The console commands of zqctl: payloads out, answers decoded as the console
// of the chosen edition decodes them.

#include <memory>

#include "CommandLine.h"
#include "ConsoleRequest.h"
#include "Job.h"
#include "Output.h"

namespace zqctl {

// What is settled before any port opens: the payloads, and the access code
// where the command needs one. ExitOk with `request` filled, or the exit code
// of a refusal (said on `out`).
int prepareConsoleCommand(const Invocation &invocation, Output &out, ConsoleRequest *request);

// The command on one unit.
std::unique_ptr<UnitJob> consoleJob(const ConsoleRequest &request);

} // namespace zqctl
