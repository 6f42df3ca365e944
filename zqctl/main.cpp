// zqctl: the ZQ unit from the command line, for production lines and service
// scripts. The same frames, payloads and answer decoding as the consoles and
// the firmware window, so a script and a window never disagree.

#include <QCoreApplication>

#include "CommandLine.h"
#include "ExitCode.h"
#include "LocalRun.h"
#include "Output.h"
#include "QtCompat.h"
#include "UnitLink.h"
#include "Units.h"

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[]) {
    using namespace zqctl;
    // A closed output (a pipe into `head`) must never end the work on a unit:
    // writes to it fail instead, and Output says so once.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app = zq::compat::makeApplication<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zqctl"));

    const ParseResult parsed = parseCommandLine(app.arguments().mid(1));
    if (parsed.kind == ParseResult::Help || parsed.kind == ParseResult::Version) {
        std::fputs(qPrintable(parsed.text), stdout);
        return ExitOk;
    }
    if (parsed.kind == ParseResult::UsageError) {
        std::fprintf(stderr, "zqctl: %s\n", qPrintable(parsed.text));
        return ExitUsage;
    }
    const Invocation &inv = parsed.invocation;
    Screen screen(inv.json, inv.ports.size());

    FrameLog log;
    QString error;
    if (!inv.logFile.isEmpty() && !log.open(inv.logFile, &error)) {
        Output(screen).complain(error);
        return ExitUsage;
    }
    log.onFailure = [&screen](const QString &why) { Output(screen).complain(why); };
    installMessageHandler(log.isOpen() ? &log : nullptr);

    if (inv.command->family == Family::Local) {
        Output out(screen);
        return runLocalCommand(inv, out);
    }
    return runOnUnits(inv, screen, log.isOpen() ? &log : nullptr);
}
