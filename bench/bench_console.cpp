// The connected console at rest: the edition-5 console window on a
// pseudo-terminal whose far end is silent, its information poll off (as at
// start). Prints the CPU it uses over the idle period and its resident memory.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_console [idle-seconds=10]

#include <QApplication>
#include <QFile>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#include "MainWindow.h"
#include "Pty.h"

namespace {
double cpuSeconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_utime.tv_usec / 1e6 + r.ru_stime.tv_sec +
           r.ru_stime.tv_usec / 1e6;
}
long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
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
    QTimer::singleShot(500, &app, [] {}); // let the window settle before measuring
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();

    const long rss = residentKiB();
    const double before = cpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double cpu = cpuSeconds() - before;
    std::printf("connected console at rest, %d s: %.3f %% of one core (aim: < 1 %%)\n", seconds,
                100.0 * cpu / seconds);
    std::printf("connected console resident memory: %.1f MiB\n", rss / 1024.0);
    std::printf("command: QT_QPA_PLATFORM=%s %s %d\n", qgetenv("QT_QPA_PLATFORM").constData(),
                argv[0], seconds);
    delete console;
    return 0;
}
