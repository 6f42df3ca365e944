#pragma once
// Helpers for tests that run against the zq-sim program: files read back,
// the event loop turned until something happens, and the unit's memory dump
// compared with what a firmware write should have left.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "Files.h"

#include <csignal>
#include <sys/types.h>

namespace sim_support {

// Runs the event loop until `done`. QTRY_* sleeps 10 ms between turns of the
// loop and each exchange needs two turns: a whole write would take minutes.
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

// Has the simulator (started with --dump-dir `dumpDir`) write its memories
// now (SIGUSR1) and compares them; a program mismatch names its first 64-byte
// block. The caller returns when QTest::currentTestFailed().
inline void compareDump(qint64 simPid, const QString &dumpDir, const QByteArray &program,
                        const QByteArray &eeprom, const QByteArray &config, int waitMs) {
    ::kill(pid_t(simPid), SIGUSR1);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dumpDir + "/config.bin"), waitMs);
    const QByteArray written = readFile(dumpDir + "/program.bin");
    QCOMPARE(written.size(), program.size());
    for (int block = 0; block < written.size(); block += 64)
        QVERIFY2(written.mid(block, 64) == program.mid(block, 64),
                 qPrintable(QString::number(block, 16)));
    QCOMPARE(readFile(dumpDir + "/eeprom.bin"), eeprom);
    QCOMPARE(readFile(dumpDir + "/config.bin"), config);
}

} // namespace sim_support
