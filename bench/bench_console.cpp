// The connected console at rest: the edition-5 console window on a
// pseudo-terminal whose far end is silent, its information poll off (as at
// start). Prints the CPU it uses over the idle period and its resident memory.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_console [idle-seconds=10]

#include <QApplication>
#include <QSerialPort>

#include <cstdio>
#include <cstdlib>

#include "MainWindow.h"
#include "ProcessUse.h"
#include "Pty.h"

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

int main(int argc, char *argv[]) {
    qInstallMessageHandler(quiet);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    Pty pty; // its far end stays silent

    QSerialPort port;
    port.setPortName(pty.slavePath());
    port.open(QIODevice::ReadWrite);
    auto *console = new MainWindow(nullptr, &port);
    runIdle(500); // lets the window settle before measuring

    const long rss = residentKiB();
    const IdleUse use = runIdle(seconds * 1000);
    std::printf("connected console at rest, %d s: %.3f %% of one core (aim: < 1 %%)\n", seconds,
                100.0 * use.cpuSeconds / use.wallSeconds);
    std::printf("connected console resident memory: %.1f MiB\n", rss / 1024.0);
    std::printf("command: QT_QPA_PLATFORM=%s %s %d\n", qgetenv("QT_QPA_PLATFORM").constData(),
                argv[0], seconds);
    delete console;
    return 0;
}
