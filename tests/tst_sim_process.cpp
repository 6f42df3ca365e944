// The zq-sim program as a peer sees it: started as a process, reached through
// the pseudo-terminal path that it prints, each fault switch seen on the wire.

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "Bytes.h"
#include "RawPort.h"
#include "SimProcess.h"
#include "frame.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The unit with the test's end of its port open, raw.
class Sim : public SimProcess {
public:
    ~Sim() override { closePort(); }

    bool start(const QStringList &args) { return SimProcess::start(args) && openPort(); }

    bool openPort() {
        fd = openRaw(path().toLocal8Bit().constData(), O_NONBLOCK);
        return fd >= 0;
    }
    void closePort() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    void send(const QByteArray &payload) {
        const QByteArray frame = zq::buildFrame(payload, false);
        QCOMPARE(::write(fd, frame.constData(), size_t(frame.size())), ssize_t(frame.size()));
    }

    // What arrives within `ms`, returning early once `count` bytes are in.
    QByteArray read(int ms, int count) {
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (out.size() < count && t.elapsed() < ms) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, int(ms - t.elapsed())) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                out.append(buffer, int(n));
        }
        return out;
    }

    int fd = -1;
};

constexpr int kAnswerWaitMs = 5000;
constexpr int kSilenceMs = 300; // long enough for a wrong answer to show up

} // namespace

class TestSimProcess : public QObject {
    Q_OBJECT
private slots:
    void faultsOnWire_data();
    void faultsOnWire();
    void survivesPeerReopening();
    void dumpsMemoryAndLink();
    void options_data();
    void options();
};

void TestSimProcess::faultsOnWire_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("noise");       // garbage bytes expected before the frame
    QTest::addColumn<int>("notBeforeMs"); // the frame cannot be complete earlier
    const QByteArray flashed = hex("0F0F 02 0400 00 AA");
    const QByteArray report = hex("0F0F 03 3E0303 00 AA");
    auto row = [](const char *name, const QStringList &args, const QByteArray &payload,
                  const QByteArray &expected, int noise = 0, int notBeforeMs = 0) {
        QTest::newRow(name) << args << payload << expected << noise << notBeforeMs;
    };
    row("sound", {}, hex("04"), flashed);
    row("edition 1 lacks diagnosis", {"--edition", "1"}, hex("0E"), hex("0F0F 03 3E0101 00 AA"));
    row("checksum", {"--checksum"}, hex("04"), hex("0F0F 02 0400 FF FC AA"));
    row("corrupt checksum", {"--corrupt-checksum", "100"}, hex("04"), hex("0F0F 02 0400 FF 03 AA"));
    row("bad end", {"--bad-end", "100"}, hex("04"), hex("0F0F 02 0400 00 55"));
    row("drop all", {"--drop", "100"}, hex("04"), QByteArray());
    row("never answer", {"--never-answer"}, hex("04"), QByteArray());
    row("noise", {"--noise", "5", "--seed", "9"}, hex("04"), flashed, 5);
    row("late", {"--delay", "400"}, hex("04"), flashed, 0, 400);
    // 6 bytes in and 7 out at 1200 baud: 13 * 10 / 1200 s = 108 ms.
    row("paced", {"--baud", "1200"}, hex("04"), flashed, 0, 105);
    row("error reports", {"--error-reports", "50", "--never-answer"}, hex("04"), report + report);
}

void TestSimProcess::faultsOnWire() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    QFETCH(int, noise);
    QFETCH(int, notBeforeMs);
    Sim sim;
    QVERIFY(sim.start(args));
    QElapsedTimer t;
    t.start();
    sim.send(payload);
    const int wait = expected.isEmpty() ? kSilenceMs : kAnswerWaitMs;
    const QByteArray got = sim.read(wait, qMax(1, noise + expected.size()));
    QVERIFY2(t.elapsed() >= notBeforeMs, QByteArray::number(t.elapsed()));
    QVERIFY(!got.left(noise).contains(char(0x0F)));
    QCOMPARE(got.mid(noise), expected);
    if (!args.contains("--error-reports"))
        QVERIFY(sim.read(50, 1).isEmpty()); // and nothing after it
    QCOMPARE(sim.stop(), 0);
}

void TestSimProcess::survivesPeerReopening() {
    Sim sim;
    QVERIFY(sim.start({}));
    for (int round = 0; round < 3; ++round) {
        sim.send(hex("0B"));
        QCOMPARE(sim.read(kAnswerWaitMs, 8), hex("0F0F 03 0B2B19 00 AA"));
        sim.closePort();
        QTest::qWait(20);
        QVERIFY(sim.openPort());
    }
}

void TestSimProcess::dumpsMemoryAndLink() {
    QTemporaryDir dir;
    const QString link = dir.filePath("zq-port");
    const QString dumps = dir.filePath("dump");
    Sim sim;
    QVERIFY(sim.start({"--print-dump", "--dump-dir", dumps, "--link", link}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());

    const QByteArray config = hex("0102030405060708090A0B0C0D0E");
    const QList<QByteArray> commands = {hex("33"), hex("02 00 0300") + QByteArray(64, 'z'),
                                        hex("05 02 03FE 4142"), hex("07") + config};
    for (const QByteArray &c : commands) {
        sim.send(c);
        QCOMPARE(sim.read(kAnswerWaitMs, 7).mid(4, 1), QByteArray(1, char(0)));
    }
    sim.signal(SIGUSR1);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dumps + "/config.bin"), kAnswerWaitMs);
    QFile configFile(dumps + "/config.bin");
    QVERIFY(configFile.open(QIODevice::ReadOnly));
    QCOMPARE(configFile.readAll(), config);

    QCOMPARE(sim.stop(), 0);
    QFile program(dumps + "/program.bin"), eeprom(dumps + "/eeprom.bin");
    QVERIFY(program.open(QIODevice::ReadOnly) && eeprom.open(QIODevice::ReadOnly));
    const QByteArray memory = program.readAll();
    QCOMPARE(memory.size(), 65536);
    QCOMPARE(memory.mid(0x02FF, 66), "\xFF" + QByteArray(64, 'z') + "\xFF");
    QCOMPARE(eeprom.readAll().right(3), hex("FF 41 42"));
    QVERIFY(!QFileInfo::exists(link));
    const QByteArray summary = sim.process.readAllStandardOutput();
    QVERIFY2(summary.contains("0300-033F"), summary);
    QVERIFY2(summary.contains("03F0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF 41 42"), summary);
}

void TestSimProcess::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray("--corrupt-checksum");
    QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("zq-sim 1.0\n");
    QTest::newRow("edition 0") << QStringList{"--edition", "0"} << 2
                               << QByteArray("--edition takes a whole number from 1 to 5");
    QTest::newRow("drop 101") << QStringList{"--drop", "101"} << 2 << QByteArray("--drop");
    QTest::newRow("baud not a number")
        << QStringList{"--baud", "fast"} << 2 << QByteArray("not 'fast'");
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QByteArray("bogus");
    QTest::newRow("stray argument") << QStringList{"ttyS0"} << 2 << QByteArray("ttyS0");
}

void TestSimProcess::options() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, said);
    QProcess p;
    p.start(SimProcess::defaultProgram(), args);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), exitCode);
    const QByteArray out = p.readAllStandardOutput() + p.readAllStandardError();
    QVERIFY2(out.contains(said), out);
}

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_sim_process.moc"
