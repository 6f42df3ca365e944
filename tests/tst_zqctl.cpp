// zqctl as a technician or a script runs it: a process talking to the
// simulated unit (zq-sim) over a pseudo-terminal, judged by what it prints and
// by its exit status; and once against a scripted unit that stores a byte wrong.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "HexRecord.h"
#include "HexWriter.h"
#include "PICProgram.h"
#include "Pty.h"
#include "SimSupport.h"
#include "Unit.h"
#include "frame.h"

#include <atomic>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace sim_support;

constexpr int kProcessWaitMs = 60000;
constexpr int kCorruptedEepromAddress = 0x123;

QString zqctlProgram() {
    return qEnvironmentVariable("ZQ_BIN_DIR", QCoreApplication::applicationDirPath() + "/..") +
           "/zqctl/zqctl";
}

QString simProgram() {
    return qEnvironmentVariable("ZQ_SIM",
                                QCoreApplication::applicationDirPath() + "/../sim/zq-sim");
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

class Sim {
public:
    ~Sim() { stop(); }
    bool start(const QStringList &args) {
        process_.start(simProgram(), args + QStringList{"--quiet"});
        if (!process_.waitForStarted() || !process_.waitForReadyRead(5000))
            return false;
        path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        return !path_.isEmpty();
    }
    // Ends the unit; with --dump-dir it writes its memory first.
    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished();
    }
    QString path() const { return path_; }

private:
    QProcess process_;
    QString path_;
};

// A firmware image in the writable program range, a partly filled EEPROM and
// the 14 configuration bytes, each byte a function of its address.
struct Image {
    QByteArray program; // 0x0300 .. 0xFFFF
    QByteArray eeprom;  // the whole 1024, 0x00 where the file names nothing
    QByteArray config;
    QByteArray file;

    Image() : program(0x10000 - 0x300, '\0'), eeprom(1024, '\0') {
        file += zq::hex::record(4, 0, QByteArray::fromHex("0000"));
        for (int i = 0; i < program.size(); ++i)
            program[i] = char((i * 31 + 7) >> 3);
        for (int at = 0; at < program.size(); at += 16)
            file += zq::hex::record(0, 0x300 + at, program.mid(at, 16));
        for (int i = 0; i < 600; ++i)
            eeprom[i] = char(i * 13 + 1);
        file += zq::hex::record(4, 0, QByteArray::fromHex("00F0"));
        for (int at = 0; at < 600; at += 16)
            file += zq::hex::record(0, at, eeprom.mid(at, qMin(16, 600 - at)));
        config = QByteArray::fromHex("00220F0E00810085000F00C0000F0040");
        config.truncate(14);
        file += zq::hex::record(4, 0, QByteArray::fromHex("0030")) + zq::hex::record(0, 0, config);
        file += ":00000001FF\n";
    }
};

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A unit on a pseudo-terminal, run on its own thread: the simulated unit's
// bootloader, except that one EEPROM byte is stored wrong.
class CorruptingPeer {
public:
    explicit CorruptingPeer(Pty &pty) : fd_(pty.masterFd()), thread_([this] { run(); }) {}
    ~CorruptingPeer() {
        stop_ = true;
        thread_.join();
    }
    bool leftBootloader() const { return left_; }

private:
    void run() {
        zq::FrameReceiver rx;
        zq::FrameReceiver::Sink sink;
        sink.payload = [this](quint8 length, quint8 *buffer) {
            QByteArray payload(reinterpret_cast<const char *>(buffer), length);
            if (payload.size() > 4 && quint8(payload[0]) == 0x05) {
                const int start = (quint8(payload[2]) << 8) | quint8(payload[3]);
                const int at = kCorruptedEepromAddress - start;
                if (at >= 0 && at < quint8(payload[1]))
                    payload[4 + at] = char(payload[4 + at] ^ 0x10);
            }
            left_ = left_ || quint8(payload[0]) == 0xCC;
            for (const QByteArray &answer : unit_.handle(payload)) {
                const QByteArray frame = zq::buildFrame(answer, false);
                (void)!::write(fd_, frame.constData(), size_t(frame.size()));
            }
        };
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                rx.feed(reinterpret_cast<const quint8 *>(buffer), int(n), sink);
        }
    }

    int fd_;
    zq::sim::Unit unit_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> left_{false};
    std::thread thread_;
};

} // namespace

class TestZqctl : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(zqctlProgram()), qPrintable(zqctlProgram()));
        QVERIFY2(QFile::exists(simProgram()), qPrintable(simProgram()));
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
        Sim sim;
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
        Sim sim;
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
        row("no answer", "--never-answer", "version --port PORT --timeout 300", 2,
            "zqctl: no answer from the unit within 300 ms\n");
        row("no bootloader answer", "--never-answer",
            "firmware write DIR/image.hex --port PORT --timeout 300", 2,
            "zqctl: no answer to the bootloader's version read within 300 ms\n");
        row("answer lost mid-write", "--drop 1 --seed 1",
            "firmware write DIR/image.hex --port PORT --timeout 200", 2,
            "~zqctl: no answer to payload 154 of 1018 within 200 ms; the write is incomplete\n");
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
        row("broken firmware", "-", "firmware write DIR/broken.hex --port /dev/null", 1,
            "zqctl: line 1: checksum error: the record says 0x00, its bytes need 0xEB\n"
            "zqctl: 0 configuration bytes instead of 14: the firmware window writes 14 zero bytes "
            "instead\nzqctl: refusing to write: the unit would not get what DIR/broken.hex says "
            "(--force writes it anyway, as the firmware window would)\n");
        row("unwritable backup", "-", "eeprom read --out DIR/no/such.hex --port /dev/null", 64, "");
    }
    void errorPaths() {
        QFETCH(QString, simArgs);
        QFETCH(QString, args);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QVERIFY(writeFile(dir_.filePath("broken.hex"), ":04030000AABBCCDD00\n"));
        Sim sim;
        if (simArgs != "-")
            QVERIFY(sim.start(simArgs.split(' ')));
        args.replace("PORT", sim.path()).replace("DIR", dir_.path());
        err.replace("DIR", dir_.path());
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
        Sim sim;
        QVERIFY(sim.start({}));
        const QString log = dir_.filePath("frames.log");
        const Result r = runZqctl({"version", "--port", sim.path(), "--log", log});
        QCOMPARE(r.out, QString("Software Version : 5-0/21-5\n"));
        const QStringList lines = QString::fromUtf8(readFile(log)).split('\n');
        const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
        QCOMPARE(lines.value(0).remove(stamp), QString("> 0F 0F 01 0D 00 AA"));
        QCOMPARE(lines.value(1).remove(stamp), QString("< 0F 0F 05 0D 05 00 15 05 00 AA"));
        QVERIFY(!readFile(log).contains("Send :"));
    }

    void firmwareWriteVerifies() {
        Sim sim;
        const QString dump = dir_.filePath("dump");
        QVERIFY(sim.start({"--dump-dir", dump}));
        const Result r = runZqctl(
            {"firmware", "write", dir_.filePath("image.hex"), "--verify", "--port", sim.path()});
        QCOMPARE(r.exitCode, 0);
        const QStringList out = r.out.split('\n');
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
                              "Bootloader left; the unit's program runs", ""}));
        QVERIFY(r.err.contains("100% 1018/1018 payloads"));
        sim.stop();
        QCOMPARE(readFile(dump + "/program.bin").mid(0x300), image_.program);
        QCOMPARE(readFile(dump + "/eeprom.bin"), image_.eeprom);
        QCOMPARE(readFile(dump + "/config.bin"), image_.config);
    }

    void corruptedWriteFailsVerify() {
        Pty pty;
        QVERIFY(pty.isOpen());
        CorruptingPeer peer(pty);
        const Result r = runZqctl({"firmware", "write", dir_.filePath("image.hex"), "--verify",
                                   "--port", pty.slavePath()});
        QCOMPARE(r.exitCode, 1);
        const quint8 wrote = quint8(image_.eeprom[kCorruptedEepromAddress]);
        QCOMPARE(wrote, quint8(0xC8)); // 0x123 * 13 + 1, low byte
        QVERIFY2(r.out.endsWith("Verify failed: EEPROM address 0x0123: wrote 0xC8, read 0xD8\n"),
                 qPrintable(r.out));
        // A unit whose write went wrong stays in its bootloader for another try.
        QVERIFY(r.err.contains("staying in the bootloader"));
        QVERIFY(!peer.leftBootloader());
    }

    void backupAndRestore() {
        const QString eepromBackup = dir_.filePath("eeprom-backup.hex");
        const QString configBackup = dir_.filePath("config-backup.hex");
        {
            Sim source;
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

        Sim target;
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
    Image image_;
};

QTEST_GUILESS_MAIN(TestZqctl)
#include "tst_zqctl.moc"
