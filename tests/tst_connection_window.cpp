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

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <termios.h>
#include <unistd.h>

#include "ConnectionWindow.h"
#include "DebugCapture.h"
#include "MainWindow.h"
#include "Pty.h"

namespace {
const char kListedDevice[] = "/dev/ttyS0";
bool privateNamespace = false;

} // namespace

class TestConnectionWindow : public QObject {
    Q_OBJECT
    Pty pty;
    bool portListed = false;
    bool madePlaceholder = false;

    template <typename T> static T *child(ConnectionWindow &w, const char *name) {
        return w.topLevel()->findChild<T *>(QString::fromLatin1(name));
    }
    void requirePort() {
        if (!portListed)
            QSKIP("needs root and a private mount namespace with /dev/ttyS0 listed by Qt");
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
        if (!privateNamespace || !pty.isOpen())
            return;
        if (::access(kListedDevice, F_OK) != 0) {
            const int fd = ::open(kListedDevice, O_CREAT | O_WRONLY, 0600);
            if (fd < 0)
                return;
            ::close(fd);
            madePlaceholder = true;
        }
        if (::mount(pty.slavePath().toLocal8Bit().constData(), kListedDevice, nullptr, MS_BIND,
                    nullptr) != 0)
            return;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            portListed |= info.systemLocation() == QLatin1String(kListedDevice);
    }

    void cleanupTestCase() {
        ::umount(kListedDevice);
        if (madePlaceholder)
            ::unlink(kListedDevice);
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
        int notices = 0;
        w.connectionFailedNotice = [&] { ++notices; };
        DebugCapture::clear();
        w.defaultConnection();
        QCOMPARE(notices, 1);
        QVERIFY(w.topLevel()->isVisible());
        QVERIFY(!w.findChild<MainWindow *>());
        QCOMPARE(DebugCapture::last(), QStringLiteral("Connection to  failed"));
    }

    void failureBoxText() {
        ConnectionWindow w;
        QString title, text;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
        w.connection();
        QCOMPARE(title, QStringLiteral("ZQ-Interface"));
        QCOMPARE(text, QStringLiteral("Connection failed"));
    }

    void scanListsEachPortOnce() {
        requirePort();
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
        QTest::newRow("untouched lists") << false << QList<int>{0, 0, 0, 0, 0} << 1200 << 8
                                         << int(QSerialPort::NoParity) << 1
                                         << int(QSerialPort::NoFlowControl);
        QTest::newRow("every list moved") << false << QList<int>{3, 1, 2, 2, 1} << 9600 << 7
                                          << int(QSerialPort::EvenParity) << 2
                                          << int(QSerialPort::SoftwareControl);
        QTest::newRow("default connection ignores the lists")
            << true << QList<int>{3, 1, 2, 2, 1} << 115200 << 8 << int(QSerialPort::NoParity) << 1
            << int(QSerialPort::NoFlowControl);
    }
    void settingsReachThePort() {
        requirePort();
        QFETCH(bool, useDefault);
        QFETCH(QList<int>, positions);
        ConnectionWindow w;
        child<QPushButton>(w, "scanPort_button")->click();
        auto *ports = child<QComboBox>(w, "portCom_comboBox");
        ports->setCurrentIndex(ports->findText("ttyS0", Qt::MatchStartsWith));
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
        requirePort();
        ConnectionWindow w;
        child<QPushButton>(w, "scanPort_button")->click();
        auto *ports = child<QComboBox>(w, "portCom_comboBox");
        ports->setCurrentIndex(ports->findText("ttyS0", Qt::MatchStartsWith));
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
    // Before any thread exists: a mount namespace of our own, so that the
    // bind mount is seen by this process alone.
    privateNamespace = ::unshare(CLONE_NEWNS) == 0 &&
                       ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QApplication app(argc, argv);
    TestConnectionWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_connection_window.moc"
