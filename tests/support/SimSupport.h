#pragma once
// The simulated unit's memories compared with what a firmware write should
// have left there.

#include <QFile>
#include <QtTest>

#include "Files.h"
#include "ProcessUse.h"

#include <csignal>
#include <sys/types.h>

namespace sim_support {

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
