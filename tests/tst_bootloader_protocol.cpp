// Bootloader payloads, write sequences and answer handling.

#include <QBuffer>
#include <QtTest>

#include <vector>

#include "BootloaderProtocol.h"
#include "PICProgram.h"

using namespace zq::boot;

namespace {

// Hex bytes separated by blanks; "FF*62" stands for 62 bytes 0xFF.
QByteArray bytes(const char *text) {
    QByteArray out;
    for (const QString &item : QString::fromLatin1(text).split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = item.split('*');
        const QByteArray one = QByteArray::fromHex(parts.at(0).toLatin1());
        out.append(parts.size() == 2 ? one.repeated(parts.at(1).toInt()) : one);
    }
    return out;
}

QVector<QByteArray> sequenceFor(const QByteArray &hex) {
    QBuffer device;
    device.setData(hex);
    device.open(QIODevice::ReadOnly);
    PICProgram program;
    if (program.readHex(device) != 0)
        qFatal("test image does not read");
    return programWriteSequence(program);
}

QString rowsText(const QVector<TableCell> &cells) {
    QStringList parts;
    for (const TableCell &c : cells)
        parts << QStringLiteral("%1=%2").arg(c.row).arg(c.value);
    return parts.join(' ');
}

} // namespace

class TestBootloaderProtocol : public QObject {
    Q_OBJECT
private slots:
    void sequenceShape() {
        const QVector<QByteArray> payloads = sequenceFor(QByteArray());
        QCOMPARE(payloads.size(), 1018);
        for (int i = 0; i < payloads.size(); ++i) {
            const char expected = i < 1012 ? 0x02 : i < 1017 ? 0x05 : 0x07;
            QCOMPARE(payloads.at(i).at(0), expected);
        }
    }

    void programSequence_data() {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("payload");

        auto row = [](const char *name, const char *hex, int index, const char *payload) {
            QTest::newRow(name) << QByteArray(hex) << index << bytes(payload);
        };
        row("empty: first block", "", 0, "02 00 03 00 FF*64");
        row("empty: last block", "", 1011, "02 00 FF C0 FF*64");
        row("empty: EEPROM 0", "", 1012, "05 FA 00 00 00*250");
        row("empty: EEPROM 250", "", 1013, "05 FA 00 FA 00*250");
        row("empty: EEPROM 500", "", 1014, "05 FA 01 F4 00*250");
        row("empty: EEPROM 750", "", 1015, "05 FA 02 EE 00*250");
        row("empty: EEPROM 1000", "", 1016, "05 18 03 E8 00*24");
        row("empty: config", "", 1017, "07 00*14");
        row("word at 0300", ":020300001234B5\n", 0, "02 00 03 00 12 34 FF*62");
        row("below 0300 not sent", ":0402FE00AAAA5555\n", 0, "02 00 03 00 55 55 FF*62");
        row("next block", ":04033E00ABCD123400\n", 1, "02 00 03 40 12 34 FF*62");
        row("from 10000 not sent", ":020000040001F9\n:02FFFE00AAAA00\n", 1011, "02 00 FF C0 FF*64");
        row("first of duplicates", ":0203FE001111\n:0203FE002222\n", 3, "02 00 03 C0 FF*62 11 11");
        row("EEPROM run edges", ":0200000400F00A\n:0100000011\n:0200F9002233\n", 1012,
            "05 FA 00 00 11 00*248 22");
        row("EEPROM 03E8", ":0200000400F00A\n:0103E8005A\n", 1016, "05 18 03 E8 5A 00*23");
        row("EEPROM past 1023 not sent", ":0200000400F00A\n:0104000077\n", 1016,
            "05 18 03 E8 00*24");
        row("config 14", ":020000040030CA\n:0E000000112233445566778899AABBCCDDEE\n", 1017,
            "07 11 22 33 44 55 66 77 88 99 AA BB CC DD EE");
        row("config 13", ":020000040030CA\n:0D000000112233445566778899AABBCCDD\n", 1017,
            "07 00*14");
        row("config 15", ":020000040030CA\n:0F000000112233445566778899AABBCCDDEEFF\n", 1017,
            "07 00*14");
    }

    void programSequence() {
        QFETCH(QByteArray, hex);
        QFETCH(int, index);
        QFETCH(QByteArray, payload);
        QCOMPARE(sequenceFor(hex).at(index).toHex(' '), payload.toHex(' '));
    }

    void tableWrites() {
        const QVector<QByteArray> runs = eepromWriteSequence(bytes("07 07 07"));
        QCOMPARE(runs.size(), 5);
        QCOMPARE(runs.at(0), bytes("05 FA 00 00 07 07 07 00*247"));
        QCOMPARE(eepromWriteSequence(bytes("01*1030")).at(4), bytes("05 18 03 E8 01*24"));
        QCOMPARE(configWritePayload(bytes("00*13 AB")), bytes("07 00*13 AB"));
    }

    void cellTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("renderings");
        QTest::newRow("200") << "200" << 200 << "200 c8 11001000";
        QTest::newRow("0") << "0" << 0 << "0 0 0";
        QTest::newRow("300 keeps low bits") << "300" << 44 << "44 2c 101100";
        QTest::newRow("empty") << "" << 0 << "0 0 0";
        QTest::newRow("not a number") << "abc" << 0 << "0 0 0";
    }

    void cellTexts() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(QString, renderings);
        QCOMPARE(int(tableCellByte(text)), value);
        QCOMPARE(byteRenderings(quint8(value)).join(' '), renderings);
    }

    void answers_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("status"); // null when the status line is left alone
        QTest::addColumn<QString>("eepromRows");
        QTest::addColumn<QString>("configRows");
        QTest::addColumn<bool>("modeOff");

        const QString none;
        auto row = [&](const char *name, const char *answer, const QString &status) {
            QTest::newRow(name) << bytes(answer) << status << ""
                                << "" << false;
        };
        row("version", "00 01 0C", "Status : Reading Version -> 1.12");
        row("version short", "00 01", "Status : Reading Version -> Frame error");
        row("01 ignored", "01 05 06", none);
        row("program ok", "02 00", "Status : Writing Program -> Frame OK");
        row("program rejected", "02 08",
            "Status : Writing Program -> The received command by the ZQ is incorrect");
        row("program unknown", "02 09", "Status : Writing Program -> Response unknown");
        row("program long", "02 00 00", "Status : Writing Program -> Frame error");
        row("erase ok", "03 00", "Status : Erasing Program -> OK");
        row("erase status 1", "03 01", "Status : Erasing Program -> Frame error");
        row("erase short", "03", "Status : Erasing Program -> Frame error");
        row("eeprom short", "04 02 00 10 41", "Status : Reading EEPROM Data -> Frame error");
        row("eeprom no count", "04", "Status : Reading EEPROM Data -> Frame error");
        row("eeprom write ok", "05 00", none);
        row("eeprom write rejected", "05 08",
            "Status : Writing EEPROM Data -> The received command by the ZQ is incorrect");
        row("eeprom write unknown", "05 09", "Status : Writing EEPROM Data -> Response unknown");
        row("eeprom write short", "05", "Status : Writing EEPROM Data -> Frame error");
        row("config short", "06 00*13", "Status : Reading Config -> Frame error");
        row("config ok", "07 00", "Status : Writing Config -> OK");
        row("config 8", "07 08", "Status : Writing Config -> Response unknown");
        row("config 9", "07 09",
            "Status : Writing Config -> The received command by the ZQ is incorrect");
        row("config long", "07 00 00", "Status : Writing Config -> Frame error");
        row("error report", "3E 02 07", "Status : Receiving Error -> Base = 2; Error Num = 7\n");
        row("error report short", "3E 02", "Status : Receiving unknown Error\n");
        row("user program short", "CC", "Status : Starting User Program -> Frame error");
        row("code 08", "08", "Status : Serial Port -> Unknown data");
        row("empty", "", "Status : Serial Port -> Unknown data");

        QTest::newRow("eeprom rows") << bytes("04 02 00 10 41 FF") << none << "16=65 17=255"
                                     << "" << false;
        QTest::newRow("eeprom past end") << bytes("04 02 03 FF AA BB") << none << "1023=170"
                                         << "" << false;
        QTest::newRow("config rows")
            << bytes("06 00 01 02 03 04 05 06 07 08 09 0A 0B 0C FF") << none << ""
            << "0=0 1=1 2=2 3=3 4=4 5=5 6=6 7=7 8=8 9=9 10=10 11=11 12=12 13=255" << false;
        QTest::newRow("user program") << bytes("CC 55") << none << ""
                                      << "" << true;
    }

    void answers() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, status);
        // An exact-size copy, so a sanitizer build catches any read past the answer.
        const std::vector<quint8> data(answer.cbegin(), answer.cend());
        const BootloaderAnswer result = handleAnswer(data.data(), int(data.size()));
        QCOMPARE(result.setsStatus, !status.isNull());
        QCOMPARE(result.status, status);
        QTEST(rowsText(result.eepromRows), "eepromRows");
        QTEST(rowsText(result.configRows), "configRows");
        QTEST(result.bootloaderModeOff, "modeOff");
    }
};

QTEST_GUILESS_MAIN(TestBootloaderProtocol)
#include "tst_bootloader_protocol.moc"
