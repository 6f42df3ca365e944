// The edition 5 console window: what happens around the commands (start,
// information poll, password gate, saving the messages, the program-wide
// standby toggle, closing), against a scripted unit on a pseudo-terminal.
#include "tst_console_window_support.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

#include "Activate.h"
#include "ScreenFit.h"

using namespace console_test;

namespace {
constexpr int kPollPeriodMs = 1000;
constexpr int kOneTickMs = kPollPeriodMs + 200;

const char *const kGatedControls[] = {
    "resetMemory_button",     "chgVoltage_label",         "chgVoltage_spinBox",
    "chgVoltage_button",      "calibrate_button",         "readCalibrationStatus_button",
    "calibrationLevel_label", "calibrationLevel_spinBox", "readCalibration_button"};
} // namespace

class TestConsoleWindow : public QObject {
    Q_OBJECT
    QTemporaryDir workDir;

    zq::console::PasswordPrompt realPrompt;
    zq::console::WrongPasswordNotice realNotice;

    // Accepts the next modal dialog of type T once `inspect` has seen it.
    template <class T> static void answerModal(std::function<void(T *)> inspect) {
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
            if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                inspect(dialog);
                dialog->accept();
            }
        });
        poll->start(10);
    }

    // What a person works with: buttons, check boxes, spin boxes, lists, the message area.
    static QList<QWidget *> controls(QWidget *top) {
        QList<QWidget *> out;
        for (QWidget *w : top->findChildren<QWidget *>())
            if (w->isVisibleTo(top) &&
                (qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractSpinBox *>(w) ||
                 qobject_cast<QComboBox *>(w) || qobject_cast<QTextEdit *>(w)))
                out << w;
        return out;
    }

    static QString readFile(const QString &name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll())
                                                                : QString();
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir::setCurrent(workDir.path()));
        DebugCapture::install();
        realPrompt = zq::console::passwordPrompt();
        realNotice = zq::console::wrongPasswordNotice();
    }
    void init() {
        zq::console::passwordPrompt() = realPrompt;
        zq::console::wrongPasswordNotice() = realNotice;
    }

    void startSendsOnlyTheVersionRequest() {
        ScriptedConsole console;
        QCOMPARE(console.versionRequest, QList<QByteArray>{bytes({13})});
        QVERIFY(console.top->isVisible());
        QCOMPARE(console.child<QLabel>("logo_label")->pixmap(Qt::ReturnByValue).size(),
                 QSize(300, 183));
        QVERIFY(console.child<QLabel>("information_label")->font().bold());
        // "Never" is ticked: a whole poll period passes without a command.
        QVERIFY(console.unit.readPayloads(1, kOneTickMs).isEmpty());
    }

    void pollOnceNeverIsUnticked() {
        ScriptedConsole console;
        auto *period = console.child<QSpinBox>("updateI_spinBox");
        QVERIFY(!period->isEnabled());
        console.run("Never");
        QVERIFY(period->isEnabled());
        QCOMPARE(console.sent(4),
                 (QList<QByteArray>{bytes({0}), bytes({1}), bytes({10}), bytes({11})}));
    }

    void superUserGate_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<bool>("unlocked");
        QTest::addColumn<int>("notices");
        QTest::newRow("right code") << "qebor2751" << true << true << 0;
        QTest::newRow("wrong code") << "qebor2750" << true << false << 1;
        QTest::newRow("code in capitals") << "QEBOR2751" << true << false << 1;
        QTest::newRow("cancel") << "qebor2751" << false << false << 0;
    }
    void superUserGate() {
        QFETCH(QString, typed);
        QFETCH(bool, confirmed);
        ScriptedConsole console;
        QString prefill;
        zq::console::passwordPrompt() = [&](QWidget *, const QString &initial) {
            prefill = initial;
            return zq::console::PasswordAnswer{confirmed, typed};
        };
        int notices = 0;
        zq::console::wrongPasswordNotice() = [&] { ++notices; };
        console.trigger("actionSuperUser");

        QCOMPARE(prefill, QDir(QDir::homePath()).dirName());
        QTEST(notices, "notices");
        for (const char *name : kGatedControls)
            QTEST(console.child(name)->isEnabled(), "unlocked");
    }

    // The real dialogs: the home folder's name is offered, masked, and
    // confirming it unchanged is refused by a box of its own.
    void passwordDialogs() {
        ScriptedConsole console;
        QString title, label, offered, boxText;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        bool boxHasParent = true;
        answerModal<QInputDialog>([&](QInputDialog *dialog) {
            title = dialog->windowTitle();
            label = dialog->labelText();
            offered = dialog->textValue();
            echo = dialog->textEchoMode();
            answerModal<QMessageBox>([&](QMessageBox *box) {
                boxText = box->text();
                boxHasParent = box->parentWidget() != nullptr;
            });
        });
        console.trigger("actionSuperUser");
        QCOMPARE(title, QString("Enter Password"));
        QCOMPARE(label, QString("Password :"));
        QCOMPARE(offered, QDir(QDir::homePath()).dirName());
        QCOMPARE(echo, QLineEdit::Password);
        QCOMPARE(boxText, QString("Wrong Password!"));
        QVERIFY(!boxHasParent);
        QVERIFY(!console.child("resetMemory_button")->isEnabled());
    }

    // A unit that does not answer: one command in flight, 26 waiting, and the
    // next one is said not to be sent.
    void fullQueueIsTold() {
        ScriptedConsole console;
        for (int press = 0; press < 1 + uart::kQueueLimit; ++press)
            console.run("ZQ Diagnosis");
        QVERIFY(!console.messageText().contains(" not sent"));
        console.run("ZQ Diagnosis");
        QCOMPARE(console.messageText().count(
                     " : Command not sent: 26 commands already wait for the unit; wait for their "
                     "answers, or choose Reset Uart Queue in the ZQ menu to drop them\n"),
                 1);
    }

    // After a calibration answer the view is not scrolled to the bottom, also
    // not by the line that says the log cannot be written.
    void calibrationAnswerKeepsTheView() {
        ScriptedConsole console;
        QFile::remove("ReceivedMessages.txt");
        QVERIFY(QDir().mkdir("ReceivedMessages.txt"));
        console.messages()->setPlainText(QString("earlier\n").repeated(200));
        QScrollBar *bar = console.messages()->verticalScrollBar();
        console.unit.sendPayload(bytes({27, 25}));
        QTRY_VERIFY(console.messageText().contains(" : Flash calibrated\n"));
        QDir().rmdir("ReceivedMessages.txt");
        QVERIFY(console.messageText().contains(" : Received payloads are not logged: "));
        QVERIFY(bar->value() < bar->maximum()); // the answer's own line is below the view
    }

    // Tab visits every control once, in and out of the trigger tables, and
    // comes back to where it began; unticked radio buttons are reached with
    // the arrow keys from the ticked one.
    void tabReachesEveryControl() {
        ScriptedConsole console;
        QVERIFY(activate(console.top));
        QWidget *first = console.messages();
        first->setFocus();
        QList<QWidget *> visited;
        QWidget *focus = first;
        for (int press = 0; press < 100 && (focus != first || visited.isEmpty()); ++press) {
            QTest::keyClick(focus, Qt::Key_Tab);
            focus = QApplication::focusWidget();
            QVERIFY2(!visited.contains(focus), qPrintable(focus->objectName()));
            visited << focus;
        }
        QCOMPARE(focus, first);
        for (QWidget *control : controls(console.top)) {
            auto *radio = qobject_cast<QRadioButton *>(control);
            if (control->isEnabled() && !(radio && !radio->isChecked()))
                QVERIFY2(visited.contains(control), qPrintable(control->objectName()));
        }
    }

    void returnPressesTheFocusedButton() {
        ScriptedConsole console;
        QVERIFY(activate(console.top));
        QWidget *diagnosis = console.child("diagnosis_button");
        diagnosis->setFocus();
        QTest::keyClick(diagnosis, Qt::Key_Return);
        QCOMPARE(console.sent(1), QList<QByteArray>{bytes({14})});
    }

    void menuOpensFromTheKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("F10") << int(Qt::Key_F10) << int(Qt::NoModifier);
        QTest::newRow("Alt+Z") << int(Qt::Key_Z) << int(Qt::AltModifier);
    }
    void menuOpensFromTheKeyboard() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        ScriptedConsole console;
        QVERIFY(activate(console.top));
        QTest::keyClick(console.messages(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        auto *menu = console.child<QMenu>("menuZQ");
        QTRY_VERIFY(menu->isVisible());
        menu->close();
    }

    // On a 1366 x 768 screen with a panel the window lies on the screen, and
    // every control can be scrolled into full view.
    void fitsALaptopScreen() {
        const QRect laptop(0, 0, 1366, 768 - 32);
        const zq::ui::ScreenArea realArea = zq::ui::screenArea();
        zq::ui::screenArea() = [laptop](const QWidget *) { return laptop; };
        ScriptedConsole console;
        zq::ui::screenArea() = realArea;
        QVERIFY(laptop.contains(console.top->frameGeometry()));
        for (QWidget *control : controls(console.top)) {
            for (QWidget *p = control->parentWidget(); p; p = p->parentWidget()) {
                if (auto *area = qobject_cast<QScrollArea *>(p)) {
                    const QRect r(control->mapTo(area->widget(), QPoint(0, 0)), control->size());
                    area->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 1,
                                        r.height() / 2 + 1);
                }
            }
            QVERIFY2(control->visibleRegion().boundingRect() == control->rect(),
                     qPrintable(control->objectName()));
        }
    }

    void saveAppendsAndClears() {
        ScriptedConsole console;
        QFile::remove("Messages.txt");
        console.messages()->setPlainText("first\nsecond");
        console.run("Save/Clear Messages");
        QVERIFY(console.messages()->toPlainText().isEmpty());
        console.run("Save/Clear Messages");
        QCOMPARE(readFile("Messages.txt"), QString("first\nsecond\n\n"));
    }

    void numberOfFlashesEnablesItsCells() {
        ScriptedConsole console;
        auto enabled = [&](const char *prefix) {
            QString out;
            for (const char *cell : {"Energy%1", "Time%1"})
                for (int k = 1; k <= 4; ++k)
                    out += console.child(prefix + QString(cell).arg(k) + "_spinBox")->isEnabled()
                               ? '1'
                               : '0';
            return out;
        };
        console.run("trigger1Energy4_spinBox=9|trigger1Flashes_comboBox=2");
        QCOMPARE(enabled("trigger1"), QString("11101110"));
        QCOMPARE(enabled("trigger2"), QString("10001000"));
        console.run("trigger1Flashes_comboBox=0");
        QCOMPARE(enabled("trigger1"), QString("10001000"));
        QCOMPARE(console.child<QSpinBox>("trigger1Energy4_spinBox")->value(), 9);
        QVERIFY(console.quiet());
    }

    // The standby toggle belongs to the program: a new window finds it on and
    // turns it off, with its own radio buttons left free.
    void standbyToggleOutlivesTheWindow() {
        QByteArray first, second;
        {
            ScriptedConsole console;
            console.run("Start/Stop Standby");
            QVERIFY(!console.child("completeSandby_radioButton")->isEnabled());
            QVERIFY(!console.child("partialSandby_radioButton")->isEnabled());
            first = console.sent(1).value(0);
        }
        ScriptedConsole console;
        console.run("Start/Stop Standby");
        QVERIFY(console.child("completeSandby_radioButton")->isEnabled());
        QVERIFY(console.child("partialSandby_radioButton")->isEnabled());
        second = console.sent(1).value(0);
        QCOMPARE(first, bytes({16}));
        QCOMPARE(second, bytes({16}));
    }

    // "Disconnect" tells the start window first, then closes; deleting the
    // console leaves no window on screen.
    void disconnect() {
        auto console = std::make_unique<ScriptedConsole>();
        QStringList order;
        connect(console->window.get(), &MainWindow::mwClosed,
                [&] { order << (console->top->isVisible() ? "signal while shown" : "late"); });
        console->trigger("actionDisconnect");
        QCOMPARE(order, QStringList{"signal while shown"});
        QVERIFY(!console->top->isVisible());
        QPointer<QWidget> top = console->top;
        DebugCapture::clear();
        console.reset();
        QVERIFY(top.isNull());
        QVERIFY(DebugCapture::contains("Destroy MW"));
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY(widget->objectName() != "main_window");
    }
};

QTEST_MAIN(TestConsoleWindow)
#include "tst_console_window.moc"
