#pragma once
// Ctrl-C, SIGTERM and SIGHUP during a run: the payload on the line is let
// finish, nothing more is sent, and each unit's job says where its unit
// stands; then zqctl ends by that signal, as the shell expects. A second one
// ends zqctl at once. (SIGPIPE is ignored from the start: a closed output
// never stops work on a unit; Output.h says it once and goes on.)

#include <QString>

namespace zqctl {

// Installs the handlers; from then on the first of these signals asks to stop.
void installStopSignals();
// A signal asked the run to stop.
bool stopRequested();
// The signal that asked, or 0.
int stopSignal();
// "SIGINT", "SIGTERM", "SIGHUP".
QString stopSignalName();
// Ends the process by the signal that asked to stop, as if it had not been
// caught; returns at once when none did.
void endByStopSignal();

} // namespace zqctl
