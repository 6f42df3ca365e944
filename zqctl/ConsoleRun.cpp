#include "ConsoleRun.h"

#include "ConsoleCommand.h"
#include "ConsoleRequest.h"
#include "ExitCode.h"
#include "UnitLink.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace zqctl {

namespace {

// The unit does not answer a controller reset; anything that comes within this
// time (an error report from a unit in its bootloader) is still reported.
constexpr int kResetAnswerGraceMs = 300;

} // namespace

QString readAccessCode() {
    std::string line;
    if (::isatty(STDIN_FILENO) != 1) {
        std::getline(std::cin, line);
    } else {
        std::fputs("Access code: ", stderr);
        std::fflush(stderr);
        termios saved{};
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::getline(std::cin, line);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return QString::fromStdString(line);
}

int runConsoleCommand(const Invocation &inv, Output &out, FrameLog *log) {
    const ConsoleRequest request = buildConsoleRequest(inv);
    if (!request.usageError.isEmpty()) {
        out.complain(request.usageError);
        return ExitUsage;
    }
    if (inv.command->needsAccessCode) {
        // Checked here, before the port is opened: a wrong code never reaches the unit.
        const QString code = readAccessCode();
        if (code.isEmpty()) {
            out.complain(QStringLiteral("'%1' needs the access code on standard input")
                             .arg(QLatin1String(inv.command->name)));
            return ExitUsage;
        }
        if (code != QLatin1String(zq::console::kAccessCode)) {
            out.complain(QStringLiteral("wrong access code; nothing was sent"));
            return ExitFailed;
        }
    }

    UnitLink link(inv.edition, inv.timeoutMs, log);
    QString error;
    if (!link.open(inv.port, inv.baud, &error)) {
        out.complain(error);
        return ExitNoAnswer;
    }
    int status = ExitOk;
    for (const QByteArray &payload : request.payloads) {
        const int writtenBefore = link.framesWritten(); // the link may write before send returns
        link.send(payload);
        if (!request.answered) {
            if (!link.waitWritten(writtenBefore + 1, inv.timeoutMs)) {
                out.complain(
                    QStringLiteral("the command could not be written to %1").arg(inv.port));
                return ExitNoAnswer;
            }
            out.result(QStringLiteral("sent"),
                       QStringLiteral("%1 %2 sent; the unit does not answer it")
                           .arg(QLatin1String(inv.command->name), inv.args.join(' ')));
        }
        const auto answer = link.nextAnswer(request.answered ? inv.timeoutMs : kResetAnswerGraceMs);
        if (!answer) {
            if (!request.answered && !link.portFailed())
                continue;
            out.complain(
                link.portFailed()
                    ? QStringLiteral("port error: %1").arg(link.portError())
                    : QStringLiteral("no answer from the unit within %1 ms").arg(inv.timeoutMs));
            return ExitNoAnswer;
        }
        const Printed printed = consoleAnswer(inv.edition, *answer);
        out.answer(printed);
        if (printed.failed)
            status = ExitFailed;
    }
    return status;
}

} // namespace zqctl
