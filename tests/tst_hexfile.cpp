// Reading HEX files into the three stores, from files written on disk.

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "HexText.h"
#include "PICProgram.h"

class TestHexFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString write(const QByteArray &content) {
        const QString path = dir_.filePath(QStringLiteral("image.hex"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
            qFatal("cannot write the test file");
        return path;
    }

private slots:
    void read_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("eeprom");

        auto row = [](const char *name, const QByteArray &content, int result, const char *program,
                      const char *config, const char *eeprom) {
            QTest::newRow(name) << content << result << QString(program)
                                << QByteArray::fromHex(config) << QString(eeprom);
        };
        row("empty file", "", 0, "", "", "");
        row("config", ":020000040030CA\n:0E000000112233445566778899AABBCCDDEEF9\n", 0, "",
            "112233445566778899AABBCCDDEE", "");
        row("program words", ":040000000EEF0100FE\n", 0, "0000:0EEF 0002:0100", "", "");
        row("16 bytes, lowercase", ":10001000a0a1a2a3a4a5a6a7a8a9aaabacadaeaf00\n", 0,
            "0010:A0A1 0012:A2A3 0014:A4A5 0016:A6A7 0018:A8A9 001A:AAAB 001C:ACAD 001E:AEAF", "",
            "");
        row("eeprom", ":0200000400F00A\n:0400100001020304E2\n", 0, "", "",
            "0010:01 0011:02 0012:03 0013:04");
        row("eeprom address wraps", ":0200000400F00A\n:02FFFF00AABB00\n", 0, "", "",
            "FFFF:AA 0000:BB");
        row("id locations ignored", ":020000040020DA\n:0200000011220000\n", 0, "", "", "");
        row("types 02 03 05 are data", ":02001002AABB00\n:02001203CCDD00\n:02001405EEFF00\n", 0,
            "0010:AABB 0012:CCDD 0014:EEFF", "", "");
        row("upper address kept across EOF", ":0200000400F00A\n:00000001FF\n:0100050077\n", 0, "",
            "", "0005:77");
        row("upper address 0001", ":020000040001F9\n:02000400ABCD00\n", 0, "10004:ABCD", "", "");
        row("short line, bad digits read F", ":04000000G1Z2", 0, "0000:F1F2 0002:FFFF", "", "");
        row("CR LF, last line unterminated", ":020000040030CA\r\n:02000000AABB99", 0, "", "AABB",
            "");
        row("UTF-8 byte-order mark", "\xEF\xBB\xBF:02000000AABB00\n", 0, "0000:AABB", "", "");
        row("byte-order mark on a later line", ":02000000AABB00\n\xEF\xBB\xBF:02000200CCDD00\n", -1,
            "0000:AABB", "", "");
        row("a UTF-8 character is one position", ":02000000\303\251B00\n", 0, "0000:FB00", "", "");
        row("100000-character line",
            ":02000000AABB" + QByteArray(100000, 'Z') + "\n:02000200CCDD00\n", 0,
            "0000:AABB 0002:CCDD", "", "");
        row("duplicates kept", ":02001000AAAA00\n:02001000BBBB00\n", 0, "0010:AAAA 0010:BBBB", "",
            "");
        // Half words a record does not cover are erased bytes, never the checksum.
        row("odd count", ":03000000AABBCC77\n", 0, "0000:AABB 0002:CCFF", "", "");
        row("odd address", ":02000100AABB77\n", 0, "0000:FFAA 0002:BBFF", "", "");
        row("split word joined", ":01000000AA00\n:01000100BB00\n", 0, "0000:AABB", "", "");
        row("split word, odd byte first", ":01000100BB00\n:01000000AA00\n", 0, "0000:AABB", "", "");
        row("overlap keeps first byte", ":01000000AA00\n:02000000112200\n", 0,
            "0000:AA22 0000:1122", "", "");
        // Failures keep what the lines before the bad one gave.
        row("blank line", ":02000000AABB00\n\n:02000200CCDD00\n", -1, "0000:AABB", "", "");
        row("blank line after EOF", ":00000001FF\n\n", -1, "", "", "");
        row("blank CR LF line", "\r\n", -1, "", "", "");
        row("leading blank", " :00000001FF\n", -1, "", "", "");
        row("binary garbage", QByteArray("\x00\xFF\x13\x80garbage", 11), -1, "", "", "");
    }

    void read() {
        QFETCH(QByteArray, content);
        QFETCH(int, result);
        QFETCH(QString, program);
        QFETCH(QByteArray, config);
        QFETCH(QString, eeprom);
        PICProgram image;
        QCOMPARE(image.readHexFile(write(content)), result);
        QCOMPARE(image.isAnalyzed(), result == 0);
        QCOMPARE(programText(image), program);
        QCOMPARE(image.configBytes(), config);
        QCOMPARE(eepromText(image), eeprom);
    }

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
