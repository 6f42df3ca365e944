// One console edition's window through its widgets: what each control sends,
// how answers reach the message area and the log, and the whole window
// against the simulated unit. Built once per edition against its MainWindow.
#include "Files.h"
#include "SimProcess.h"
#include "tst_console_window_support.h"

#include <csignal>
#include <sys/resource.h>

using namespace console_test;

namespace {

constexpr int kEdition = MainWindow::kEdition;
constexpr bool kLogsPayloads = kEdition >= 2;
constexpr bool kAppendsAtEnd = kEdition >= 4;
constexpr bool kSequenceTestIsFlashMode = kEdition == 1;
constexpr int kSimAnswerWaitMs = 5000;

struct ControlCase {
    const char *name;
    QList<int> editions;
    const char *script;
    QList<QByteArray> payloads;
};

const QByteArray kCode("qebor2751");
const QList<int> kAll{1, 2, 3, 4, 5};
const QList<int> kEnergyLevels{1, 2, 3};
const QList<int> kServiceRows{2, 3, 4, 5};
const QList<int> kTriggerTables{4, 5};

// clang-format off
const ControlCase kControlCases[] = {
    {"flash", kAll, "Flash", {bytes({4})}},
    {"flash at the high level", kEnergyLevels, "High Energy|Flash", {bytes({3})}},
    {"flash on trigger 2", kTriggerTables, "Trigger 2|Flash", {bytes({3})}},
    {"unticking trigger 1 picks trigger 2", kTriggerTables, "Trigger 1|Flash", {bytes({3})}},
    {"high energy level", kEnergyLevels, "highEnergy_spinBox=120|Change High Level", {bytes({5, 120})}},
    {"low energy level", kEnergyLevels, "lowEnergy_spinBox=45|Change Low Level", {bytes({6, 45})}},
    {"save energy levels", kEnergyLevels, "Save Energy levels", {bytes({7})}},
    {"read energy levels", kEnergyLevels, "Read Saved Energy levels", {bytes({8})}},
    {"charge voltage is gated", kAll, "Change Voltage", {}},
    {"charge voltage, edition 1", {1}, "super|Change Voltage", {bytes({12, 0x01, 0x0E})}},
    {"charge voltage 270", kServiceRows, "super|Change Voltage", {bytes({12, 0x01, 0x0E}) + kCode}},
    {"reset flash is gated", {1}, "Reset ZQ Flash", {}},
    {"reset flash", {1}, "super|Reset ZQ Flash", {bytes({2})}},
    {"reset memory is gated", kServiceRows, "Reset ZQ Memory", {}},
    {"reset memory", kServiceRows, "super|Reset ZQ Memory", {bytes({2}) + kCode}},
    {"sequence test start and stop", kServiceRows,
     "Start/Stop Sequence Test|sequenceTestPeriod_spinBox=1000|sequenceTestEnergy_spinBox=7|"
     "Start/Stop Sequence Test",
     {bytes({9, 10, 0x01, 0xF4, 0}), bytes({9, 11})}},
    {"diagnosis", kServiceRows, "ZQ Diagnosis", {bytes({14})}},
    {"flash status", kServiceRows, "Last Flash Status", {bytes({18})}},
    {"eeprom status", {3, 4, 5}, "EEPROM Status", {bytes({22})}},
    {"partial standby twice", kServiceRows, "Partial Stanby|Start/Stop Standby|Start/Stop Standby",
     {bytes({17}), bytes({17})}},
    {"reset high voltage", kServiceRows, "Reset", {bytes({19})}},
    {"reset communication", kServiceRows, "Communication|Reset", {bytes({20})}},
    {"reset both", kServiceRows, "Both|Reset", {bytes({21})}},
    {"trigger 1, one flash", kTriggerTables,
     "trigger1Energy1_spinBox=100|trigger1Time1_spinBox=1000|trigger1Energy2_spinBox=9|Set Trigger 1",
     {bytes({23, 1, 100, 0x03, 0xE8})}},
    {"trigger 2, four flashes", kTriggerTables,
     "trigger2Flashes_comboBox=3|trigger2Energy1_spinBox=10|trigger2Energy2_spinBox=20|"
     "trigger2Energy3_spinBox=30|trigger2Energy4_spinBox=40|trigger2Time1_spinBox=1000|"
     "trigger2Time2_spinBox=300|trigger2Time3_spinBox=2|trigger2Time4_spinBox=65535|Set Trigger 2",
     {bytes({24, 4, 10, 20, 30, 40, 0x03, 0xE8, 0x01, 0x2C, 0x00, 0x02, 0xFF, 0xFF})}},
    {"save triggers", kTriggerTables, "Save Triggers", {bytes({7})}},
    {"read trigger 1", kTriggerTables, "Read Saved Settings of Trigger 1", {bytes({8, 1})}},
    {"read trigger 2", kTriggerTables, "Read Saved Settings of Trigger 2", {bytes({8, 2})}},
    {"output trigger mode", kTriggerTables, "outputTriggerMode_comboBox=1", {bytes({25, 1})}},
    {"calibrate is gated", {5}, "Calibrate ZQ", {}},
    {"calibrate", {5}, "super|Calibrate ZQ", {bytes({26})}},
    {"calibration status", {5}, "super|Read Calibration Status", {bytes({27, 255, 255})}},
    {"calibration of a level", {5}, "super|calibrationLevel_spinBox=5|Read", {bytes({27, 5})}},
};

struct SimCase {
    const char *name;
    QList<int> editions;
    const char *script;
    const char *message; // the start of the answer's message, after the prefix
};

const SimCase kSimCases[] = {
    {"status answer", {4, 5}, "Flash",
     " : Command Generate Flash with Trigger 1 OK. For more information, read flash status"},
    {"status answer", kEnergyLevels, "Flash", " : Low Flash Generated"},
    {"data answer", kServiceRows, "ZQ Diagnosis", " : Diagnosis Result -> "},
    {"energy levels", kEnergyLevels,
     "highEnergy_spinBox=120|Change High Level|lowEnergy_spinBox=45|Change Low Level|"
     "Read Saved Energy levels",
     " : High Energy Level = 120; Low Energy Level = 45"},
    {"trigger settings", kTriggerTables, "Read Saved Settings of Trigger 2",
     " : Trigger = 2 Number of flashes = 1"},
};
// clang-format on

} // namespace

class TestConsoleEdition : public QObject {
    Q_OBJECT
    QTemporaryDir workDir;

private slots:
    void initTestCase() {
        QVERIFY(QDir::setCurrent(workDir.path()));
        DebugCapture::install();
    }

    void controlsSendTheirBytes_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<QByteArray>>("payloads");
        for (const ControlCase &c : kControlCases)
            if (c.editions.contains(kEdition))
                QTest::newRow(c.name) << QString::fromLatin1(c.script) << c.payloads;
    }
    void controlsSendTheirBytes() {
        QFETCH(QString, script);
        QFETCH(QList<QByteArray>, payloads);
        ScriptedConsole console;
        QCOMPARE(console.versionRequest, QList<QByteArray>{bytes({13})});
        console.run(script);
        QCOMPARE(console.sent(payloads.size()), payloads);
        QVERIFY(console.quiet());
    }

    void answersAreLoggedAndShown() {
        ScriptedConsole console;
        QFile::remove("ReceivedMessages.txt");
        console.unit.sendPayload(bytes({2, 0}));
        QTRY_VERIFY(!console.messages()->toPlainText().isEmpty());
        const QString message = console.messages()->toPlainText();
        const QString prefix = message.section(" : ", 0, 0);
        QVERIFY2(QRegularExpression("^=> \\w+ \\w+ +\\d+ \\d\\d:\\d\\d:\\d\\d \\d{4}$")
                     .match(prefix)
                     .hasMatch(),
                 qPrintable(prefix));
        QCOMPARE(message, prefix + " : Erasing EEPROM OK\n");

        QFile log("ReceivedMessages.txt");
        if (!kLogsPayloads) {
            QVERIFY(!log.exists());
            return;
        }
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QString::fromUtf8(log.readAll()), prefix + ": 2|0|\n");
    }

    // Editions 1 to 3 write at the user's cursor, replacing a selection there;
    // later ones always append.
    void answerAndSelection() {
        ScriptedConsole console;
        QTextEdit *area = console.messages();
        area->setPlainText("first line\nsecond line");
        QTextCursor cursor = area->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        area->setTextCursor(cursor);
        console.unit.sendPayload(bytes({62, 4, 7}));
        QTRY_VERIFY(area->toPlainText().contains("Base = 4"));
        const QString text = area->toPlainText();
        if (kAppendsAtEnd) {
            QVERIFY(text.startsWith("first line\nsecond line=> "));
            QVERIFY(text.endsWith(" : Receiving Error -> Base = 4; Error Num = 7\n"));
        } else {
            QVERIFY(text.startsWith("=> "));
            QVERIFY(
                text.endsWith(" : Receiving Error -> Base = 4; Error Num = 7\n line\nsecond line"));
        }
    }

    // A save that did not reach Messages.txt whole keeps the messages, leaves
    // the file as it was and says why.
    void saveFailureKeepsMessages_data() {
        QTest::addColumn<QString>("inTheWay"); // what stands at Messages.txt
        QTest::addColumn<QString>("reason");
        QTest::newRow("cannot be opened") << "a folder"
                                          << "Is a directory";
        QTest::newRow("disk full") << "/dev/full"
                                   << "No space left on device";
        // Room for a part of the block only: the file fills in the middle.
        QTest::newRow("fills mid-write") << "a size limit"
                                         << "File too large";
    }
    void saveFailureKeepsMessages() {
        QFETCH(QString, inTheWay);
        QFETCH(QString, reason);
        ScriptedConsole console;
        const QByteArray earlier("kept\n");
        if (inTheWay == "a folder") {
            QVERIFY(QDir().mkdir("Messages.txt"));
        } else if (inTheWay == "/dev/full") {
            QVERIFY(QFile::link(inTheWay, "Messages.txt"));
        } else {
            QVERIFY(writeFile("Messages.txt", earlier));
        }
        console.messages()->setPlainText("first\nsecond");
        rlimit unlimited{};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit room{rlim_t(earlier.size() + 5), unlimited.rlim_max};
        if (inTheWay == "a size limit") {
            ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &room), 0);
        }
        console.run("Save/Clear Messages");
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        if (inTheWay == "a size limit") {
            QFile file("Messages.txt");
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), earlier);
        }
        QFile::remove("Messages.txt");
        QDir().rmdir("Messages.txt");
        const QString text = console.messageText();
        QVERIFY2(
            text.startsWith("first\nsecond\n=> ") &&
                text.endsWith(QString(" : Messages not saved to %1 (%2); nothing was cleared\n")
                                  .arg(QDir::current().absoluteFilePath("Messages.txt"), reason)),
            qPrintable(text));
    }

    void unwritableLogIsToldOnce() {
        if (!kLogsPayloads)
            QSKIP("this edition keeps no log of received payloads");
        QFile::remove("ReceivedMessages.txt");
        QVERIFY(QDir().mkdir("ReceivedMessages.txt"));
        ScriptedConsole console; // the version's answer: the first payload not logged
        console.run("Flash");
        console.sent(1);
        QTRY_VERIFY(console.messageText().count("=> ") >= 2); // the flash answer shown
        QDir().rmdir("ReceivedMessages.txt");
        QCOMPARE(console.messageText().count(" : Received payloads are not logged: "), 1);
        // Logging resumes with a mark of the gap.
        console.run("Flash");
        console.sent(1);
        QFile log("ReceivedMessages.txt");
        QTRY_VERIFY(log.exists());
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(log.readAll()).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).contains(": not logged: 2 payloads received from ") &&
                     lines.at(0).endsWith(" on (Is a directory)"),
                 qPrintable(lines.at(0)));
        QVERIFY(lines.at(1).endsWith(": 4|0|"));
    }

    // The adapter pulled: said at once, the port closed, a command pressed
    // afterwards is said not to be sent, "Disconnect" still works.
    void lostPortIsTold() {
        ScriptedConsole console;
        const QString name = console.port.portName();
        console.unit.hangUp();
        QTRY_VERIFY(console.messageText().contains(" : Serial port " + name + " lost ("));
        QVERIFY(console.messageText().endsWith(
            "; choose Disconnect in the ZQ menu to go back to the start window\n"));
        QVERIFY(!console.port.isOpen());
        console.run("Flash");
        QVERIFY(console.messageText().endsWith(" : Command not sent: serial port " + name +
                                               " is lost; choose Disconnect in the ZQ menu to go "
                                               "back to the start window\n"));
        QSignalSpy closed(console.window.get(), &MainWindow::mwClosed);
        console.trigger("actionDisconnect");
        QCOMPARE(closed.count(), 1);
    }

    // Two commands in a row without a readable answer are said once, with
    // what went wrong; the next answer read is said once too.
    void troubledUnitIsToldOnce_data() {
        QTest::addColumn<QByteArray>("answer"); // what the unit sends for each command
        QTest::addColumn<QString>("told");
        QTest::addColumn<bool>("resetHint");
        const QString unreadable = " : The unit's answers cannot be read (%1): none read since ";
        QTest::newRow("silent") << QByteArray() << " : The unit does not answer: no answer since "
                                << false;
        QTest::newRow("noise") << bytes({0x55, 0x55}) << unreadable.arg("noise on the line")
                               << false;
        QTest::newRow("bad checksum") << bytes({0x0F, 0x0F, 2, 4, 0, 0xFF, 0x00, 0xAA})
                                      << unreadable.arg("bad checksums") << (kEdition > 1);
        QTest::newRow("bad end byte") << bytes({0x0F, 0x0F, 2, 4, 0, 0, 0x55})
                                      << unreadable.arg("bad end bytes") << (kEdition > 1);
    }
    void troubledUnitIsToldOnce() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, told);
        QFETCH(bool, resetHint);
        constexpr int kShortWaitMs = 200;
        uart::setAnswerWait(kShortWaitMs);
        ScriptedConsole console;
        const int before = console.messageText().count("=> ");
        for (int command = 0; command < 3; ++command) {
            console.run("Flash");
            QCOMPARE(console.unit.readPayloads(1, kSentWaitMs).size(), 1);
            console.unit.write(answer);
            QTest::qWait(2 * kShortWaitMs); // the answer wait runs out
        }
        uart::setAnswerWait(uart::kAnswerWaitMs);
        QString text = console.messageText();
        QCOMPARE(text.count("=> "), before + 1);
        QVERIFY2(text.contains(told), qPrintable(text));
        QCOMPARE(text.endsWith(" to read again\n"), resetHint);

        console.trigger("actionResetUartQueue");
        console.run("Flash");
        console.sent(1);
        QTRY_VERIFY(console.messageText().count("=> ") == before + 3); // said, and the answer
        text = console.messageText();
        QVERIFY2(text.contains(" : The unit answers again: ") &&
                     text.contains(" commands without a readable answer from "),
                 qPrintable(text));
    }

    void flashModeSequenceTest_data() {
        if (!kSequenceTestIsFlashMode)
            QSKIP("the sequence test has a button of its own in this edition");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<QByteArray>>("payloads");
        QTest::addColumn<QString>("flashText");
        QTest::addColumn<bool>("settingsEnabled");
        const QByteArray start = bytes({9, 10, 0x01, 0xF4, 0});
        const QByteArray stop = bytes({9, 11});
        QTest::newRow("mode on") << "Sequence Test" << QList<QByteArray>{} << "Start Sequence Test"
                                 << true;
        QTest::newRow("start") << "Sequence Test|Start Sequence Test" << QList<QByteArray>{start}
                               << "Stop Sequence Test" << true;
        QTest::newRow("start and stop")
            << "Sequence Test|Start Sequence Test|Stop Sequence Test"
            << QList<QByteArray>{start, stop} << "Start Sequence Test" << true;
        QTest::newRow("unticking while running stops")
            << "Sequence Test|Start Sequence Test|Sequence Test" << QList<QByteArray>{start, stop}
            << "Flash" << false;
        QTest::newRow("unticking while stopped sends nothing")
            << "Sequence Test|Sequence Test|Flash" << QList<QByteArray>{bytes({4})} << "Flash"
            << false;
    }
    void flashModeSequenceTest() {
        QFETCH(QString, script);
        QFETCH(QList<QByteArray>, payloads);
        ScriptedConsole console;
        console.run(script);
        QCOMPARE(console.sent(payloads.size()), payloads);
        QVERIFY(console.quiet());
        QTEST(console.child<QAbstractButton>("action_button")->text(), "flashText");
        QTEST(console.child<QSpinBox>("sequenceTestPeriod_spinBox")->isEnabled(),
              "settingsEnabled");
        QTEST(console.child("sequenceTestEnergy_label")->isEnabled(), "settingsEnabled");
    }

    void againstSimulatedUnit_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("message");
        for (const SimCase &c : kSimCases)
            if (c.editions.contains(kEdition))
                QTest::newRow(c.name)
                    << QString::fromLatin1(c.script) << QString::fromLatin1(c.message);
    }
    void againstSimulatedUnit() {
        QFETCH(QString, script);
        QFETCH(QString, message);
        SimProcess unit;
        if (!unit.start({"--edition", QString::number(kEdition)}))
            QSKIP("ZQ_SIM does not name a runnable simulated unit");
        Console console(unit.path());
        auto *version = console.child<QLabel>("i_softwareVersion_label");
        QTRY_VERIFY_WITH_TIMEOUT(version->text() != "Software Version :", kSimAnswerWaitMs);
        QVERIFY2(QRegularExpression("^Software Version : \\d+-\\d+/\\d+-\\d+$")
                     .match(version->text())
                     .hasMatch(),
                 qPrintable(version->text()));

        console.run(script);
        QTRY_VERIFY_WITH_TIMEOUT(console.messages()->toPlainText().contains(message),
                                 kSimAnswerWaitMs);
        console.child<QAbstractButton>("updateI_checkBox")->click();
        auto *counter = console.child<QLabel>("i_flashCounter_label");
        QTRY_VERIFY_WITH_TIMEOUT(counter->text().startsWith("Flash Counter : "), kSimAnswerWaitMs);
        QVERIFY2(QRegularExpression("^Flash Counter : \\d+$").match(counter->text()).hasMatch(),
                 qPrintable(counter->text()));
    }
};

QTEST_MAIN(TestConsoleEdition)
#include "tst_console_edition.moc"
