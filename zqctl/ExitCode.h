#pragma once
// What zqctl tells the shell that ran it. Scripts on the production line branch
// on these, so they never change meaning.

namespace zqctl {

enum ExitCode : int {
    ExitOk = 0,
    ExitFailed = 1,   // the unit answered with an error, or a check failed
    ExitNoAnswer = 2, // no answer within the wait, or the port could not be used
    ExitUsage = 64,   // the command line was wrong; nothing was sent
    // A unit whose run a signal stopped: 128 + the signal, as a shell reports
    // a process that the signal ended (zqctl then ends by that signal).
    ExitSignalBase = 128,
};

} // namespace zqctl
