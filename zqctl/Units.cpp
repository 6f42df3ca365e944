#include "Units.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QThread>

#include "BootRun.h"
#include "ConsoleRun.h"
#include "ExitCode.h"
#include "Session.h"

#include <memory>
#include <mutex>
#include <vector>

namespace zqctl {

namespace {

constexpr double kMsPerSecond = 1000.0;

// What a command needs before any port opens, settled once for every unit.
struct Plan {
    ConsoleRequest request;
    BootPlan boot;
};

UnitSummary runUnit(const Invocation &inv, const Plan &plan, const QString &port, Output &out,
                    FrameLog *log) {
    QElapsedTimer clock;
    clock.start();
    const bool console = inv.command->family == Family::Console;
    UnitSession session(inv, port, out, log,
                        console ? UnitSession::Texts::Console : UnitSession::Texts::Bootloader);
    if (console) {
        if (session.open())
            runConsoleCommand(plan.request, session);
    } else {
        runBootloaderCommand(plan.boot, session);
    }
    out.endProgress();
    UnitSummary summary = session.summary();
    summary.seconds = clock.elapsed() / kMsPerSecond;
    return summary;
}

} // namespace

int runOnUnits(const Invocation &inv, Screen &screen, FrameLog *log) {
    Output main(screen);
    Plan plan;
    const int refused = inv.command->family == Family::Console
                            ? prepareConsoleCommand(inv, main, &plan.request)
                            : prepareBootloaderCommand(inv, main, &plan.boot);
    if (refused != ExitOk)
        return refused;
    if (inv.ports.size() == 1)
        return runUnit(inv, plan, inv.ports.first(), main, log).exitCode;

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
        for (int i = 0; i < count; ++i) {
            QJsonObject object = summaryJson(summaries[i]);
            object.insert(QStringLiteral("events"), outputs[size_t(i)]->events());
            object.insert(QStringLiteral("complaints"),
                          QJsonArray::fromStringList(outputs[size_t(i)]->complaints()));
            screen.print(false,
                         {QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact))});
        }
    } else {
        screen.print(false, summaryTable(summaries));
    }
    return worstExitCode(summaries);
}

} // namespace zqctl
