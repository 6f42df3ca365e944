#include "ConsoleRun.h"

#include "AccessCode.h"
#include "ConsoleCommand.h"
#include "ExitCode.h"
#include "Stop.h"
#include "UnitSession.h"

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
    if (!inv.command->needsAccessCode())
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

namespace {

class ConsoleJob : public UnitJob {
public:
    explicit ConsoleJob(const ConsoleRequest &request) : request_(request) {}

    void run(UnitSession &session) override {
        const Invocation &inv = session.inv();
        const QString command =
            (QLatin1String(inv.command->name) + QLatin1Char(' ') + inv.args.join(' ')).trimmed();
        UnitSession::Exchange how;
        how.what = QStringLiteral("from the unit");
        how.repeat =
            request_.repeatable ? UnitSession::Repeat::Harmless : UnitSession::Repeat::Never;
        if (inv.command->hasEffect() && !request_.repeatable)
            how.consequence =
                QStringLiteral("; '%1' may or may not have taken effect").arg(command);
        if (!request_.answered) {
            // Anything that comes within the grace time (an error report
            // from a unit in its bootloader) is still shown.
            how.answered = false;
            how.waitMs = kResetAnswerGraceMs;
        }
        for (const QByteArray &payload : request_.payloads) {
            const auto answer = session.exchange(payload, how);
            if (!answer) {
                if (session.stopped())
                    session.out().complain(QStringLiteral("stopped by %1; nothing more was sent")
                                               .arg(stopSignalName()));
                return;
            }
            if (!request_.answered) {
                session.out().result(
                    QStringLiteral("sent"),
                    QStringLiteral("%1 sent; the unit does not answer it").arg(command));
                continue;
            }
            const Printed printed = consoleAnswer(inv.edition, *answer);
            session.out().answer(printed);
            if (printed.failed)
                session.failed(ExitFailed);
            if (const QString version = versionText(printed); !version.isEmpty())
                session.summary().versionBefore = version;
        }
    }

private:
    const ConsoleRequest &request_;
};

} // namespace

std::unique_ptr<UnitJob> consoleJob(const ConsoleRequest &request) {
    return std::make_unique<ConsoleJob>(request);
}

} // namespace zqctl
