// zqctl as a technician or a script runs it: a process talking to the
// simulated unit (zq-sim) over a pseudo-terminal, judged by what it prints and
// by its exit status; and once against a scripted unit that stores a byte wrong.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "FullImage.h"
#include "HexRecord.h"
#include "HexWriter.h"
#include "PICProgram.h"
#include "PeerThread.h"
#include "Pty.h"
#include "SimProcess.h"
#include "SimSupport.h"
#include "Unit.h"
#include "frame.h"

#include <atomic>
#include <csignal>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace sim_support;

constexpr int kProcessWaitMs = 60000;
constexpr int kCorruptedEepromAddress = 0x123;

QString zqctlProgram() {
    return qEnvironmentVariable("ZQ_BIN_DIR", QCoreApplication::applicationDirPath() + "/..") +
           "/zqctl/zqctl";
}

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result runZqctl(const QStringList &args, const QByteArray &input = {}) {
    QProcess p;
    p.start(zqctlProgram(), args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(kProcessWaitMs))
        p.kill();
    p.waitForFinished();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The frames of a --log file without their time stamps: "> 0F 0F ..." or "< ...".
QStringList logFrames(const QString &path) {
    QStringList frames;
    for (const QString &line : QString::fromUtf8(readFile(path)).split('\n')) {
        const QString frame = line.section(' ', 2);
        if (frame.startsWith("> ") || frame.startsWith("< "))
            frames << frame;
    }
    return frames;
}

} // namespace

class TestZqctl : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(zqctlProgram()), qPrintable(zqctlProgram()));
        QVERIFY2(QFile::exists(SimProcess::defaultProgram()),
                 qPrintable(SimProcess::defaultProgram()));
        QVERIFY(dir_.isValid());
        QVERIFY(writeFile(dir_.filePath("image.hex"), image_.file));
    }

    void consoleCommands_data() {
        QTest::addColumn<int>("edition");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("exitCode");
        auto row = [](const char *name, int edition, const char *args, const char *out,
                      int exitCode, const QByteArray &input = {}) {
            QTest::newRow(name) << edition << QString::fromLatin1(args) << input
                                << QString::fromUtf8(out) << exitCode;
        };
        const QByteArray code = "qebor2751\n";
        row("version", 5, "version", "Software Version : 5-0/21-5\n", 0);
        row("info", 5, "info",
            "Flash Counter : 0\nFlash Request : 0\nCharge Voltage : 270 V\nTemperature : +25 °C\n",
            0);
        row("diagnosis", 5, "diagnosis", "Diagnosis Result -> 0 0 0 0 25 0\n", 0);
        row("flash status before a flash", 4, "flash-status", "Flash Status -> Flash missed\n", 1);
        row("eeprom status", 3, "eeprom-status",
            "Reading EEPROM Status -> 0 write operation failed\n", 0);
        row("calibration status", 5, "calibration-status", "Flash calibrated\n", 0);
        row("calibration level", 5, "calibration 3", "Calibration -> |3|0|18|\n", 0);
        row("flash trigger 2", 5, "flash 2",
            "Command Generate Flash with Trigger 2 OK. For more information, read flash status\n",
            0);
        row("flash high on 3", 3, "flash high", "High Flash Generated\n", 0);
        row("flash low on 1", 1, "flash low", "Low Flash Generated\n", 0);
        row("read trigger", 5, "read-trigger 1",
            "Trigger = 1 Number of flashes = 1\nEnergy flash 1 = 100 Time before flash 1 = 0\n", 0);
        row("set trigger", 4, "set-trigger 2 --energies 100,50 --times 1000,300",
            "Setting Sequence Flash of Trigger 2 OK\n", 0);
        row("save triggers", 5, "save-triggers", "Energy levels saved\n", 0);
        row("output mode", 5, "output-mode 1", "Setting Output Trigger Mode OK\n", 0);
        row("energy level", 2, "energy-level high 120", "Changing High Energy Level OK\n", 0);
        row("energy levels", 3, "read-energy-levels",
            "High Energy Level = 200; Low Energy Level = 50\n", 0);
        row("sequence start", 5, "sequence start --period 200 --energy 5",
            "Sequence Test Started\n", 0);
        row("sequence stop", 1, "sequence stop", "Sequence Test Stoped\n", 0);
        row("standby", 2, "standby partial", "Partial Standby -> ON\n", 0);
        row("reset, unanswered", 5, "reset both", "reset both sent; the unit does not answer it\n",
            0);
        row("charge voltage", 5, "charge-voltage 250", "Writing Charge Voltage OK\n", 0, code);
        row("charge voltage on 1", 1, "charge-voltage 250", "Writing Charge Voltage OK\n", 0, code);
        row("memory reset", 3, "reset-memory", "Erasing EEPROM OK\n", 0, code);
        row("calibrate", 5, "calibrate", "Calibration OK\n", 0, code);
        row("wrong code", 5, "reset-memory", "", 1, "qebor2750\n");
        row("no code", 5, "calibrate", "", 64);
        row("json", 5, "version --json",
            "{\"code\":13,\"failed\":false,\"label\":\"software-version\",\"lines\":[\"Software "
            "Version : 5-0/21-5\"],\"payload\":\"0D 05 00 15 05\"}\n",
            0);
        row("not in this edition", 3, "read-trigger 1", "", 64);
        row("bad argument", 5, "flash 3", "", 64);
        row("voltage out of range", 5, "charge-voltage 350", "", 64, code);
    }
    void consoleCommands() {
        QFETCH(int, edition);
        QFETCH(QString, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, out);
        QFETCH(int, exitCode);
        SimProcess sim;
        QVERIFY(sim.start({"--edition", QString::number(edition)}));
        const Result r = runZqctl(args.split(' ') + QStringList{"--port", sim.path(), "--edition",
                                                                QString::number(edition)},
                                  input);
        QCOMPARE(r.out, out);
        QCOMPARE(r.exitCode, exitCode);
        // A refusal says why on standard error; a success says nothing there.
        QCOMPARE(r.err.isEmpty(), exitCode == 0 || !out.isEmpty());
    }

    void settingsReadBack() {
        SimProcess sim;
        QVERIFY(sim.start({}));
        const QStringList port{"--port", sim.path()};
        QCOMPARE(
            runZqctl(QStringList{"set-trigger", "1", "--energies", "7,8,9", "--times", "10,20,30"} +
                     port)
                .exitCode,
            0);
        QCOMPARE(runZqctl(QStringList{"read-trigger", "1"} + port).out,
                 QString("Trigger = 1 Number of flashes = 3\n"
                         "Energy flash 1 = 7 Time before flash 1 = 10\n"
                         "Energy flash 2 = 8 Time between flash 1 & 2 = 20\n"
                         "Energy flash 3 = 9 Time between flash 2 & 3 = 30\n"));
        QCOMPARE(runZqctl(QStringList{"flash", "1"} + port).exitCode, 0);
        QCOMPARE(runZqctl(QStringList{"info"} + port).out.section('\n', 0, 1),
                 QString("Flash Counter : 3\nFlash Request : 1"));
    }

    void errorPaths_data() {
        QTest::addColumn<QString>("simArgs"); // "-": no unit at all
        QTest::addColumn<QString>("args");    // PORT and DIR are filled in
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        auto row = [](const char *name, const char *sim, const char *args, int exitCode,
                      const char *err) {
            QTest::newRow(name) << QString::fromLatin1(sim) << QString::fromLatin1(args) << exitCode
                                << QString::fromLatin1(err);
        };
        row("no answer, asked again", "--never-answer",
            "version --port PORT --timeout 300 --retries 1", 2,
            "zqctl: no answer from the unit within 300 ms; sending it again once the line is back "
            "in step (retry 1 of 1)\nzqctl: no answer from the unit within 300 ms, nor to the "
            "flash "
            "counter read (00) sent to bring the line back in step within 300 ms\n");
        row("no bootloader answer", "--never-answer",
            "firmware write DIR/image.hex --port PORT --timeout 300 --retries 0", 2,
            "zqctl: no answer to the software version read before the bootloader within 300 ms, "
            "nor to the version read (00) sent to bring the line back in step within 300 ms\n");
        row("one unit under two names", "", "info --port PORT --port ALIAS", 64,
            "zqctl: --port PORT and --port ALIAS are the same device\n");
        row("no such device", "-", "version --port /dev/zq-none", 2,
            "zqctl: cannot open /dev/zq-none: No such file or directory\n");
        row("no such port name", "-", "info --port zq-none", 2,
            "zqctl: no serial port named 'zq-none'; 'zqctl ports' lists them\n");
        row("error status", "--edition 1", "charge-voltage 250 --port PORT", 1, "");
        row("error report", "--edition 5", "read-energy-levels --port PORT --edition 3", 1, "");
        row("usage", "-", "", 64, "zqctl: no command given; try 'zqctl --help'\n");
        row("missing file", "-", "hex-info DIR/none.hex", 64,
            "zqctl: cannot read DIR/none.hex: No such file or directory\n");
        row("missing firmware", "-", "firmware write DIR/none.hex --port /dev/null", 64,
            "zqctl: cannot read DIR/none.hex: No such file or directory\n");
        row("folder", "-", "hex-info DIR", 64,
            "zqctl: cannot read DIR: a folder, not a file; nothing was read\n");
        row("device", "-", "hex-info /dev/zero", 64,
            "zqctl: cannot read /dev/zero: a device, not a file; nothing was read\n");
        row("FIFO", "-", "eeprom write DIR/fifo --port /dev/null", 64,
            "zqctl: cannot read DIR/fifo: a FIFO, not a file; nothing was read\n");
        row("oversized", "-", "firmware write DIR/huge.hex --port /dev/null", 64,
            "zqctl: cannot read DIR/huge.hex: 16777217 bytes, more than the 16777216 allowed; "
            "nothing was read\n");
        row("code file a device", "-", "reset-memory --access-code-file /dev/zero --port /dev/null",
            64, "zqctl: cannot read /dev/zero: a device, not a file; nothing was read\n");
        const char *refusal = "zqctl: refusing to write: the unit would not get what DIR/%1 says "
                              "(--force writes it anyway, as the firmware window would)\n";
        row("broken firmware", "-", "firmware write DIR/broken.hex --port /dev/null", 1,
            qPrintable("zqctl: line 1: checksum error: the record says 0x00, its bytes need 0xEB\n"
                       "zqctl: 0 configuration bytes instead of 14: the firmware window writes 14 "
                       "zero bytes instead\n" +
                       QString(refusal).arg("broken.hex")));
        row("backup cut short", "-", "eeprom write DIR/cut.hex --port /dev/null", 1,
            qPrintable("zqctl: no end-of-file record (:00000001FF): the file may be cut short, and "
                       "the window would write the missing rest as blank\n" +
                       QString(refusal).arg("cut.hex")));
        row("two values at one address", "-", "firmware write DIR/twice.hex --port /dev/null", 1,
            qPrintable(
                "zqctl: line 4: 0x000300-0x000302 already given, the first of them on line 2\n"
                "zqctl: line 4: 0x000303 given again with other values, the first of them on "
                "line 2\n" +
                QString(refusal).arg("twice.hex")));
        row("log onto a FIFO", "-", "version --port /dev/null --log DIR/fifo", 64,
            "zqctl: cannot write DIR/fifo: a FIFO, not a file; nothing was sent\n");
        row("log onto a device", "-", "version --port /dev/null --log /dev/full", 64,
            "zqctl: cannot write /dev/full: a device, not a file; nothing was sent\n");
        row("unwritable backup", "-", "eeprom read --out DIR/no/such.hex --port /dev/null", 64, "");
    }
    void errorPaths() {
        QFETCH(QString, simArgs);
        QFETCH(QString, args);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QVERIFY(writeFile(dir_.filePath("broken.hex"), ":04030000AABBCCDD00\n:00000001FF\n"));
        const QByteArray backup = zqctl::eepromHex(image_.eeprom);
        QVERIFY(writeFile(dir_.filePath("cut.hex"), backup.left(backup.lastIndexOf(":"))));
        const QByteArray config = zq::hex::record(4, 0, QByteArray::fromHex("0030")) +
                                  zq::hex::record(0, 0, image_.config) + ":00000001FF\n";
        QVERIFY(writeFile(dir_.filePath("twice.hex"),
                          zq::hex::record(4, 0, QByteArray::fromHex("0000")) +
                              zq::hex::record(0, 0x300, QByteArray::fromHex("AABBCCDD")) +
                              zq::hex::record(4, 0, QByteArray::fromHex("0000")) +
                              zq::hex::record(0, 0x300, QByteArray::fromHex("AABBCCDE")) + config));
        QFile huge(dir_.filePath("huge.hex")); // sparse: no disk space taken
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(16 * 1024 * 1024 + 1));
        QVERIFY(QFile::exists(dir_.filePath("fifo")) ||
                ::mkfifo(QFile::encodeName(dir_.filePath("fifo")).constData(), 0600) == 0);
        SimProcess sim;
        if (simArgs != "-")
            QVERIFY(sim.start(simArgs.split(' ', Qt::SkipEmptyParts)));
        // The same pseudo-terminal by another path.
        const QString alias = QString(sim.path()).replace("/dev/pts/", "/dev//pts/./");
        args.replace("PORT", sim.path()).replace("ALIAS", alias).replace("DIR", dir_.path());
        err.replace("PORT", sim.path()).replace("ALIAS", alias).replace("DIR", dir_.path());
        // The access code is there for the commands that read it.
        const Result r = runZqctl(args.isEmpty() ? QStringList() : args.split(' '), "qebor2751\n");
        QCOMPARE(r.exitCode, exitCode);
        if (err.startsWith('~')) // after progress lines
            QVERIFY2(r.err.endsWith(err.mid(1)), qPrintable(r.err));
        else if (!err.isEmpty())
            QCOMPARE(r.err, err);
        if (exitCode == 1 && err.isEmpty())
            QVERIFY2(r.out.contains("Error"), qPrintable(r.out));
    }

    void logFile() {
        SimProcess sim;
        QVERIFY(sim.start({}));
        const QString log = dir_.filePath("frames.log");
        const Result r = runZqctl({"version", "--port", sim.path(), "--log", log});
        QCOMPARE(r.out, QString("Software Version : 5-0/21-5\n"));
        const QStringList lines = QString::fromUtf8(readFile(log)).split('\n');
        const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
        QCOMPARE(lines.value(0).remove(stamp), QString("> 0F 0F 01 0D 00 AA"));
        QCOMPARE(lines.value(1).remove(stamp), QString("< 0F 0F 05 0D 05 00 15 05 00 AA"));
        QCOMPARE(QFile::permissions(log),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

        // The access code, from a file here, reaches the unit but not the log.
        QVERIFY(writeFile(dir_.filePath("code"), "qebor2751\n"));
        QCOMPARE(runZqctl({"reset-memory", "--port", sim.path(), "--log", log, "--access-code-file",
                           dir_.filePath("code")})
                     .out,
                 QString("Erasing EEPROM OK\n"));
        QCOMPARE(logFrames(log).value(2),
                 QString("> 0F 0F 0A 02 ** ** ** ** ** ** ** ** ** 00 AA"));
        QVERIFY(!readFile(log).contains("71 65 62 6F 72"));
    }

    // Ctrl-C at the access code prompt must not leave the terminal without echo.
    void promptGivesTheTerminalBack() {
        Pty terminal;
        QVERIFY(terminal.isOpen());
        termios attributes{};
        const auto echo = [&] {
            ::tcgetattr(terminal.slaveFd(), &attributes);
            return (attributes.c_lflag & ECHO) != 0;
        };
        ::tcgetattr(terminal.slaveFd(), &attributes);
        attributes.c_lflag |= ECHO | ICANON;
        ::tcsetattr(terminal.slaveFd(), TCSANOW, &attributes);
        QProcess p;
        p.setStandardInputFile(terminal.slavePath());
        p.start(zqctlProgram(), {"calibrate", "--port", "/dev/null"});
        QTRY_VERIFY_WITH_TIMEOUT(!echo(), 10000);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QVERIFY(echo());
    }

    // Each payload waits for the answer with its code: the unit's own reports
    // in between are shown and counted and never let the next payload go.
    void reportsNeverFreeTheLine() {
        constexpr int kBaud = 460800;
        SimProcess sim;
        QVERIFY(sim.start({"--baud", QString::number(kBaud), "--error-reports", "20"}));
        const QString log = dir_.filePath("reports.log");
        QElapsedTimer clock;
        clock.start();
        const Result r = runZqctl({"firmware", "write", dir_.filePath("image.hex"), "--verify",
                                   "--json", "--port", sim.path(), "--log", log});
        const qint64 elapsedMs = clock.elapsed();
        QCOMPARE(r.exitCode, 0);
        int reports = 0, reportsCounted = -1;
        for (const QString &line : r.out.split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            if (o.value("lines") == QJsonArray{"Reading Version -> 1.4"})
                reports = 0; // the write starts
            reports += o.value("report") == "unit" && o.value("code") == 62 ? 1 : 0;
            if (o.value("result") == "written")
                reportsCounted = reports == o.value("unit_reports").toInt() ? reports : -2;
        }
        QVERIFY2(reportsCounted > 10, qPrintable(r.out.left(2000)));
        // In the log, every frame sent is answered before the next goes out,
        // and the exchanges alone need this long on the line.
        qint64 exchangedBytes = 0;
        QString awaited;
        for (const QString &frame : logFrames(log)) {
            const QString code = frame.section(' ', 4, 4);
            if (frame.startsWith('>')) {
                QVERIFY2(awaited.isEmpty(), qPrintable("unanswered before " + frame));
                awaited = code;
            } else if (code != awaited) {
                continue; // a report
            } else {
                awaited.clear();
            }
            exchangedBytes += frame.count(' ');
        }
        QVERIFY(elapsedMs >= exchangedBytes * 10 * 1000 / kBaud);
    }

    void faultsOnTheLine_data() {
        QTest::addColumn<QString>("simArgs");
        QTest::addColumn<QString>("args"); // DIR is filled in
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // on standard error; empty: no retry
        QTest::addColumn<int>("sent");     // frames sent, or -1
        auto row = [](const char *name, const char *sim, const char *args, int exitCode,
                      const char *said, int sent = -1) {
            QTest::newRow(name) << QString::fromLatin1(sim) << QString::fromLatin1(args) << exitCode
                                << QString::fromLatin1(said) << sent;
        };
        const char *write = "firmware write DIR/image.hex --verify --timeout 100";
        row("lost answers", "--drop 2 --seed 3", write, 0, "no answer to payload");
        row("bad end bytes", "--bad-end 5 --seed 3", write, 0,
            "came with a bad end byte; sending it again");
        row("bad checksums", "--corrupt-checksum 5 --seed 3", write, 0,
            "came with a checksum error; sending it again");
        row("noise", "--noise 40 --seed 3", write, 0, "");
        row("damaged EEPROM run", "--bad-end 25 --seed 4",
            "eeprom read --out DIR/faults.hex --timeout 100", 0,
            "the answer to the EEPROM read came with a bad end byte; sending it again once the "
            "line is back in step (retry 1 of 3)");
        row("retry limit", "--drop 20 --seed 2",
            "firmware write DIR/image.hex --timeout 100 --retries 1", 2,
            "zqctl: no answer to payload 3 of 1018 (block 0x0380) within 100 ms (sent 2 times)\n"
            "zqctl: the write is incomplete after payload 2 of 1018 (block 0x0340): the unit "
            "confirmed 2 of 1018 payloads; it stays in its bootloader, and 'zqctl firmware write' "
            "with the same file again recovers it\n");
        row("an effect is sent once", "--drop 100", "flash 1 --timeout 100", 2,
            "zqctl: no answer from the unit within 100 ms; 'flash 1' may or may not have taken "
            "effect\n",
            1);
        row("a report instead of the answer", "--edition 1",
            "standby partial --edition 5 --timeout 100", 2,
            "zqctl: no answer from the unit within 100 ms; instead came Receiving Error -> Base = "
            "1; Error Num = 1 (3E 01 01): check that the unit runs the firmware of --edition 5; "
            "'standby partial' may or may not have taken effect\n");
        // Each of these broke the pairing by code alone: a write ended with
        // exit 0 and a block never written.
        const char *slowWrite = "firmware write DIR/image.hex --verify --timeout 400";
        row("late answer, then a lost block frame", "--late-answer 10:600 --lose-frame 20",
            slowWrite, 0, "the answer to payload 7 of 1018 (block 0x0480) came late");
        row("a unit slower than --timeout, one frame lost", "--delay 700 --lose-frame 20",
            slowWrite, 2, "a --timeout above that lets the unit answer in time");
        row("late answer, then an error answer to the last block",
            "--late-answer 10:600 --fail-frame 1017", slowWrite, 1,
            "zqctl: the unit refused payload 1012 of 1018 (block 0xFFC0)\n");
    }
    void faultsOnTheLine() {
        QFETCH(QString, simArgs);
        QFETCH(QString, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(int, sent);
        const QString dump = dir_.filePath("faults-dump");
        QDir(dump).removeRecursively();
        SimProcess sim;
        QVERIFY(sim.start(simArgs.split(' ') + QStringList{"--dump-dir", dump}));
        const QString log = dir_.filePath("faults.log");
        QFile::remove(log);
        args.replace("DIR", dir_.path());
        const Result r =
            runZqctl(args.split(' ') + QStringList{"--port", sim.path(), "--log", log});
        QCOMPARE(r.exitCode, exitCode);
        // Exit 0 only with the unit holding the image; any other end says why.
        if (exitCode == 0 && args.startsWith("firmware")) {
            sim.stop();
            QCOMPARE(readFile(dump + "/program.bin"), image_.program);
        }
        QVERIFY2(said.isEmpty() ? !r.err.contains("again") : r.err.contains(said),
                 qPrintable(r.err.right(1000)));
        if (sent >= 0)
            QCOMPARE(logFrames(log).filter(QRegularExpression("^>")).size(), sent);
    }

    // One process, several units: a silent one holds up and stops no other.
    void severalUnits() {
        SimProcess first, silent, second;
        QVERIFY(first.start({}) && silent.start({"--never-answer"}) && second.start({}));
        const QStringList ports{first.path(), silent.path(), second.path()};
        QStringList args{"eeprom",    "read", "--out",     dir_.filePath("backup-{port}.hex"),
                         "--timeout", "200",  "--retries", "0"};
        for (const QString &port : ports)
            args << "--port" << port;
        const Result r = runZqctl(args);
        QCOMPARE(r.exitCode, 2);
        // Each unit's lines start with its port; the table comes last.
        QVERIFY2(r.out.startsWith(ports[0] + ": ") || r.out.startsWith(ports[2] + ": "),
                 qPrintable(r.out));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QStringList table = lines.mid(lines.size() - 4);
        QVERIFY2(table.takeFirst().startsWith("port"), qPrintable(r.out));
        for (int i = 0; i < ports.size(); ++i) {
            const bool ok = i != 1;
            QVERIFY2(table[i].startsWith(ports[i]) &&
                         table[i].contains(ok ? "  ok  " : "  no answer  "),
                     qPrintable(table[i]));
            const QString backup =
                dir_.filePath("backup-" + ports[i].mid(5).replace('/', '-') + ".hex");
            QCOMPARE(QFile::exists(backup), ok);
        }
        QVERIFY2(
            r.err.contains(silent.path() + ": no answer to the bootloader start within 200 ms"),
            qPrintable(r.err));

        const Result json = runZqctl(args << "--json");
        const QStringList objects = json.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(objects.size(), 3);
        for (int i = 0; i < ports.size(); ++i) {
            const QJsonObject o = QJsonDocument::fromJson(objects[i].toUtf8()).object();
            QCOMPARE(o.value("port").toString(), ports[i]);
            QCOMPARE(o.value("exit").toInt(), i == 1 ? 2 : 0);
        }
    }

    // A reader that goes away (`| head -1`) stops the work on no unit.
    void closedOutput() {
        const QString dumps[] = {dir_.filePath("closed-1"), dir_.filePath("closed-2")};
        SimProcess first, second;
        QVERIFY(first.start({"--dump-dir", dumps[0]}) && second.start({"--dump-dir", dumps[1]}));
        QProcess zqctl, head;
        zqctl.setStandardOutputProcess(&head);
        head.start("head", {"-n", "1"});
        zqctl.start(zqctlProgram(), {"firmware", "write", dir_.filePath("image.hex"), "--port",
                                     first.path(), "--port", second.path()});
        QVERIFY(zqctl.waitForFinished(kProcessWaitMs) && head.waitForFinished());
        QCOMPARE(zqctl.exitStatus(), QProcess::NormalExit);
        QCOMPARE(zqctl.exitCode(), 0);
        QVERIFY(zqctl.readAllStandardError().contains("standard output is closed"));
        first.stop();
        second.stop();
        for (const QString &dump : dumps)
            QCOMPARE(readFile(dump + "/program.bin"), image_.program);
    }

    // Ctrl-C mid-write: the payload on the line is finished, the unit is left
    // in its bootloader with a word on where it stands, and the same write
    // again recovers it.
    void interruptedWrite() {
        const QString dump = dir_.filePath("interrupted");
        SimProcess sim;
        QVERIFY(sim.start({"--delay", "2", "--dump-dir", dump}));
        const QStringList write{"firmware", "write", dir_.filePath("image.hex"), "--port",
                                sim.path()};
        QProcess p;
        p.setReadChannel(QProcess::StandardError); // where the progress goes
        p.start(zqctlProgram(), write);
        QByteArray err;
        while (!err.contains(" 10% ") && p.waitForReadyRead(kProcessWaitMs))
            err += p.readAllStandardError();
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(kProcessWaitMs));
        err += p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::CrashExit); // ended by SIGINT, as the shell expects
        QVERIFY2(QRegularExpression("stopped by SIGINT: the write is incomplete after payload "
                                    "\\d+ of 1018 \\(block 0x[0-9A-F]{4}\\): the unit confirmed "
                                    "\\d+ of 1018 payloads; it stays in its bootloader")
                     .match(QString::fromUtf8(err))
                     .hasMatch(),
                 err.constData());
        QCOMPARE(runZqctl(write).exitCode, 0);
        sim.stop();
        QCOMPARE(readFile(dump + "/program.bin"), image_.program);
    }

    void firmwareWriteVerifies() {
        SimProcess sim;
        const QString dump = dir_.filePath("dump");
        QVERIFY(sim.start({"--dump-dir", dump}));
        const Result r = runZqctl(
            {"firmware", "write", dir_.filePath("image.hex"), "--verify", "--port", sim.path()});
        QCOMPARE(r.exitCode, 0);
        // The software version before and after, for the production line's records.
        QStringList out = r.out.split('\n');
        QCOMPARE(out.takeFirst(), QString("Software Version : 5-0/21-5"));
        QCOMPARE(out.value(0), QString("Reading Version -> 1.4"));
        QVERIFY2(
            QRegularExpression("^Wrote 1018 payloads \\(\\d+ bytes on the line\\) in [0-9.]+ s: "
                               "0 error answers$")
                .match(out.value(1))
                .hasMatch(),
            qPrintable(out.value(1)));
        QCOMPARE(out.mid(2),
                 QStringList({"Verified: EEPROM (1024 bytes) and configuration (14 bytes) "
                              "read back as written",
                              "Bootloader left; the unit's program runs",
                              "Software Version : 5-0/21-5", ""}));
        QVERIFY(r.err.contains("100% 1018/1018 payloads"));
        sim.stop();
        QCOMPARE(readFile(dump + "/program.bin"), image_.program);
        QCOMPARE(readFile(dump + "/eeprom.bin"), image_.eeprom);
        QCOMPARE(readFile(dump + "/config.bin"), image_.config);
    }

    void corruptedWriteFailsVerify() {
        Pty pty;
        QVERIFY(pty.isOpen());
        // The simulated unit's bootloader, except that one EEPROM byte is stored wrong.
        zq::sim::Unit unit;
        std::atomic<bool> leftBootloader{false};
        PeerThread peer(pty.masterFd(), [&](QByteArray payload) {
            if (payload.size() > 4 && quint8(payload[0]) == 0x05) {
                const int start = (quint8(payload[2]) << 8) | quint8(payload[3]);
                const int at = kCorruptedEepromAddress - start;
                if (at >= 0 && at < quint8(payload[1]))
                    payload[4 + at] = char(payload[4 + at] ^ 0x10);
            }
            leftBootloader = leftBootloader || quint8(payload[0]) == 0xCC;
            return unit.handle(payload);
        });
        const Result r = runZqctl({"firmware", "write", dir_.filePath("image.hex"), "--verify",
                                   "--port", pty.slavePath()});
        QCOMPARE(r.exitCode, 1);
        const quint8 wrote = quint8(image_.eeprom[kCorruptedEepromAddress]);
        QCOMPARE(wrote, quint8(0xC8)); // 0x123 * 13 + 1, low byte
        QVERIFY2(r.out.endsWith("Verify failed: EEPROM address 0x0123: wrote 0xC8, read 0xD8\n"),
                 qPrintable(r.out));
        // A unit whose write went wrong stays in its bootloader for another try.
        QVERIFY(r.err.contains("staying in the bootloader"));
        QVERIFY(!leftBootloader);
    }

    void backupAndRestore() {
        const QString eepromBackup = dir_.filePath("eeprom-backup.hex");
        const QString configBackup = dir_.filePath("config-backup.hex");
        {
            SimProcess source;
            QVERIFY(source.start({}));
            const QStringList port{"--port", source.path()};
            QCOMPARE(runZqctl(QStringList{"firmware", "write", dir_.filePath("image.hex")} + port)
                         .exitCode,
                     0);
            const Result e = runZqctl(QStringList{"eeprom", "read", "--out", eepromBackup} + port);
            QCOMPARE(e.out, QString("Reading Version -> 1.4\nEEPROM: 1024 bytes saved to %1\n"
                                    "Bootloader left; the unit's program runs\n")
                                .arg(eepromBackup));
            QCOMPARE(
                runZqctl(QStringList{"config", "read", "--out", configBackup, "--stay"} + port).out,
                QString("Reading Version -> 1.4\nConfiguration: 14 bytes saved to %1\n")
                    .arg(configBackup));
            // "-" is standard output, which then carries the file alone.
            QCOMPARE(runZqctl(QStringList{"config", "read", "--out", "-", "--stay"} + port).out,
                     QString::fromLatin1(zqctl::configHex(image_.config)));
        }
        // The backups are files the firmware window reads as well.
        PICProgram program;
        QCOMPARE(program.readHexFile(eepromBackup), 0);
        QCOMPARE(program.eepromBytes().size(), 1024);
        QCOMPARE(readFile(configBackup), zqctl::configHex(image_.config));

        SimProcess target;
        const QString dump = dir_.filePath("restored");
        QVERIFY(target.start({"--dump-dir", dump}));
        const QStringList port{"--port", target.path()};
        const Result e = runZqctl(QStringList{"eeprom", "write", eepromBackup} + port);
        QCOMPARE(e.exitCode, 0);
        QVERIFY2(e.out.contains("Verified: EEPROM (1024 bytes) read back as written\n"),
                 qPrintable(e.out));
        QCOMPARE(runZqctl(QStringList{"config", "write", configBackup} + port).exitCode, 0);
        target.stop();
        QCOMPARE(readFile(dump + "/eeprom.bin"), image_.eeprom);
        QCOMPARE(readFile(dump + "/config.bin"), image_.config);
    }

private:
    QTemporaryDir dir_;
    FullImage image_;
};

QTEST_GUILESS_MAIN(TestZqctl)
#include "tst_zqctl.moc"
