// Faults on the wire, end to end: the console and firmware windows against the
// simulated unit (zq-sim) with its fault switches. A technician's unit can be
// off, half-flashed, noisy or unplugged mid-write; the windows must keep
// working, lose nothing they can keep and never crash or spin.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <mutex>

#include <csignal>

#include "BootloaderWindow.h"
#include "ConnectionWindow.h"
#include "FullImage.h"
#include "ListedPort.h"
#include "MainWindow.h"
#include "ProcessUse.h"
#include "SimProcess.h"
#include "SimSupport.h"
#include "Wire.h"
#include "frame.h"
#include "tst_console_window_support.h"
#include "uart.h"

namespace {

using namespace console_test;
using namespace sim_support;

constexpr int kExchangeMs = 5000;

// The payloads of ReceivedMessages.txt, "=> <date>: b0|b1|...|" per line.
QList<QByteArray> receivedLog() {
    QList<QByteArray> out;
    for (const QByteArray &line : readFile(QStringLiteral("ReceivedMessages.txt")).split('\n'))
        if (line.contains(": "))
            out.append(loggedPayload(line));
    return out;
}

// zq-sim with the given switches. Its traffic log (one line per payload it
// received, with the seconds since it started) goes to a file, so that no
// line is lost while the test is busy, and is read back from there.
class Sim : public SimProcess {
public:
    struct Received {
        qint64 ms;       // since the simulator started
        QString payload; // upper-case hex, long payloads cut after 16 bytes
    };

    Sim(const QStringList &args, const QString &logPath) : SimProcess(logPath) { start(args); }

    QList<Received> received() const {
        static const QRegularExpression line(QStringLiteral("^(\\d+)\\.(\\d{3})  (.+?)  ->"));
        QList<Received> out;
        for (const QString &text : QString::fromLatin1(readFile(trafficLog())).split('\n')) {
            const QRegularExpressionMatch m = line.match(text);
            if (m.hasMatch())
                out.append({m.captured(1).toLongLong() * 1000 + m.captured(2).toLongLong(),
                            m.captured(3)});
        }
        return out;
    }
    bool waitForReceived(int count, int ms) const {
        return waitUntil([&] { return received().size() >= count; }, ms);
    }
};

const FullImage kImage;

// The first bytes of each payload of the program write, as the traffic log shows them.
QStringList writeSequencePrefixes() {
    QStringList out;
    for (int block = 0x0300; block < 0x10000; block += 64)
        out << QStringLiteral("02 00 %1 %2")
                   .arg(block >> 8, 2, 16, QChar('0'))
                   .arg(block & 0xFF, 2, 16, QChar('0'))
                   .toUpper();
    for (const char *eeprom :
         {"05 FA 00 00", "05 FA 00 FA", "05 FA 01 F4", "05 FA 02 EE", "05 18 03 E8"})
        out << QString::fromLatin1(eeprom);
    return out << "07 " + QString::fromLatin1(kImage.config.left(3).toHex(' ')).toUpper();
}

// Whether each answer leaves the simulated unit unspoilt, by its own choices
// for `faults` (the same generator, the same order of draws).
QList<bool> cleanAnswers(const zq::sim::Faults &faults, const QList<QByteArray> &answers) {
    zq::sim::FaultInjector injector(faults);
    QList<bool> out;
    for (const QByteArray &answer : answers)
        out << (!injector.dropNext() && injector.frame(answer) == zq::buildFrame(answer, false));
    return out;
}

// The first seed from which the unit spoils exactly the answers marked false.
quint32 seedFor(zq::sim::Faults faults, const QList<QByteArray> &answers,
                const QList<bool> &pattern) {
    for (faults.seed = 1; faults.seed < 10000; ++faults.seed)
        if (cleanAnswers(faults, answers) == pattern)
            return faults.seed;
    return 0;
}

} // namespace

class TestWireFaults : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString hexPath;

    QString logPath(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    static void useFileAndConfirm(BootloaderWindow &window, const QString &file) {
        window.openFileDialog = [file](const QString &, const QString &, const QString &) {
            return file;
        };
        window.confirmDialog = [](const QString &, const QString &) { return true; };
    }
    static void click(BootloaderWindow &window, const char *name) {
        QTest::mouseClick(window.topLevel()->findChild<QPushButton *>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }
    static QString status(BootloaderWindow &window) {
        return window.topLevel()->findChild<QLabel *>(QStringLiteral("status_label"))->text();
    }
    // Bootloader on, image analysed, "Write Program" pressed.
    void startWrite(BootloaderWindow &window) {
        useFileAndConfirm(window, hexPath);
        click(window, "startBL_button");
        click(window, "progFile_button");
        click(window, "analyzeHexFile_button");
        QCOMPARE(status(window), QStringLiteral("Status : HEX File analyzed"));
        click(window, "writeProg_button");
        QVERIFY(window.isSending());
    }

private slots:
    void initTestCase() {
        // The link's diagnostics; the "Send : " lines and frame bytes are left out.
        DebugCapture::install([](QtMsgType type, const QString &message) {
            if (type != QtDebugMsg) {
                if (!message.contains(QLatin1String("propagateSizeHints")))
                    fprintf(stderr, "%s\n", qPrintable(message));
                return false;
            }
            return !message.startsWith(QLatin1String("Send :")) && !message.at(0).isDigit();
        });
        QVERIFY(!qEnvironmentVariable("ZQ_SIM").isEmpty());
        QVERIFY(dir.isValid());
        // ReceivedMessages.txt goes to the working directory.
        QVERIFY(QDir::setCurrent(dir.path()));
        hexPath = dir.filePath(QStringLiteral("image.hex"));
        QVERIFY(writeFile(hexPath, kImage.file));
    }

    void init() {
        QFile::remove(QStringLiteral("ReceivedMessages.txt"));
        DebugCapture::take();
    }

    void cleanupTestCase() { uart::setAnswerWait(uart::kAnswerWaitMs); }

    // The one test with the real answer wait. A unit that is off: frames go
    // out 5000 ms apart, the window keeps running meanwhile, and
    // "Reset Uart Queue" frees the line at once.
    void unitThatNeverAnswers() {
        uart::setAnswerWait(uart::kAnswerWaitMs);
        Sim sim({"--never-answer"}, logPath("never.log"));
        QElapsedTimer clock;
        qint64 lastTick = 0, worstTickGap = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worstTickGap = qMax(worstTickGap, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });

        Console console(sim.path()); // sends the version request at once
        clock.start();
        tick.start(50);
        console.click(QStringLiteral("ZQ Diagnosis"));
        console.click(QStringLiteral("Last Flash Status"));
        QVERIFY(sim.waitForReceived(2, 2 * uart::kAnswerWaitMs));
        QList<Sim::Received> got = sim.received();
        QCOMPARE(got.at(0).payload, QStringLiteral("0D"));
        QCOMPARE(got.at(1).payload, QStringLiteral("0E"));
        const qint64 gap = got.at(1).ms - got.at(0).ms;
        QVERIFY2(gap >= uart::kAnswerWaitMs - 200 && gap < uart::kAnswerWaitMs + 1000,
                 qPrintable(QString::number(gap)));
        // The event loop kept turning while the sender waited: a 50 ms timer
        // was never held up for anything like the answer wait.
        QVERIFY2(worstTickGap < 1000, qPrintable(QString::number(worstTickGap)));
        QCOMPARE(console.label("i_softwareVersion_label"), QStringLiteral("Software Version :"));
        QCOMPARE(console.messageText(), QString());

        // 0x12 waits behind 0x0E; the reset drops it and frees the sender, so
        // the next command goes out long before the wait would have ended.
        console.trigger("actionResetUartQueue");
        console.click(QStringLiteral("EEPROM Status"));
        QVERIFY(sim.waitForReceived(3, uart::kAnswerWaitMs));
        got = sim.received();
        QCOMPARE(got.at(2).payload, QStringLiteral("16"));
        QVERIFY2(got.at(2).ms - got.at(1).ms < uart::kAnswerWaitMs / 2,
                 qPrintable(QString::number(got.at(2).ms - got.at(1).ms)));
    }

    // Faults during a whole firmware write, each costing one (shortened)
    // answer wait at most. Lost answers: every block still reaches the unit,
    // in order. Whatever the fault, a write that lacks a confirmed payload
    // ends with a status that says how many the unit confirmed and that the
    // write is to be done again.
    void faultyWrite_data() {
        QTest::addColumn<QStringList>("faultSwitches");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("wholeImage"); // every payload reached the unit and changed it

        zq::sim::Faults faults;
        faults.dropPercent = 3;
        // 0x33 and 0x00, then the 1018 payloads of the write.
        QList<QByteArray> answers = {bytes({0x33, 0}), bytes({0x00, 1, 4})};
        for (int i = 0; i < 1012; ++i)
            answers << bytes({0x02, 0});
        for (int i = 0; i < 5; ++i)
            answers << bytes({0x05, 0});
        answers << bytes({0x07, 0});
        QList<bool> pattern;
        for (faults.seed = 1; faults.seed < 1000; ++faults.seed) {
            pattern = cleanAnswers(faults, answers);
            // Answers lost along the write, but the last one arrives.
            if (pattern.count(false) >= 20 && pattern.last())
                break;
        }
        QTest::newRow("answers dropped")
            << QStringList{"--drop", "3", "--seed", QString::number(faults.seed)}
            << QStringLiteral("Status : Writing Program -> Incomplete, %1 of 1018 confirmed, "
                              "write again")
                   .arg(pattern.mid(2).count(true))
            << true;
        // Frames 1 and 2 are 0x33 and 0x00.
        QTest::newRow("two blocks never reach the unit")
            << QStringList{"--lose-frame", "10", "--lose-frame", "700"}
            << "Status : Writing Program -> Incomplete, 1016 of 1018 confirmed, write again"
            << false;
        QTest::newRow("one block fails in the unit")
            << QStringList{"--fail-frame", "300"}
            << "Status : Writing Program -> Incomplete with errors, 1017 of 1018 confirmed, "
               "write again"
            << false;
    }

    void faultyWrite() {
        QFETCH(QStringList, faultSwitches);
        QFETCH(QString, expected);
        QFETCH(bool, wholeImage);
        uart::setAnswerWait(100);
        QDir(dir.filePath("dump")).removeRecursively();
        Sim sim(faultSwitches + QStringList{"--dump-dir", dir.filePath("dump")},
                logPath("faulty.log"));
        QSerialPort port(sim.path());
        QVERIFY(port.open(QIODevice::ReadWrite));
        BootloaderWindow window(nullptr, &port, MainWindow::kEdition);
        startWrite(window);
        QVERIFY(waitUntil([&] { return !window.isSending(); }, 60000));
        QCOMPARE(status(window), expected);
        if (!wholeImage)
            return;

        QVERIFY(sim.waitForReceived(2 + 1018, 10000));
        QStringList order;
        for (const Sim::Received &r : sim.received().mid(2))
            order << r.payload.left(11);
        QCOMPARE(order, writeSequencePrefixes());
        compareDump(sim.pid(), dir.filePath("dump"), kImage.program, kImage.eeprom, kImage.config,
                    kExchangeMs);
    }

    // A spoilt answer (the version, the first one) stops the receiver: its
    // diagnostics say why, nothing is delivered, also not the sound answer
    // that follows; "Reset Uart Queue" brings the next answer through.
    void spoiltAnswers_data() {
        QTest::addColumn<QString>("faultSwitch");
        QTest::addColumn<QStringList>("expected");
        // The version answer 13, 5, 0, 21, 5 sums to 44: its checksum is 212,
        // spoilt by the unit to 212 ^ 0xFF = 43. The receiver then compares
        // every byte with 212: the end byte, then each byte of the next
        // answer's frame 0F 0F 03 16 00 00 00 AA.
        QStringList checksum;
        for (int received : {43, 170, 15, 15, 3, 22, 0, 0, 0, 170})
            checksum << QStringLiteral("Checksum error, Calculated checksum = 212; "
                                       "Received checksum = %1")
                            .arg(received);
        QTest::newRow("corrupted checksum") << "--corrupt-checksum" << checksum;
        QTest::newRow("bad end byte")
            << "--bad-end" << QStringList{"Frame error, rFrameCounter = 6"};
    }

    void spoiltAnswers() {
        QFETCH(QString, faultSwitch);
        QFETCH(QStringList, expected);
        uart::setAnswerWait(300);
        zq::sim::Faults faults;
        (faultSwitch == "--bad-end" ? faults.badEndPercent : faults.corruptChecksumPercent) = 50;
        const QByteArray eepromStatus = bytes({22, 0, 0});
        const quint32 seed = seedFor(faults, {bytes({13, 5, 0, 21, 5}), eepromStatus, eepromStatus},
                                     {false, true, true});
        QVERIFY(seed > 0);
        Sim sim({faultSwitch, "50", "--seed", QString::number(seed)}, logPath("spoilt.log"));
        Console console(sim.path());
        console.click(QStringLiteral("EEPROM Status")); // after the answer wait
        QVERIFY(sim.waitForReceived(2, kExchangeMs));
        // Give the sound answer time to come in, and to be ignored.
        waitUntil([&] { return DebugCapture::lines().size() >= expected.size(); }, 500);
        QTest::qWait(200);
        QCOMPARE(DebugCapture::take(), expected);
        QCOMPARE(console.label("i_softwareVersion_label"), QStringLiteral("Software Version :"));
        QCOMPARE(console.messageText(), QString());
        QCOMPARE(receivedLog(), QList<QByteArray>());

        console.trigger("actionResetUartQueue");
        console.click(QStringLiteral("EEPROM Status"));
        QVERIFY(waitUntil([&] { return !console.messageText().isEmpty(); }, kExchangeMs));
        QVERIFY2(console.messageText().endsWith(
                     " : Reading EEPROM Status -> 0 write operation failed\n"),
                 qPrintable(console.messageText()));
        QCOMPARE(receivedLog(), QList<QByteArray>{eepromStatus});
        QCOMPARE(DebugCapture::take(), QStringList());
    }

    // Garbage before every answer: each byte is one diagnostic, and every
    // answer still arrives, in order.
    void noiseBetweenFrames_data() {
        QTest::addColumn<int>("noise");
        QTest::newRow("1 byte") << 1;
        QTest::newRow("300 bytes, more than a frame") << 300;
    }

    void noiseBetweenFrames() {
        QFETCH(int, noise);
        Sim sim({"--noise", QString::number(noise), "--seed", "5"}, logPath("noise.log"));
        Console console(sim.path());
        for (const char *button :
             {"ZQ Diagnosis", "Last Flash Status", "EEPROM Status",
              "Read Saved Settings of Trigger 1", "Read Saved Settings of Trigger 2"})
            console.click(QString::fromLatin1(button));
        QVERIFY(waitUntil([] { return receivedLog().size() >= 6; }, kExchangeMs));
        QByteArray codes;
        for (const QByteArray &payload : receivedLog())
            codes.append(payload.at(0));
        QCOMPARE(codes, bytes({13, 14, 18, 22, 8, 8}));
        QCOMPARE(console.label("i_softwareVersion_label"),
                 QStringLiteral("Software Version : 5-0/21-5"));
        QStringList expected;
        for (int i = 0; i < 6 * noise; ++i)
            expected << QStringLiteral("Frame error, rFrameCounter = 0");
        QCOMPARE(DebugCapture::take(), expected);
    }

    // The unit's own error reports among the poll's answers: each one is a
    // message, and the poll goes on filling its labels.
    void errorReportsDuringPoll() {
        Sim sim({"--error-reports", "150"}, logPath("reports.log"));
        Console console(sim.path());
        console.top->findChild<QCheckBox *>(QStringLiteral("updateI_checkBox"))->click();
        // Each flash moves both counters on; the poll must show every new value.
        for (int flashes = 1; flashes <= 3; ++flashes) {
            console.click(QStringLiteral("Flash"));
            QVERIFY(waitUntil(
                [&] {
                    return console.label("i_flashCounter_label") ==
                               QStringLiteral("Flash Counter : %1").arg(flashes) &&
                           console.label("i_rFlashCounter_label") ==
                               QStringLiteral("Flash Request : %1").arg(flashes);
                },
                3 * kExchangeMs));
        }
        QCOMPARE(console.label("i_chgVoltage_label"), QStringLiteral("Charge Voltage : 270 V"));
        QCOMPARE(console.label("i_temperature_label"), QString::fromUtf8("Temperature : +25 °C"));

        const QString report = QStringLiteral(" : Receiving Error -> Base = 3; Error Num = 3");
        const QString flashed = QStringLiteral(
            " : Command Generate Flash with Trigger 1 OK. For more information, read flash status");
        const QStringList lines = console.messageText().split('\n', Qt::SkipEmptyParts);
        int reports = 0;
        for (const QString &line : lines) {
            QVERIFY2(line.endsWith(report) || line.endsWith(flashed), qPrintable(line));
            reports += line.endsWith(report);
        }
        QVERIFY2(reports >= 5, qPrintable(QString::number(reports)));
        QCOMPARE(receivedLog().count(bytes({62, 3, 3})), reports);
        QCOMPARE(DebugCapture::take(), QStringList());
    }

    // A slow unit with the poll on: the poll never piles rounds up in the
    // link's queue, so a pressed command reaches the unit within a few answer
    // times, and none is dropped.
    void slowUnitWithPoll() {
        constexpr int kDelayMs = 700;
        uart::setAnswerWait(uart::kAnswerWaitMs);
        Sim sim({"--delay", QString::number(kDelayMs)}, logPath("slow.log"));
        Console console(sim.path());
        console.top->findChild<QCheckBox *>(QStringLiteral("updateI_checkBox"))->click();
        // A round of four answers takes 2.8 s; the timer asks for one every second.
        waitUntil([] { return false; }, 4000);
        const int before = sim.received().size();
        QElapsedTimer pressed;
        pressed.start();
        console.click(QStringLiteral("Flash"));
        QVERIFY(waitUntil(
            [&] {
                for (const Sim::Received &r : sim.received().mid(before))
                    if (r.payload == QLatin1String("04"))
                        return true;
                return false;
            },
            3 * uart::kAnswerWaitMs));
        qInfo("Flash reached a unit answering in %d ms, with the poll on, %lld ms after the press",
              kDelayMs, pressed.elapsed());
        QVERIFY2(pressed.elapsed() < 6 * kDelayMs, qPrintable(QString::number(pressed.elapsed())));
        QVERIFY(!console.messageText().contains(QStringLiteral(" not sent")));
    }

    // A unit that freezes with the poll on is said once to answer no more,
    // and once to answer again when it wakes up.
    void frozenUnitIsToldAndItsReturn() {
        uart::setAnswerWait(300);
        Sim sim({}, logPath("frozen.log"));
        Console console(sim.path());
        QVERIFY(waitUntil([&] { return receivedLog().size() == 1; }, kExchangeMs)); // the version
        console.top->findChild<QCheckBox *>(QStringLiteral("updateI_checkBox"))->click();
        sim.signal(SIGSTOP);
        const QString silent = QStringLiteral(" : The unit does not answer: no answer since ");
        QVERIFY(waitUntil([&] { return console.messageText().contains(silent); }, kExchangeMs));
        waitUntil([] { return false; }, 1500); // more polls go unanswered
        sim.signal(SIGCONT);
        const QString back = QStringLiteral(" : The unit answers again: ");
        QVERIFY(waitUntil([&] { return console.messageText().contains(back); }, kExchangeMs));
        waitUntil([] { return false; }, 1000);
        QCOMPARE(console.messageText().count(silent), 1);
        QCOMPARE(console.messageText().count(back), 1);
        uart::setAnswerWait(uart::kAnswerWaitMs);
    }

    // The unit unplugged (its simulator killed) in the middle of a firmware
    // write through the start window: the write is abandoned and the status
    // line says how far it got, no busy loop on the dead port, "Disconnect"
    // brings the start window back, and it connects again.
    void unitGoneMidWrite() {
        // Long enough that a slow (sanitizer) build never gives up on an answer,
        // which would leave a block unconfirmed.
        uart::setAnswerWait(1000);
        auto sim = std::make_unique<Sim>(QStringList(), logPath("gone.log"));
        if (!listed_port::listAsTtyS0(sim->path()))
            QSKIP(listed_port::kSkipReason);

        ConnectionWindow start;
        // A failed connection fails the test at once instead of waiting on a box.
        QString failure;
        start.connectionFailedNotice = [&](const QString &why) { failure = why; };
        auto connectTo = [&](const QString &windowChoice) {
            for (QRadioButton *radio : start.topLevel()->findChildren<QRadioButton *>())
                if (radio->text() == windowChoice)
                    radio->setChecked(true);
            start.topLevel()->findChild<QPushButton *>("scanPort_button")->click();
            auto *ports = start.topLevel()->findChild<QComboBox *>("portCom_comboBox");
            ports->setCurrentIndex(ports->findText("ttyS0", Qt::MatchStartsWith));
            start.topLevel()->findChild<QPushButton *>("defaultConnection_button")->click();
        };
        connectTo(QStringLiteral("Bootloader Window"));
        QPointer<BootloaderWindow> firmware = start.findChild<BootloaderWindow *>();
        QVERIFY2(firmware, qPrintable(failure));
        startWrite(*firmware);
        QVERIFY(sim->waitForReceived(2 + 100, 30000)); // well into the program blocks
        DebugCapture::take();
        sim->signal(SIGKILL);
        QVERIFY(sim->process.waitForFinished());

        // Two seconds of the event loop on the dead port: the process must mostly sleep.
        const IdleUse use = runIdle(2000);
        QVERIFY2(
            use.cpuSeconds < 0.2 * use.wallSeconds,
            qPrintable(
                QStringLiteral("%1 s of CPU in %2 s").arg(use.cpuSeconds).arg(use.wallSeconds)));

        qInfo("%.3f s of CPU in %.3f s after the unit went away", use.cpuSeconds, use.wallSeconds);
        const QRegularExpression incomplete(QStringLiteral(
            "^Status : Writing Program -> Incomplete, (\\d+) of 1018 confirmed, ttyS0 lost$"));
        const QRegularExpressionMatch m = incomplete.match(status(*firmware));
        QVERIFY2(m.hasMatch(), qPrintable(status(*firmware)));
        // Every block the unit took was confirmed, but for the answer a kill may cut off.
        const int confirmed = m.captured(1).toInt(), taken = sim->received().size() - 2;
        QVERIFY2(confirmed >= taken - 1 && confirmed <= taken,
                 qPrintable(QStringLiteral("%1 confirmed, %2 taken").arg(confirmed).arg(taken)));
        QVERIFY(!firmware->isSending());
        firmware->findChild<QAction *>(QStringLiteral("actionDisconnect"))->trigger();
        processDeferredDeletes();
        QTRY_VERIFY(firmware.isNull());
        QVERIFY(start.topLevel()->isVisible());
        QTRY_VERIFY(DebugCapture::lines().contains(QStringLiteral("Destroy uart")));
        QVERIFY(DebugCapture::lines().contains(QStringLiteral("Destroy BW")));

        // A unit plugged in again: the start window connects the console to it.
        sim = std::make_unique<Sim>(QStringList(), logPath("back.log"));
        QVERIFY(listed_port::listAsTtyS0(sim->path()));
        connectTo(QStringLiteral("Interface Window"));
        QPointer<MainWindow> console = start.findChild<MainWindow *>();
        QVERIFY2(console, qPrintable(failure));
        QWidget *consoleTop = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != start.topLevel() && w->objectName() == "main_window" && w->isVisible())
                consoleTop = w;
        QVERIFY(consoleTop);
        auto *version = consoleTop->findChild<QLabel *>(QStringLiteral("i_softwareVersion_label"));
        QTRY_COMPARE_WITH_TIMEOUT(version->text(), QStringLiteral("Software Version : 5-0/21-5"),
                                  kExchangeMs);
        console->findChild<QAction *>(QStringLiteral("actionDisconnect"))->trigger();
        processDeferredDeletes();
        QTRY_VERIFY(console.isNull());
    }
};

int main(int argc, char *argv[]) {
    listed_port::enterPrivateNamespace(); // before any thread exists
    QApplication app(argc, argv);
    TestWireFaults test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_wire_faults.moc"
