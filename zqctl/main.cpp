// zqctl: the ZQ unit from the command line, for production lines and service
// scripts. The same link, payloads and answer decoding as the consoles and the
// firmware window, so a script and a window never disagree.

#include <QCoreApplication>

#include "BootRun.h"
#include "CommandLine.h"
#include "ConsoleRun.h"
#include "ExitCode.h"
#include "LocalRun.h"
#include "Output.h"
#include "UnitLink.h"

#include <cstdio>

int main(int argc, char *argv[]) {
    using namespace zqctl;
    QCoreApplication app(argc, argv);
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
    Output out(inv.json);

    FrameLog log;
    if (!inv.logFile.isEmpty() && !log.open(inv.logFile)) {
        out.complain(QStringLiteral("cannot write the log %1").arg(inv.logFile));
        return ExitUsage;
    }
    installMessageHandler(log.isOpen() ? &log : nullptr);

    switch (inv.command->family) {
    case Family::Local:
        return runLocalCommand(inv, out);
    case Family::Console:
        return runConsoleCommand(inv, out, log.isOpen() ? &log : nullptr);
    case Family::Bootloader:
        return runBootloaderCommand(inv, out, log.isOpen() ? &log : nullptr);
    }
    return ExitUsage;
}
