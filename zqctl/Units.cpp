#include "Units.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QThread>

#include "BootRun.h"
#include "ConsoleRun.h"
#include "ExitCode.h"
#include "Stop.h"
#include "TimeUnits.h"
#include "UnitSession.h"

#include <memory>
#include <mutex>
#include <vector>

namespace zqctl {

namespace {

// What a command needs before any port opens, settled once for every unit.
struct Plan {
    ConsoleRequest request;
    BootPlan boot;
};

// Two --port options that name one device (a symlink, a by-id path,
// "/dev//pts/./3") would have two threads drive one unit.
bool checkDistinctDevices(const QStringList &ports, Output &out) {
    QMap<QString, QString> portOf; // device identity -> the first port that named it
    for (const QString &port : ports) {
        const QString identity = deviceIdentity(portDevicePath(port));
        if (identity.isEmpty())
            continue; // the unit's own run says why it cannot be opened
        if (portOf.contains(identity)) {
            out.complain(QStringLiteral("--port %1 and --port %2 are the same device")
                             .arg(portOf.value(identity), port));
            return false;
        }
        portOf.insert(identity, port);
    }
    return true;
}

UnitSummary runUnit(const Invocation &inv, const Plan &plan, const QString &port, Output &out,
                    FrameLog *log) {
    QElapsedTimer clock;
    clock.start();
    const bool console = inv.command->family == Family::Console;
    UnitSession session(inv, port, out, log,
                        console ? UnitSession::Texts::Console : UnitSession::Texts::Bootloader);
    // One job object per unit, running on its session.
    const std::unique_ptr<UnitJob> job =
        console ? consoleJob(plan.request) : bootloaderJob(plan.boot);
    if (session.open())
        job->run(session);
    out.endProgress();
    UnitSummary summary = session.summary();
    if (session.stopped())
        summary.exitCode = qMax(summary.exitCode, ExitSignalBase + stopSignal());
    summary.seconds = clock.elapsed() / double(zq::kMsPerSecond);
    return summary;
}

} // namespace

int runOnUnits(const Invocation &inv, Screen &screen, FrameLog *log) {
    Output main(screen);
    if (!checkDistinctDevices(inv.ports, main))
        return ExitUsage;
    Plan plan;
    const int refused = inv.command->family == Family::Console
                            ? prepareConsoleCommand(inv, main, &plan.request)
                            : prepareBootloaderCommand(inv, main, &plan.boot);
    if (refused != ExitOk)
        return refused;
    installStopSignals();
    if (inv.ports.size() == 1) {
        const int status = runUnit(inv, plan, inv.ports.first(), main, log).exitCode;
        endByStopSignal();
        return status;
    }

    // Each unit on a thread of its own: its link blocks in the port's waits, and
    // the threads share only the screen and the log, both behind locks. Each
    // thread writes its own summary; the lock hands them to this thread.
    const int count = inv.ports.size();
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<std::unique_ptr<QThread>> threads;
    QList<UnitSummary> summaries;
    for (int i = 0; i < count; ++i)
        summaries << UnitSummary();
    std::mutex summariesMutex;
    for (int i = 0; i < count; ++i) {
        const QString port = inv.ports[i];
        outputs.push_back(std::make_unique<Output>(screen, i, port));
        Output *out = outputs.back().get();
        threads.emplace_back(QThread::create([&, i, port, out] {
            const UnitSummary summary = runUnit(inv, plan, port, *out, log);
            std::lock_guard<std::mutex> lock(summariesMutex);
            summaries[i] = summary;
        }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        thread->wait();
    std::lock_guard<std::mutex> lock(summariesMutex);
    if (screen.json()) {
        for (int i = 0; i < count; ++i)
            screen.print(false,
                         {QString::fromUtf8(QJsonDocument(outputs[size_t(i)]->closing(summaries[i]))
                                                .toJson(QJsonDocument::Compact))});
    } else {
        screen.print(false, summaryTable(summaries));
    }
    endByStopSignal();
    return worstExitCode(summaries);
}

} // namespace zqctl
