#pragma once
// A console command of the command line turned into the payloads that the
// console window of the same edition would send for it.

#include <QByteArray>
#include <QList>
#include <QString>

#include "CommandLine.h"

namespace zqctl {

struct ConsoleRequest {
    QList<QByteArray> payloads; // sent one at a time, each waiting for its answer
    bool answered = true;       // false for the controller resets: the unit stays silent
    // A read: sending it again after a lost answer does no harm. A command
    // with an effect on the unit is sent once.
    bool repeatable = false;
    QString usageError; // set when an argument is wrong; nothing is to be sent
};

ConsoleRequest buildConsoleRequest(const Invocation &invocation);

} // namespace zqctl
