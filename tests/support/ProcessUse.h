#pragma once
// The event loop turned until something happens, and what this process costs
// the machine: CPU time, resident memory, and the CPU it takes while its event
// loop has nothing to do.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <functional>

#include <sys/resource.h>
#include <unistd.h>

// Runs the event loop until `done`, at most `ms`. QTRY_* sleeps 10 ms between
// turns of the loop and each exchange needs two turns: a whole write would
// take minutes.
inline bool waitUntil(const std::function<bool()> &done, int ms) {
    constexpr int kTickMs = 10;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer tick; // wakes the loop to look at `done` when nothing else happens
    tick.start(kTickMs);
    while (!done() && elapsed.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// User and system time so far, in seconds.
inline double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Resident memory now; 0 where /proc cannot tell.
inline long residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * (::sysconf(_SC_PAGESIZE) / 1024);
}

struct IdleUse {
    double cpuSeconds;
    double wallSeconds;
};

// Runs the event loop for `ms` with only what is already set up to happen.
inline IdleUse runIdle(int ms) {
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop idle;
    QTimer::singleShot(ms, &idle, &QEventLoop::quit);
    idle.exec();
    return {cpuSeconds() - cpuBefore, double(wall.elapsed()) / 1000};
}
