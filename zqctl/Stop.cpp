#include "Stop.h"

#include <atomic>
#include <csignal>
#include <cstring>

namespace zqctl {

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> caught{0};

void onStopSignal(int signal) {
    int none = 0;
    if (caught.compare_exchange_strong(none, signal))
        return;
    // The second one: end now, by the default action of this signal.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kStopSignals)
        ::sigaction(signal, &action, nullptr);
}

bool stopRequested() {
    return caught.load() != 0;
}

int stopSignal() {
    return caught.load();
}

QString stopSignalName() {
    switch (caught.load()) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString();
    }
}

void endByStopSignal() {
    const int signal = caught.load();
    if (signal == 0)
        return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace zqctl
