// zqctl's pure parts: the command line, the payloads it asks for, how answers
// are judged, the HEX files it writes and the findings of its HEX checker.

#include <QBuffer>
#include <QtTest>

#include "BootImage.h"
#include "Bytes.h"
#include "CommandLine.h"
#include "ConsoleRequest.h"
#include "HexChecker.h"
#include "HexWriter.h"
#include "PICProgram.h"
#include "Printed.h"

using namespace zqctl;

namespace {

PICProgram *readBack(const QByteArray &file) {
    auto *program = new PICProgram;
    QByteArray copy = file;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    return program->readHex(buffer) == 0 ? program : (delete program, nullptr);
}

const char kConfigLines[] = ":020000040030CA\n:0E0000001112131415161718191A1B1C1D1EA9\n";

} // namespace

class TestZqctlCore : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data() {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("outcome"); // "run" or the usage error
        auto row = [](const char *name, const char *args, const char *outcome) {
            QTest::newRow(name) << QString::fromLatin1(args) << QString::fromLatin1(outcome);
        };
        row("plain", "version --port /dev/x", "run");
        row("options anywhere", "--edition 3 flash --port=/dev/x high", "run");
        row("two words", "sequence start --port /dev/x --period 200", "run");
        row("no command", "--port /dev/x", "no command given; try 'zqctl --help'");
        row("unknown", "fire --port /dev/x", "unknown command 'fire'; try 'zqctl --help'");
        row("no port", "version", "'version' needs --port; 'zqctl ports' lists them");
        row("local needs no port", "hex-info a.hex", "run");
        row("edition lacks it", "read-trigger 1 --port p --edition 2",
            "edition 2 has no 'read-trigger' (editions 4-5 only)");
        row("older command on 5", "energy-level high 3 --port p",
            "edition 5 has no 'energy-level' (editions 1-3 only)");
        row("foreign option", "version --port p --verify", "'version' has no option --verify");
        row("missing argument", "calibration --port p", "usage: zqctl [options] calibration LEVEL");
        row("extra argument", "info now --port p", "usage: zqctl [options] info");
        row("option values are not arguments", "eeprom read --out f.hex --port p", "run");
        row("bad sub-command", "sequence pause --port p", "'sequence' takes start or stop");
        row("bad edition", "version --port p --edition 6",
            "--edition takes a whole number from 1 to 5, not '6'");
        row("bad baud", "version --port p --baud 9600x",
            "--baud takes a whole number from 1 to 4000000, not '9600x'");
        row("bad timeout", "version --port p --timeout 0",
            "--timeout takes milliseconds from 1 to 600000, not '0'");
        row("unknown option", "version --port p --fast", "Unknown option 'fast'.");
        row("program version", "--version", "zqctl 1.0\n");
        row("several units", "firmware write f.hex --port a --port b", "run");
        row("one unit only", "flash 1 --port a --port b", "'flash' takes one --port");
        row("a port twice", "info --port a --port a", "--port a is given twice");
        row("one backup per unit", "eeprom read --out e.hex --port a --port b",
            "with several ports, --out needs {port} in the file name, like eeprom-{port}.hex, so "
            "that each unit gets a file of its own");
        row("backups by port", "config read --out c-{port}.hex --port /dev/pts/1 --port pts/1",
            "--port /dev/pts/1 and --port pts/1 would both write c-pts-1.hex");
    }
    void commandLine() {
        QFETCH(QString, args);
        QFETCH(QString, outcome);
        const ParseResult r = parseCommandLine(args.split(' '));
        QCOMPARE(r.kind == ParseResult::Run ? QStringLiteral("run") : r.text, outcome);
    }

    void help() {
        const ParseResult program = parseCommandLine({QStringLiteral("--help")});
        QCOMPARE(program.kind, ParseResult::Help);
        // 80 columns, here and in every command's help; the man page made from
        // it shows every command with its arguments.
        QString all = program.text;
        for (const CommandInfo &c : commandTable())
            all += commandHelp(QString::fromLatin1(c.name));
        for (const QString &line : all.split('\n'))
            QVERIFY2(line.size() <= 80, qPrintable(line));
        QVERIFY(
            program.text.contains("\n  set-trigger 1|2 --energies E1[,E2..] --times T1[,T2..]\n"));
        const ParseResult sequence = parseCommandLine({"sequence", "--help"});
        QVERIFY(sequence.text.startsWith("Usage: zqctl [options] sequence start [--period MS] "
                                         "[--energy E]\n"));
        QVERIFY(sequence.text.contains("Usage: zqctl [options] sequence stop\n"));
        QVERIFY(parseCommandLine({"charge-voltage", "-h"}).text.contains("access code"));
    }

    void consoleRequest_data() {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("payloads"); // hex, one payload per '|', or the usage error
        auto row = [](const char *name, const char *args, const char *payloads) {
            QTest::newRow(name) << QString::fromLatin1(args) << QString::fromLatin1(payloads);
        };
        row("trigger 1", "flash 1", "04");
        row("trigger 2", "flash 2", "03");
        row("high level on 3", "--edition 3 flash high", "03");
        row("low level on 1", "--edition 1 flash low", "04");
        row("trigger word on 3", "--edition 3 flash 1", "edition 3 flashes 'high' or 'low'");
        row("level word on 5", "flash high", "edition 5 flashes on trigger 1 or 2");
        row("info is the poll", "info", "00|01|0a|0b");
        row("read trigger 2", "read-trigger 2", "0802");
        row("set trigger", "set-trigger 1 --energies 100,50 --times 1000,300", "1702643203e8012c");
        row("set trigger, 4 flashes", "set-trigger 2 --energies 1,2,3,4 --times 5,6,7,8",
            "1804010203040005000600070008");
        row("set trigger, counts differ", "set-trigger 1 --energies 1,2 --times 5",
            "--energies and --times need one value per flash each");
        row("set trigger, 5 flashes", "set-trigger 1 --energies 1,2,3,4,5 --times 1,2,3,4,5",
            "--energies takes 1 to 4 numbers from 0 to 255, like 100,50");
        row("sequence defaults", "sequence start", "090a01f400");
        row("sequence values", "sequence start --period 65535 --energy 255", "090affffff");
        row("sequence period 0", "sequence start --period 0",
            "--period takes 1 to 65535 ms, not '0'");
        row("charge voltage with code", "charge-voltage 270", "0c010e7165626f7232373531");
        row("charge voltage on 1", "--edition 1 charge-voltage 270", "0c010e");
        row("charge voltage range", "charge-voltage 301",
            "VOLTS is a number from 200 to 300, not '301'");
        row("memory reset on 1", "--edition 1 reset-memory", "02");
        row("memory reset with code", "reset-memory", "027165626f7232373531");
        row("energy level", "--edition 2 energy-level low 45", "062d");
        row("energy levels read", "--edition 3 read-energy-levels", "08");
        row("calibration status", "calibration-status", "1bffff");
        row("calibration level", "calibration 7", "1b07");
        row("standby", "standby partial", "11");
        row("reset com", "reset com", "14");
        row("output mode", "output-mode 1", "1901");
        row("output mode 2", "output-mode 2", "the output trigger mode is 0 or 1, not '2'");
    }
    void consoleRequest() {
        QFETCH(QString, args);
        QFETCH(QString, payloads);
        const ParseResult parsed = parseCommandLine((args + " --port p").split(' '));
        QCOMPARE(parsed.text, QString());
        const ConsoleRequest r = buildConsoleRequest(parsed.invocation);
        QStringList got;
        for (const QByteArray &p : r.payloads)
            got << QString::fromLatin1(p.toHex());
        QCOMPARE(r.usageError.isEmpty() ? got.join('|') : r.usageError, payloads);
        QCOMPARE(r.answered, !args.startsWith("reset "));
    }

    void answers_data() {
        QTest::addColumn<bool>("bootloader");
        QTest::addColumn<int>("edition");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<bool>("failed");
        auto row = [](const char *name, bool boot, int edition, const char *payload,
                      const char *lines, bool failed) {
            QTest::newRow(name) << boot << edition << hex(payload) << QString::fromUtf8(lines)
                                << failed;
        };
        row("memory erased", false, 5, "0200", "Erasing EEPROM OK", false);
        row("memory reset refused", false, 5, "020d", "Erasing EEPROM Error -> Frame error", true);
        row("wrong length", false, 5, "020000",
            "Erasing EEPROM Error -> The received data from the ZQ don't match with the command",
            true);
        row("label", false, 5, "00010203", "Flash Counter : 66051", false);
        row("label error", false, 5, "000102", "Flash Counter : ERROR", true);
        row("temperature", false, 5, "0b2d05", "Temperature : -5 °C", false);
        row("error report", false, 5, "3e0407", "Receiving Error -> Base = 4; Error Num = 7", true);
        row("flash missed", false, 5, "1203", "Flash Status -> Flash missed", true);
        row("low flash error on 3", false, 3, "0413",
            "Low Flash Error (More information: read flash status)", true);
        row("high flash missed on 1", false, 1, "0303", "High Flash Missed", true);
        row("calibrated", false, 5, "1b19", "Flash calibrated", false);
        row("calibration failed", false, 5, "1b1a", "Calibration Failed", true);
        row("unknown to edition 2", false, 2, "160000", "Receiving unknown Data", true);
        row("trigger lines", false, 5, "080102643203e8012c",
            "Trigger = 1 Number of flashes = 2\nEnergy flash 1 = 100 Time before flash 1 = 1000\n"
            "Energy flash 2 = 50 Time between flash 1 & 2 = 300",
            false);
        row("standby off", false, 5, "1000", "Complete Standby -> OFF", false);
        row("empty", false, 5, "", "Receiving empty buffer", true);
        row("block written", true, 5, "0200", "Writing Program -> Frame OK", false);
        row("config refused", true, 5, "0709",
            "Writing Config -> The received command by the ZQ is incorrect", true);
        row("version", true, 5, "000104", "Reading Version -> 1.4", false);
        row("EEPROM run fills the table only", true, 5, "0402001041ff", "", false);
        row("EEPROM run short", true, 5, "0402001041", "Reading EEPROM Data -> Frame error", true);
        row("boot error report", true, 5, "3e0207", "Receiving Error -> Base = 2; Error Num = 7",
            true);
    }
    void answers() {
        QFETCH(bool, bootloader);
        QFETCH(int, edition);
        QFETCH(QByteArray, payload);
        QFETCH(QString, lines);
        QFETCH(bool, failed);
        const Printed p = bootloader ? bootAnswer(payload) : consoleAnswer(edition, payload);
        QCOMPARE(p.lines.join('\n'), lines);
        QCOMPARE(p.failed, failed);
        QCOMPARE(p.json.value("failed").toBool(), failed);
        QCOMPARE(p.json.value("payload").toString(),
                 QString::fromLatin1(payload.toHex(' ').toUpper()));
    }

    void hexWriter_data() {
        QTest::addColumn<bool>("eeprom");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("file"); // empty: only the round trip is checked
        QTest::newRow("config") << false << hex("1112131415161718191A1B1C1D1E")
                                << QByteArray(kConfigLines) + ":00000001FF\n";
        QTest::newRow("short EEPROM") << true << hex("01020304")
                                      << QByteArray(":0200000400F00A\n:0400000001020304F2\n"
                                                    ":00000001FF\n");
        QByteArray eeprom(1024, '\0');
        for (int i = 0; i < eeprom.size(); ++i)
            eeprom[i] = char(i * 7 + 3);
        QTest::newRow("whole EEPROM") << true << eeprom << QByteArray();
        QTest::newRow("17 bytes: a short last record") << true << eeprom.left(17) << QByteArray();
    }
    void hexWriter() {
        QFETCH(bool, eeprom);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, file);
        const QByteArray written = eeprom ? eepromHex(bytes) : configHex(bytes);
        if (!file.isEmpty())
            QCOMPARE(written, file);
        QScopedPointer<PICProgram> program(readBack(written));
        QVERIFY(program);
        if (eeprom) {
            int named = 0;
            QCOMPARE(eepromFromImage(*program, &named).left(bytes.size()), bytes);
            QCOMPARE(named, bytes.size());
            QVERIFY(program->configBytes().isEmpty());
        } else {
            QCOMPARE(program->configBytes(), bytes);
            QVERIFY(program->eepromBytes().isEmpty());
        }
        const HexReport report = checkHex(written);
        QVERIFY(!report.recordsBroken);
    }

    void hexChecker_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("findings");
        // r: records broken, c: config unusable, e: end missing, x: contradiction, a: analyzable
        QTest::addColumn<QString>("flags");
        auto row = [](const char *name, const QByteArray &file, const char *findings,
                      const char *flags) {
            QTest::newRow(name) << file << QString::fromLatin1(findings)
                                << QString::fromLatin1(flags);
        };
        const QByteArray config = QByteArray(kConfigLines) + ":00000001FF\n";
        row("clean", ":04030000AABBCCDDEB\n" + config, "", "a");
        row("checksum", ":04030000AABBCCDDEC\n" + config,
            "line 1: checksum error: the record says 0xEC, its bytes need 0xEB", "ra");
        row("short record", ":04030000AABBCC\n" + config,
            "line 1: malformed record: 15 characters where its byte count needs 19, or digits "
            "that are not hex",
            "ra");
        row("blank line", kConfigLines + QByteArray("\n:00000001FF\n"),
            "line 3: empty line: the firmware window refuses the file", "r");
        row("no colon", kConfigLines + QByteArray(" :00000001FF\n"),
            "line 3: does not begin with ':': the firmware window refuses the file\n"
            "no end-of-file record (:00000001FF): the file may be cut short, and the window would "
            "write the missing rest as blank",
            "re");
        row("cut short", kConfigLines,
            "no end-of-file record (:00000001FF): the file may be cut "
            "short, and the window would write the missing rest as blank",
            "ea");
        row("below 0x0300, two lines told once",
            ":1002E00001010101010101010101010101010101FE\n:"
            "1002F00001010101010101010101010101010101EE\n" +
                config,
            "lines 1-2: program data at 0x0002E0-0x0002FF lies below 0x0300 and will not be "
            "written",
            "a");
        row("above 0xFFFF", ":020000040001F9\n:020000000506F3\n" + config,
            "line 2: program data at 0x010000-0x010001 lies above 0xFFFF and will not be written",
            "a");
        row("EEPROM past 1024", ":0200000400F00A\n:0403FE0001020304F1\n" + config,
            "line 2: EEPROM 0x0400-0x0401 lies past the 1024-byte EEPROM and will not be written",
            "a");
        row("contradicting program records", ":04030000AABBCCDDEB\n:04030200AABBCCDDE9\n" + config,
            "line 2: 0x000302-0x000303 given again with other values, the first of them on line 1",
            "xa");
        row("duplicate EEPROM",
            ":0200000400F00A\n:0400100001020304E2\n:0400100001020304E2\n" + config,
            "line 3: 0x0010-0x0013 already given, the first of them on line 2", "a");
        row("13 configuration bytes",
            ":020000040030CA\n:0D0000001112131415161718191A1B1C1DC8\n:00000001FF\n",
            "13 configuration bytes instead of 14: the firmware window writes 14 zero bytes "
            "instead",
            "ca");
        row("configuration out of place",
            ":020000040030CA\n:08000000111213141516171854\n:06000A00191A1B1C1D1E4B\n:00000001FF\n",
            "line 3: configuration bytes at 0x30000A follow 8 bytes: the window takes them in "
            "file order, not by address",
            "ca");
        row("record type 02", ":020400020102F5\n" + config,
            "line 1: record type 0x02 is read as data", "ra");
        row("ID locations are not a problem", ":020000040020DA\n:020000001122CB\n" + config, "",
            "a");
    }
    void hexChecker() {
        QFETCH(QByteArray, file);
        QFETCH(QString, findings);
        QFETCH(QString, flags);
        const HexReport r = checkHex(file);
        QStringList got;
        for (const HexProblem &p : r.problems)
            got << hexProblemText(p);
        QCOMPARE(got.join('\n'), findings);
        QString gotFlags;
        gotFlags += r.recordsBroken ? "r" : "";
        gotFlags += r.configUnusable ? "c" : "";
        gotFlags += r.endMissing ? "e" : "";
        gotFlags += r.contradictions != 0 ? "x" : "";
        gotFlags += r.analyzable ? "a" : "";
        QCOMPARE(gotFlags, flags);
    }

    void hexSummary() {
        const HexReport r = checkHex(":04030000AABBCCDDEB\n:0200000400F00A\n:0400100001020304E2\n"
                                     ":020000040020DA\n:020000001122CB\n" +
                                     QByteArray(kConfigLines) + ":00000001FF\n");
        QCOMPARE(hexReportLines(r).join('\n'),
                 QString("Program memory: 2 words in 0x0300-0xFFFF (the others are written as "
                         "0xFFFF)\nEEPROM: 4 of 1024 bytes (the others are written as 0x00)\n"
                         "Configuration: 14 bytes: 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E\n"
                         "ID locations: 2 bytes (never written)\nProblems: none"));
    }

    // The bootloader answers one EEPROM read with several runs; the read-back
    // is complete only when every address came, whatever the order.
    void eepromReadBack() {
        EepromReadBack back;
        auto run = [](int start, int count, char value) {
            QByteArray p = hex("04");
            p += char(count);
            p += char(start >> 8);
            p += char(start & 0xFF);
            p += QByteArray(count, value);
            return zq::boot::handleAnswer(reinterpret_cast<const quint8 *>(p.constData()),
                                          p.size());
        };
        back.add(run(1000, 24, 9));
        back.add(run(0, 250, 1));
        back.add(run(250, 250, 2));
        back.add(run(0, 250, 1)); // a repeated run counts once
        QCOMPARE(back.missing(), 500);
        back.add(run(500, 250, 3));
        back.add(run(750, 250, 4));
        QVERIFY(back.complete());
        QCOMPARE(back.bytes().mid(248, 4), hex("01010202"));
        QCOMPARE(back.bytes().right(1), hex("09"));
    }

    void mismatch() {
        const QVector<QByteArray> payloads =
            zq::boot::eepromWriteSequence(QByteArray(1024, 'A')) +
            QVector<QByteArray>{zq::boot::configWritePayload(hex("1112131415161718191A1B1C1D1E"))};
        QByteArray read = eepromFromPayloads(payloads);
        QCOMPARE(firstMismatch(eepromFromPayloads(payloads), read), -1);
        read[0x123] = 'B';
        read[0x200] = 'B';
        const int at = firstMismatch(eepromFromPayloads(payloads), read);
        QCOMPARE(eepromMismatchText(at, 'A', quint8(read[at])),
                 QString("EEPROM address 0x0123: wrote 0x41, read 0x42"));
        QCOMPARE(configFromPayloads(payloads), hex("1112131415161718191A1B1C1D1E"));
        QCOMPARE(configMismatchText(2, 0x13, 0x00),
                 QString("CONFIG2L (0x300002): wrote 0x13, read 0x00"));
    }
};

QTEST_GUILESS_MAIN(TestZqctlCore)
#include "tst_zqctl_core.moc"
