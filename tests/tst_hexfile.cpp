// The three stores a HEX file is read into: finding in them, clearing them,
// reading again on top of them. What each file leaves there is tst_hex_hell's
// table.

#include <QTemporaryDir>
#include <QtTest>

#include "Files.h"
#include "HexText.h"
#include "PICProgram.h"

class TestHexFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString write(const QByteArray &content) {
        const QString path = dir_.filePath(QStringLiteral("image.hex"));
        if (!writeFile(path, content))
            qFatal("cannot write the test file");
        return path;
    }

private slots:
    void findReturnsFirstMatch() {
        PICProgram program;
        QCOMPARE(program.readHexFile(write(":02000200AAAA00\n:02000200BBBB00\n"
                                           ":0200000400F00A\n:0100070011\n:0100070022\n")),
                 0);
        QCOMPARE(program.findProgramWord(0x0002), 0);
        QCOMPARE(program.findProgramWord(0x0004), -1);
        QCOMPARE(program.findEepromByte(0x0007), 0);
        QCOMPARE(program.findEepromByte(0x0008), -1);

        program.clear();
        QVERIFY(!program.isAnalyzed());
        QVERIFY(program.programWords().isEmpty() && program.eepromBytes().isEmpty());
        QCOMPARE(program.findProgramWord(0x0002), -1);
        QCOMPARE(program.findEepromByte(0x0007), -1);
    }

    // Each ":" line reads as 255 bytes of 0xFF: the stores must not grow without end.
    void absurdEntryCountFails() {
        PICProgram program;
        const int lines = PICProgram::kMaxEntries / 128 + 1;
        QCOMPARE(program.readHexFile(write(QByteArray(":\n").repeated(lines))), -1);
        QVERIFY(!program.isAnalyzed());
    }

    void destructionIsLogged() {
        QTest::ignoreMessage(QtDebugMsg, "Destroy PICProgram");
        delete new PICProgram;
    }

    // The stores are not emptied by a read, and each read starts at upper address 0.
    void readsAppendAndRestartUpperAddress() {
        PICProgram program;
        QCOMPARE(program.readHexFile(write(":0200000400F00A\n:0100000011\n")), 0);
        QCOMPARE(program.readHexFile(write(":02000000AABB00\n")), 0);
        QCOMPARE(eepromText(program), QStringLiteral("0000:11"));
        QCOMPARE(programText(program), QStringLiteral("0000:AABB"));

        QCOMPARE(program.readHexFile(dir_.filePath(QStringLiteral("missing.hex"))), -1);
        QCOMPARE(program.readHexFile(dir_.path()), -1);
        QVERIFY(!program.isAnalyzed());
        QCOMPARE(programText(program), QStringLiteral("0000:AABB"));
    }
};

QTEST_GUILESS_MAIN(TestHexFile)
#include "tst_hexfile.moc"
