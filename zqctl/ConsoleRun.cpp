#include "ConsoleRun.h"

#include "AccessCode.h"
#include "ConsoleCommand.h"
#include "ExitCode.h"
#include "Session.h"

namespace zqctl {

namespace {

// The unit does not answer a controller reset; anything that comes within this
// time (an error report from a unit in its bootloader) is still shown.
constexpr int kResetAnswerGraceMs = 300;

} // namespace

int prepareConsoleCommand(const Invocation &inv, Output &out, ConsoleRequest *request) {
    *request = buildConsoleRequest(inv);
    if (!request->usageError.isEmpty()) {
        out.complain(request->usageError);
        return ExitUsage;
    }
    if (!inv.command->needsAccessCode)
        return ExitOk;
    // Checked here, before the port is opened: a wrong code never reaches the unit.
    QString code, error;
    if (!readAccessCode(inv.accessCodeFile, &code, &error)) {
        out.complain(error);
        return ExitUsage;
    }
    if (code.isEmpty()) {
        out.complain(QStringLiteral("'%1' needs the access code on standard input or in "
                                    "--access-code-file")
                         .arg(QLatin1String(inv.command->name)));
        return ExitUsage;
    }
    const bool right = code == QLatin1String(zq::console::kAccessCode);
    code.fill(QLatin1Char(' '));
    if (!right) {
        out.complain(QStringLiteral("wrong access code; nothing was sent"));
        return ExitFailed;
    }
    return ExitOk;
}

void runConsoleCommand(const ConsoleRequest &request, UnitSession &session) {
    const Invocation &inv = session.inv();
    const QString name = QLatin1String(inv.command->name);
    for (const QByteArray &payload : request.payloads) {
        if (!request.answered) {
            if (!session.link().send(payload)) {
                session.portFailed();
                return;
            }
            session.out().result(QStringLiteral("sent"),
                                 QStringLiteral("%1 %2 sent; the unit does not answer it")
                                     .arg(name, inv.args.join(' ')));
            session.link().await(-1, kResetAnswerGraceMs); // reports are shown on the way
            continue;
        }
        const auto answer = session.ask(
            payload,
            request.repeatable ? UnitSession::Repeat::Harmless : UnitSession::Repeat::Never,
            QStringLiteral("from the unit"),
            request.repeatable ? QString()
                               : QStringLiteral("; '%1' may or may not have taken effect")
                                     .arg((name + ' ' + inv.args.join(' ')).trimmed()));
        if (!answer)
            return;
        const Printed printed = consoleAnswer(inv.edition, *answer);
        session.out().answer(printed);
        if (printed.failed)
            session.failed(ExitFailed);
        if (const QString version = versionText(printed); !version.isEmpty())
            session.summary().versionBefore = version;
    }
}

} // namespace zqctl
