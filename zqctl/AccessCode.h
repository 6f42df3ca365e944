#pragma once
// The access code that charge-voltage, reset-memory and calibrate carry. It is
// never taken from the command line or the environment, where it would end up
// in the shell history, the process list or a CI log.

#include <QString>

namespace zqctl {

// The first line of `file` when one is given (--access-code-file), else of
// standard input when it is not a terminal, else typed at a prompt without
// echo; the terminal is given back as it was also when Ctrl-C ends the prompt.
// False with the reason in `error` when the file cannot be read.
bool readAccessCode(const QString &file, QString *code, QString *error);

} // namespace zqctl
