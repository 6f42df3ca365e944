// The firmware window through its widgets, against a scripted peer on a
// pseudo-terminal: the test reads each payload the window sends and answers
// it as the bootloader would, or not at all.

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "BootloaderWindow.h"
#include "Bytes.h"
#include "DebugCapture.h"
#include "Files.h"
#include "Pty.h"

namespace {

constexpr int kAnswerMs = 3000; // a payload the window sends shows up well within this
constexpr int kSilenceMs = 300; // long enough to see that nothing more is sent
constexpr int kImagePayloads = 1018;

bool keepDebugLine(QtMsgType type, const QString &message) {
    if (message.contains("propagateSizeHints")) // the offscreen platform on a fixed size
        return false;
    if (type != QtDebugMsg) {
        fprintf(stderr, "%s\n", qPrintable(message));
        return false;
    }
    // Not the frame bytes that edition 5 prints.
    return message.startsWith("Destroy") || message == "Thread stoped";
}

QStringList rowTexts(const QTableWidget *table, int row) {
    QStringList texts;
    for (int column = 1; column <= 3; ++column)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

} // namespace

class TestBootloaderWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<Pty> pty;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<BootloaderWindow> window;
    QTemporaryDir dir;
    QString chosenFile;
    QStringList fileDialogArgs, confirmArgs, questionArgs;
    bool confirmAnswer = true;
    QVector<BootloaderWindow::ValueRequest> valueRequests;
    std::optional<int> valueAnswer;

    template <class T> T *find(const char *name) {
        // Widgets live under the visible main_window, the menu's actions under the window.
        QObject *root = std::is_same<T, QAction>::value ? static_cast<QObject *>(window.get())
                                                        : window->topLevel();
        if (T *found = root->findChild<T *>(QString::fromLatin1(name)))
            return found;
        qFatal("no %s", name);
    }
    QString status() { return find<QLabel>("status_label")->text(); }
    QProgressBar *progress() { return find<QProgressBar>("status_progressBar"); }
    void click(const char *name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }

    // Reads the next payload and answers it with [code, 0].
    QByteArray answerNext() {
        const QList<QByteArray> got = pty->readPayloads(1, kAnswerMs);
        if (got.size() == 1)
            pty->sendPayload(got.first().left(1) + '\0');
        return got.value(0);
    }

    void startBootloader() {
        click("startBL_button");
        QCOMPARE(answerNext(), hex("33"));
        QCOMPARE(pty->readPayloads(1, kAnswerMs), QList<QByteArray>{hex("00")});
        pty->sendPayload(hex("000104"));
        QTRY_COMPARE(status(), QString("Status : Reading Version -> 1.4"));
    }

    void choose(const QString &name, const QByteArray &text) {
        chosenFile = dir.filePath(name);
        QVERIFY(writeFile(chosenFile, text));
        click("progFile_button");
    }

private slots:
    void initTestCase() { DebugCapture::install(keepDebugLine); }

    void init() {
        pty = std::make_unique<Pty>();
        port = std::make_unique<QSerialPort>(pty->slavePath());
        QVERIFY(port->open(QIODevice::ReadWrite));
        window = std::make_unique<BootloaderWindow>(nullptr, port.get(), 5);
        confirmAnswer = true;
        valueRequests.clear();
        valueAnswer.reset();
        window->openFileDialog = [this](const QString &caption, const QString &start,
                                        const QString &filter) {
            fileDialogArgs = QStringList{caption, start, filter};
            return chosenFile;
        };
        window->confirmDialog = [this](const QString &title, const QString &text) {
            confirmArgs << title << text;
            return confirmAnswer;
        };
        window->valueDialog = [this](const BootloaderWindow::ValueRequest &request) {
            valueRequests << request;
            return valueAnswer;
        };
        window->questionDialog = [this](const QString &title, const QString &text) {
            questionArgs << title << text;
            return false;
        };
    }

    void cleanup() {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the link
        port.reset();
        pty.reset();
        DebugCapture::clear();
        confirmArgs.clear();
        questionArgs.clear();
    }

    void initialState() {
        QCOMPARE(window->topLevel()->windowTitle(), QString("ZQ-Bootloader"));
        QCOMPARE(find<QLabel>("startBL_label")->text(), QString("ZQ Bootloader disable"));
        QCOMPARE(find<QLabel>("startBL_label")->styleSheet(),
                 QString("border: 1px solid grey; background-color : red"));
        for (const char *name :
             {"status_label", "status_progressBar", "progFile_label", "progFile_lineEdit",
              "progFile_button", "analyzeHexFile_button", "writeProg_button", "eraseProg_button",
              "loadEEPROM_button", "clearEEPROMTable_button", "readEEPROM_button",
              "writeEEPROM_button", "EEPROM_tableWidget", "loadConfig_button",
              "clearConfigTable_button", "readConfig_button", "writeConfig_button",
              "config_tableWidget"})
            QVERIFY2(!find<QWidget>(name)->isEnabled(), name);
        QCOMPARE(find<QTableWidget>("config_tableWidget")->item(13, 0)->text(),
                 QString("CONFIG7H"));
        QVERIFY(pty->readPayloads(1, kSilenceMs).isEmpty());
    }

    void startAndRestart() {
        click("startBL_button");
        // On at once, before the unit said anything.
        QCOMPARE(find<QLabel>("startBL_label")->text(), QString("ZQ Bootloader actived"));
        QCOMPARE(find<QLabel>("startBL_label")->styleSheet(),
                 QString("border: 1px solid grey; background-color : green"));
        QCOMPARE(find<QPushButton>("startBL_button")->text(), QString("Restart ZQ"));
        QVERIFY(find<QTableWidget>("config_tableWidget")->isEnabled());
        QCOMPARE(answerNext(), hex("33"));
        QCOMPARE(answerNext(), hex("00"));

        click("startBL_button");
        QCOMPARE(pty->readPayloads(2, kSilenceMs), QList<QByteArray>{hex("CC")});
        QVERIFY(find<QPushButton>("writeProg_button")->isEnabled());
        pty->sendPayload(hex("CC55"));
        QTRY_COMPARE(find<QLabel>("startBL_label")->text(), QString("ZQ Bootloader disabled"));
        QCOMPARE(find<QPushButton>("startBL_button")->text(), QString("Start ZQ Bootloader"));
        QVERIFY(!find<QPushButton>("writeProg_button")->isEnabled());
    }

    void emptyAnswer() {
        pty->write(hex("0F0F0000AA")); // a frame around no payload: no code byte to read
        QTRY_COMPARE(status(), QString("Status : Serial Port -> Unknown data"));
    }

    void doubleClick_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("column");
        for (const char *table : {"EEPROM_tableWidget", "config_tableWidget"})
            for (int column = 0; column < 4; ++column)
                QTest::addRow("%s %d", table, column) << QString(table) << column;
    }
    void doubleClick() {
        QFETCH(QString, table);
        QFETCH(int, column);
        click("startBL_button");
        auto *t = find<QTableWidget>(table.toLatin1());
        const QPoint cell = t->visualRect(t->model()->index(3, column)).center();
        const QStringList expected =
            column == 1 ? QStringList{"200", "c8", "11001000"} : QStringList{"", "", ""};
        for (std::optional<int> answer : {std::optional<int>(200), std::optional<int>()}) {
            valueAnswer = answer; // 200, then cancelled: the row keeps 200
            // A view takes a double click only on the cell that a click pressed.
            QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, cell);
            QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, cell);
            QCOMPARE(rowTexts(t, 3), expected);
        }
        QCOMPARE(valueRequests.size(), column == 1 ? 2 : 0);
        for (const BootloaderWindow::ValueRequest &r : valueRequests) // 25 whatever the cell holds
            QCOMPARE(QStringList({r.title, r.label}) +
                         QStringList({QString::number(r.initial), QString::number(r.minimum),
                                      QString::number(r.maximum), QString::number(r.step)}),
                     QStringList({"Enter a value", "Value :", "25", "0", "255", "1"}));
    }

    void writeWithoutImage_data() {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("status");
        QTest::newRow("OK") << true << "Status : Please analyze HEX File before writing";
        QTest::newRow("Cancel") << false << "Status : Reading Version -> 1.4";
    }
    void writeWithoutImage() {
        QFETCH(bool, ok);
        QFETCH(QString, status);
        startBootloader();
        confirmAnswer = ok;
        click("writeProg_button");
        QCOMPARE(confirmArgs, QStringList({"Writing Program", "This action will Write :\n-The "
                                                              "Program\n-The EEPROM Memory\n-The "
                                                              "Config Bits"}));
        QCOMPARE(this->status(), status);
        QVERIFY(pty->readPayloads(1, kSilenceMs).isEmpty());
    }

    void browseAnalyzeAndLoad() {
        click("startBL_button");
        // EEPROM 0x10 twice (the later wins), 0x11, and 0x0500 beyond the table.
        choose("e.hex", ":0200000400F00A\n:020010000102EB\n:0100100033BC\n:01050000FFFB\n");
        QCOMPARE(fileDialogArgs, QStringList({"Open HEX File", "C:/", "HEX File (*.hex)"}));
        click("analyzeHexFile_button");
        QCOMPARE(status(), QString("Status : HEX File analyzed"));
        auto *t = find<QTableWidget>("EEPROM_tableWidget");
        pty->sendPayload(hex("0402000F0909")); // rows 15 and 16 hold something first
        QTRY_COMPARE(rowTexts(t, 15), QStringList({"9", "9", "1001"}));
        click("clearEEPROMTable_button");
        QCOMPARE(rowTexts(t, 15), QStringList({"", "", ""}));
        chosenFile.clear(); // cancelled: the file name and the image stay
        click("progFile_button");
        QVERIFY(find<QLineEdit>("progFile_lineEdit")->text().endsWith("e.hex"));
        click("loadEEPROM_button");
        QCOMPARE(rowTexts(t, 15), QStringList({"", "", ""}));
        QCOMPARE(rowTexts(t, 16), QStringList({"51", "33", "110011"}));
        QCOMPARE(rowTexts(t, 17), QStringList({"2", "2", "10"}));
        QCOMPARE(rowTexts(t, 18), QStringList({"", "", ""}));

        choose("bad.hex", "garbage\n"); // a new file: the image is gone until analysed
        QVERIFY(find<QLineEdit>("progFile_lineEdit")->text().endsWith("bad.hex"));
        click("loadConfig_button");
        QCOMPARE(status(), QString("Status : Please analyze HEX File before loading Config Bits"));
        click("analyzeHexFile_button");
        QCOMPARE(status(), QString("Status : Can't analyze HEX File"));
    }

    // 1018 payloads onto a queue of 26, behind a table write: every one goes
    // out, in order, the progress bar follows them, and until the image's last
    // answer every other command to the unit is refused and closing asks.
    void wholeWrite() {
        startBootloader();
        choose("p.hex", ":020000040000FA\n:020300001234B5\n:00000001FF\n");
        click("analyzeHexFile_button");
        click("writeEEPROM_button"); // five payloads, four of them still queued
        click("writeProg_button");
        QVERIFY(window->isSending()); // the slot returned; the write goes on
        for (int run = 0; run < 5; ++run)
            QCOMPARE(answerNext().left(1), hex("05"));
        QVERIFY(progress()->isVisible());
        QCOMPARE(progress()->value(), 0);
        QCOMPARE(progress()->maximum(), kImagePayloads);
        QCOMPARE(answerNext().left(6), hex("020003001234"));
        const QPair<const char *, const char *> refused[] = {
            {"writeProg_button", "Writing Program"},
            {"eraseProg_button", "Erasing Program"},
            {"startBL_button", "Starting User Program"},
            {"readEEPROM_button", "Reading EEPROM Data"},
            {"writeEEPROM_button", "Writing EEPROM Data"},
            {"readConfig_button", "Reading Config"},
            {"writeConfig_button", "Writing Config"}};
        for (const auto &[button, operation] : refused) {
            click(button);
            QCOMPARE(status(),
                     QString("Status : %1 -> Refused, a write is running").arg(operation));
        }
        QCOMPARE(confirmArgs.size(), 2); // the second write was not even asked about
        QByteArrayList heads{answerNext().left(4)};
        QTRY_COMPARE(progress()->value(), 2); // the answer that followed the refusal was handled
        QCOMPARE(status(), QString("Status : Writing Config -> Refused, a write is running"));

        window->topLevel()->close(); // the window manager's close button; "No"
        QCOMPARE(questionArgs.size(), 2);
        QCOMPARE(questionArgs.first(), QString("Writing Program"));
        QVERIFY(window->topLevel()->isVisible());

        QByteArrayList expected;
        for (int i = 2; i < kImagePayloads - 1; ++i)
            heads << answerNext().left(4);
        for (int block = 0x0340; block < 0x10000; block += 64)
            expected << hex("0200") + char(block >> 8) + char(block & 0xFF);
        expected << hex("05FA0000") << hex("05FA00FA") << hex("05FA01F4") << hex("05FA02EE")
                 << hex("051803E8");
        QCOMPARE(heads, expected);
        // The last payload is on the line: still refused until its answer.
        QCOMPARE(pty->readPayloads(1, kAnswerMs).value(0).left(4), hex("07000000"));
        QCOMPARE(progress()->value(), kImagePayloads - 1);
        click("eraseProg_button");
        QCOMPARE(status(), QString("Status : Erasing Program -> Refused, a write is running"));
        pty->sendPayload(hex("0700"));
        QTRY_VERIFY(!window->isSending());
        QCOMPARE(status(), QString("Status : Writing Config -> OK")); // every payload confirmed
        QVERIFY(!progress()->isVisible());
        click("eraseProg_button");
        QCOMPARE(pty->readPayloads(1, kAnswerMs), QList<QByteArray>{hex("03")});
    }

    // The adapter pulled: the status line says so, and a running write is
    // abandoned with how far it got.
    void portLost_data() {
        QTest::addColumn<int>("answered"); // -1: no write running
        QTest::addColumn<QString>("expected");
        QTest::newRow("idle") << -1 << "Status : Serial Port -> %1 lost (*), use Disconnect";
        QTest::newRow("during a write")
            << 3 << "Status : Writing Program -> Incomplete, 3 of 1018 confirmed, %1 lost";
    }
    void portLost() {
        QFETCH(int, answered);
        QFETCH(QString, expected);
        startBootloader();
        if (answered >= 0) {
            choose("p.hex", ":00000001FF\n");
            click("analyzeHexFile_button");
            click("writeProg_button");
            for (int i = 0; i < answered; ++i)
                QCOMPARE(answerNext().left(2), hex("0200"));
            QCOMPARE(pty->readPayloads(1, kAnswerMs).size(), 1); // the last answer was taken
        }
        pty->hangUp();
        QTRY_VERIFY(!port->isOpen());
        // '*' stands for the port's own words.
        const QStringList around = expected.arg(port->portName()).split('*');
        QVERIFY2(status().startsWith(around.first()) && status().endsWith(around.last()),
                 qPrintable(status()));
        QVERIFY(!window->isSending());
        click("writeProg_button"); // nothing to ask about: it would not be sent
        QCOMPARE(status(), QString("Status : Writing Program -> Not sent, %1 lost, use Disconnect")
                               .arg(port->portName()));
        QCOMPARE(confirmArgs.size(), answered < 0 ? 0 : 2);
    }

    // "Reset Uart Queue" stops a write and says how far it got: the count is
    // the write's own, not the answers to what was sent before it, and a late
    // answer to the block cut off does not look like the write going on.
    void resetStopsWrite() {
        startBootloader();
        choose("p.hex", ":00000001FF\n");
        click("analyzeHexFile_button");
        click("readConfig_button"); // on the line
        click("readEEPROM_button"); // queued before the write
        click("writeProg_button");
        QCOMPARE(answerNext(), hex("06"));
        QCOMPARE(answerNext(), hex("04"));
        QCOMPARE(answerNext().left(4), hex("02000300"));
        QCOMPARE(answerNext().left(4), hex("02000340"));
        QCOMPARE(pty->readPayloads(1, kAnswerMs).size(), 1); // in flight, never answered
        find<QAction>("actionResetUartQueue")->trigger();
        const QString stopped(
            "Status : Writing Program -> Stopped, 2 of 1018 confirmed, write again");
        QCOMPARE(status(), stopped);
        QVERIFY(!window->isSending());
        QVERIFY(!progress()->isVisible());
        pty->sendPayload(hex("0200"));
        QVERIFY(pty->readPayloads(1, kSilenceMs).isEmpty());
        QCOMPARE(status(), stopped);
        click("writeProg_button"); // a fresh write starts from the first block
        QCOMPARE(answerNext().left(4), hex("02000300"));
    }

    // No text is cut (the suite runs this also at 120, 144 and 192 dpi): the
    // tables' headers and widest values, the longest status a write leaves,
    // and the longest answer beside the progress bar.
    void textFits() {
        click("startBL_button");
        for (const char *name : {"EEPROM_tableWidget", "config_tableWidget"}) {
            auto *t = find<QTableWidget>(name);
            const QStringList widest{"255", "ff", "11111111"};
            for (int column = 1; column <= 3; ++column)
                t->setItem(0, column, new QTableWidgetItem(widest.at(column - 1)));
            const int headerMargins =
                2 * t->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, t);
            for (int column = 0; column <= 3; ++column) {
                const QString header = t->horizontalHeaderItem(column)->text();
                const int needed = qMax(
                    static_cast<QAbstractItemView *>(t)->sizeHintForColumn(column),
                    t->horizontalHeader()->fontMetrics().horizontalAdvance(header) + headerMargins);
                QVERIFY2(t->columnWidth(column) >= needed, qPrintable(header));
            }
        }
        auto *label = find<QLabel>("status_label");
        const QPair<const char *, bool> texts[] = {
            {"Status : Writing Program -> Incomplete with errors, 1017 of 1018 confirmed, write "
             "again",
             false},
            {"Status : Writing EEPROM Data -> The received command by the ZQ is incorrect", true}};
        for (const auto &[text, withProgress] : texts) {
            label->setText(text);
            progress()->setVisible(withProgress);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QVERIFY2(label->width() >= label->sizeHint().width(), text);
        }
    }

    // "Disconnect" hands the user back to the start window: the firmware
    // window, its visible widget, its link and its image all go.
    void disconnect() {
        QSignalSpy closed(window.get(), &BootloaderWindow::bwClosed);
        QPointer<QWidget> visible = window->topLevel();
        find<QAction>("actionDisconnect")->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!visible->isVisible());
        window.reset();
        QVERIFY(visible.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(DebugCapture::lines(), QStringList({"Destroy BW", "Thread stoped", "Destroy uart",
                                                     "Destroy PICProgram"}));
    }
};

QTEST_MAIN(TestBootloaderWindow)
#include "tst_bootloader_window.moc"
