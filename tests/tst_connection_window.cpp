// The start window through its widgets, against a pseudo-terminal that the
// toolkit lists as a serial port: inside a private mount namespace the pty is
// bind-mounted onto /dev/ttyS0, a port Qt enumerates from sysfs.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <cerrno>
#include <termios.h>

#include "Activate.h"
#include "BootloaderWindow.h"
#include "ConnectionWindow.h"
#include "DebugCapture.h"
#include "ListedPort.h"
#include "MainWindow.h"
#include "Pty.h"

// In the test function itself: QSKIP returns from the function it stands in.
#define REQUIRE_LISTED_PORT()                                                                      \
    if (!portListed)                                                                               \
    QSKIP(listed_port::kSkipReason)

// Records the object names of the windows that are shown.
class RecordShown : public QObject {
public:
    explicit RecordShown(QStringList *names) : names_(names) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Show && widget && widget->isWindow())
            *names_ << widget->objectName();
        return false;
    }

private:
    QStringList *names_;
};

class TestConnectionWindow : public QObject {
    Q_OBJECT
    Pty pty;
    bool portListed = false;

    template <typename T> static T *child(ConnectionWindow &w, const char *name) {
        return w.topLevel()->findChild<T *>(QString::fromLatin1(name));
    }
    static QRadioButton *choice(ConnectionWindow &w, const QString &text) {
        for (auto *radio : w.topLevel()->findChildren<QRadioButton *>())
            if (radio->text() == text)
                return radio;
        return nullptr;
    }
    void chooseListedPort(ConnectionWindow &w) {
        child<QPushButton>(w, "scanPort_button")->click();
        auto *ports = child<QComboBox>(w, "portCom_comboBox");
        ports->setCurrentIndex(ports->findText("ttyS0", Qt::MatchStartsWith));
    }
    static QWidget *consoleTopLevel(ConnectionWindow &w) {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top != w.topLevel() && top->objectName() == "main_window" && top->isVisible())
                return top;
        return nullptr;
    }
    static void disconnectConsole(ConnectionWindow &w) {
        auto *console = w.findChild<MainWindow *>();
        QVERIFY(console);
        console->findChild<QAction *>("actionDisconnect")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() {
        DebugCapture::install();
        portListed = pty.isOpen() && listed_port::listAsTtyS0(pty.slavePath());
    }

    void initialState() {
        ConnectionWindow w;
        QVERIFY(w.topLevel()->isVisible());
        QCOMPARE(w.topLevel()->windowTitle(), QStringLiteral("ZQ-Interface"));
        QVERIFY(!child<QPushButton>(w, "connection_button")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "defaultConnection_button")->isEnabled());
        QCOMPARE(child<QComboBox>(w, "portCom_comboBox")->count(), 0);
        QCOMPARE(child<QComboBox>(w, "baudrate_comboBox")->currentText(), QStringLiteral("1200"));
        QCOMPARE(child<QComboBox>(w, "flowControl_comboBox")->itemText(2),
                 QStringLiteral("hardware"));
        QVERIFY(child<QRadioButton>(w, "interfaceWindow_radioButton")->isChecked());
        int hiddenChoices = 0;
        for (auto *radio : w.topLevel()->findChildren<QRadioButton *>())
            hiddenChoices += radio->text() == "Bootloader Window" && radio->isHidden();
        QCOMPARE(hiddenChoices, 1);
    }

    void emptyListFailsCleanly() {
        ConnectionWindow w;
        QStringList reasons;
        w.connectionFailedNotice = [&](const QString &reason) { reasons << reason; };
        DebugCapture::clear();
        w.defaultConnection();
        QCOMPARE(reasons.size(), 1);
        QVERIFY2(reasons.first().startsWith("No port is chosen"), qPrintable(reasons.first()));
        QVERIFY(w.topLevel()->isVisible());
        QVERIFY(!w.findChild<MainWindow *>());
        QCOMPARE(DebugCapture::last(), QStringLiteral("Connection to  failed"));
    }

    void failureBoxText() {
        ConnectionWindow w;
        QString title, text, reason;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            text = box->text();
            reason = box->informativeText();
            box->accept();
        });
        w.connection();
        QCOMPARE(title, QStringLiteral("ZQ-Interface"));
        QCOMPARE(text, QStringLiteral("Connection failed"));
        QVERIFY(reason.startsWith("No port is chosen"));
    }

    // A port held by another program is said to be busy, without the dialout
    // advice that would not help.
    void busyPortIsToldAsBusy() {
        REQUIRE_LISTED_PORT();
        QSerialPort holder;
        holder.setPortName(QStringLiteral("/dev/ttyS0"));
        QVERIFY(holder.open(QIODevice::ReadWrite));
        ConnectionWindow w;
        QString reason;
        w.connectionFailedNotice = [&](const QString &why) { reason = why; };
        chooseListedPort(w);
        child<QPushButton>(w, "defaultConnection_button")->click();
        QVERIFY2(reason.startsWith("ttyS0 is in use by another program (") &&
                     !reason.contains("dialout"),
                 qPrintable(reason));
        QVERIFY(w.topLevel()->isVisible());
    }

    void failureTexts_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("text");
        const QString reason = QStringLiteral("ttyUSB0%1 (%2). ");
        QTest::newRow("opened by another program alone")
            << int(QSerialPort::PermissionError) << EBUSY
            << reason.arg(" is in use by another program", "Device or resource busy") +
                   "Close that program, or its connection to the port, and connect again.";
        QTest::newRow("no access")
            << int(QSerialPort::PermissionError) << EACCES
            << QString("ttyUSB0: Permission denied.\n\nOnly members of the dialout group may use "
                       "a serial port. Add yourself to the group and log in again:\n\n    sudo "
                       "adduser alice dialout");
        QTest::newRow("not a serial port")
            << int(QSerialPort::UnknownError) << ENOTTY
            << reason.arg(" is not a serial port", "Inappropriate ioctl for device") +
                   "Choose the unit's serial port and connect again.";
        QTest::newRow("input/output error")
            << int(QSerialPort::UnknownError) << EIO
            << reason.arg(" does not respond", "Input/output error") +
                   "Unplug the serial adapter and plug it in again, press \"Scan Port\" and "
                   "connect again.";
    }
    void failureTexts() {
        QFETCH(int, error);
        QFETCH(int, systemError);
        ConnectionFailure failure;
        failure.portName = QStringLiteral("ttyUSB0");
        failure.error = QSerialPort::SerialPortError(error);
        failure.systemError = systemError;
        failure.errorText = systemError
                                ? qt_error_string(systemError)
                                : QStringLiteral("Permission error while locking the device");
        failure.userName = QStringLiteral("alice");
        QTEST(connectionFailureText(failure), "text");
    }

    // Return presses the focused button.
    void returnScansPorts() {
        ConnectionWindow w;
        QVERIFY(activate(w.topLevel()));
        auto *scan = child<QPushButton>(w, "scanPort_button");
        scan->setFocus();
        QTest::keyClick(scan, Qt::Key_Return);
        QVERIFY(child<QPushButton>(w, "connection_button")->isEnabled());
    }

    // The firmware program's start window offers both windows, the firmware
    // one selected, and a connection opens it on the port.
    void firmwareChoiceOpensFirmwareWindow() {
        // No widget of the start window shows before it is in the window.
        QStringList shownAlone;
        RecordShown shown(&shownAlone);
        qApp->installEventFilter(&shown);
        ConnectionWindow w(nullptr, ConnectionWindow::Choices::FirmwareFirst);
        qApp->removeEventFilter(&shown);
        QCOMPARE(shownAlone, QStringList{"main_window"});
        QRadioButton *console = choice(w, QStringLiteral("Interface Window"));
        QRadioButton *firmware = choice(w, QStringLiteral("Bootloader Window"));
        QVERIFY(console && firmware);
        QVERIFY(!console->isHidden() && !firmware->isHidden());
        QVERIFY(firmware->isChecked() && !console->isChecked());
        REQUIRE_LISTED_PORT();
        chooseListedPort(w);
        child<QPushButton>(w, "defaultConnection_button")->click();
        auto *window = w.findChild<BootloaderWindow *>();
        QVERIFY(window);
        QVERIFY(!w.findChild<MainWindow *>());
        QCOMPARE(window->topLevel()->windowTitle(), QStringLiteral("ZQ-Bootloader"));
        window->topLevel()->findChild<QPushButton *>("startBL_button")->click();
        QCOMPARE(pty.readPayloads(1, 3000), QList<QByteArray>{"\x33"});
        window->findChild<QAction *>("actionDisconnect")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(w.topLevel()->isVisible());
    }

    void scanListsEachPortOnce() {
        REQUIRE_LISTED_PORT();
        ConnectionWindow w;
        child<QPushButton>(w, "scanPort_button")->click();
        child<QPushButton>(w, "scanPort_button")->click();
        auto *ports = child<QComboBox>(w, "portCom_comboBox");
        QCOMPARE(ports->count(), QSerialPortInfo::availablePorts().size());
        int ttyS0 = 0;
        for (int i = 0; i < ports->count(); ++i)
            ttyS0 += ports->itemText(i).startsWith("ttyS0 ");
        QCOMPARE(ttyS0, 1);
        QVERIFY(child<QPushButton>(w, "connection_button")->isEnabled());
        QVERIFY(DebugCapture::contains("Name : ttyS0"));
    }

    void settingsReachThePort_data() {
        QTest::addColumn<bool>("useDefault");
        QTest::addColumn<QList<int>>("positions"); // baud, data, parity, stop, flow
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("flow");
        QTest::newRow("untouched lists")
            << false << QList<int>{0, 0, 0, 0, 0} << 1200 << 8 << int(QSerialPort::NoParity) << 1
            << int(QSerialPort::NoFlowControl);
        QTest::newRow("every list moved")
            << false << QList<int>{3, 1, 2, 2, 1} << 9600 << 7 << int(QSerialPort::EvenParity) << 2
            << int(QSerialPort::SoftwareControl);
        QTest::newRow("default connection ignores the lists")
            << true << QList<int>{3, 1, 2, 2, 1} << 115200 << 8 << int(QSerialPort::NoParity) << 1
            << int(QSerialPort::NoFlowControl);
    }
    void settingsReachThePort() {
        REQUIRE_LISTED_PORT();
        QFETCH(bool, useDefault);
        QFETCH(QList<int>, positions);
        ConnectionWindow w;
        chooseListedPort(w);
        const char *boxes[] = {"baudrate_comboBox", "dataBit_comboBox", "parityBit_comboBox",
                               "stopBit_comboBox", "flowControl_comboBox"};
        for (int i = 0; i < 5; ++i)
            child<QComboBox>(w, boxes[i])->setCurrentIndex(positions.at(i));
        child<QPushButton>(w, useDefault ? "defaultConnection_button" : "connection_button")
            ->click();

        QSerialPort *port = w.serialPort();
        QVERIFY(port->isOpen());
        QCOMPARE(port->baudRate(), QTest::currentDataTag() == QByteArray("untouched lists")
                                       ? 1200
                                       : (useDefault ? 115200 : 9600));
        QTEST(int(port->dataBits()), "dataBits");
        QTEST(int(port->parity()), "parity");
        QTEST(int(port->stopBits() == QSerialPort::TwoStop ? 2 : 1), "stopBits");
        QTEST(int(port->flowControl()), "flow");
        // The other end of the line sees the same speed.
        termios tio{};
        QCOMPARE(::tcgetattr(pty.slaveFd(), &tio), 0);
        QFETCH(int, baud);
        const speed_t expected = baud == 1200 ? B1200 : baud == 9600 ? B9600 : B115200;
        QCOMPARE(cfgetospeed(&tio), expected);
        QVERIFY(!w.topLevel()->isVisible());
        QVERIFY(consoleTopLevel(w));
        disconnectConsole(w);
    }

    void reconnectAfterDisconnect() {
        REQUIRE_LISTED_PORT();
        ConnectionWindow w;
        chooseListedPort(w);
        DebugCapture::clear();
        child<QPushButton>(w, "defaultConnection_button")->click();
        QVERIFY(DebugCapture::contains("Connection to ttyS0 OK"));
        QPointer<MainWindow> first = w.findChild<MainWindow *>();
        QVERIFY(first);
        disconnectConsole(w);
        QVERIFY(first.isNull());
        QVERIFY(DebugCapture::contains("Destroy MW"));
        QVERIFY(w.topLevel()->isVisible());
        QVERIFY(!consoleTopLevel(w));
        QVERIFY(w.serialPort()->isOpen()); // stays open until the next attempt

        child<QPushButton>(w, "connection_button")->click(); // closes, then reopens at 1200
        QCOMPARE(w.serialPort()->baudRate(), 1200);
        QPointer<MainWindow> second = w.findChild<MainWindow *>();
        QVERIFY(second);
        QVERIFY(consoleTopLevel(w));
        disconnectConsole(w);
        QTRY_VERIFY(DebugCapture::contains("Destroy uart"));
    }

    void destructorClosesThePort() {
        DebugCapture::clear();
        { ConnectionWindow w; }
        QCOMPARE(DebugCapture::last(), QStringLiteral("Destroy CW"));
    }
};

int main(int argc, char *argv[]) {
    listed_port::enterPrivateNamespace(); // before any thread exists
    QApplication app(argc, argv);
    TestConnectionWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_connection_window.moc"
