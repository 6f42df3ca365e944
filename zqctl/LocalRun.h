#pragma once
// The commands that need no unit: the port list and the HEX file check.

#include "CommandLine.h"
#include "Output.h"

namespace zqctl {

int runLocalCommand(const Invocation &invocation, Output &out);

} // namespace zqctl
