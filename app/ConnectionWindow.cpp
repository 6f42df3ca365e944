#include "ConnectionWindow.h"

#include <QComboBox>
#include <QDebug>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QVBoxLayout>

#include <cerrno>
#include <pwd.h>
#include <unistd.h>

#include "BootloaderWindow.h"
#include "PortSettings.h"
#include "ProgramConsole.h"
#include "ScreenFit.h"
#include "WidgetFactory.h"

using namespace zq::ui;

namespace {
const char kTitle[] = "ZQ-Interface"; // the window's and its notice's
constexpr int kListBoxMinWidth = 150;

// QSerialPort gives the system's error only as text: find the errno it came from.
int systemErrorOf(const QString &text) {
    for (int code : {EACCES, EPERM, EBUSY, ENOTTY, EIO})
        if (text == qt_error_string(code))
            return code;
    return 0;
}

// The user's own name, also in a root shell where $USER is root.
QString realUserName() {
    if (const passwd *entry = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

ConnectionFailure failureOf(bool havePort, const QSerialPort &port) {
    ConnectionFailure f;
    if (!havePort)
        return f;
    f.portName = port.portName();
    f.error = port.error();
    f.errorText = port.errorString();
    f.systemError = systemErrorOf(f.errorText);
    f.userName = realUserName();
    return f;
}
} // namespace

QString connectionFailureText(const ConnectionFailure &f) {
    if (f.portName.isEmpty())
        return QStringLiteral("No port is chosen: connect the unit's serial adapter, then press "
                              "\"Scan Port\" and choose its port.");
    const QString port = f.portName;
    const QString said = QStringLiteral(" (%1). ").arg(f.errorText);
    // Another program holds the port: its lock file, or the port opened for
    // it alone. Membership of dialout would not help.
    if (f.systemError == EBUSY || (f.error == QSerialPort::PermissionError &&
                                   f.systemError != EACCES && f.systemError != EPERM))
        return port + QStringLiteral(" is in use by another program") + said +
               QStringLiteral("Close that program, or its connection to the port, and connect "
                              "again.");
    if (f.systemError == EACCES || f.systemError == EPERM)
        return port + QStringLiteral(": ") + f.errorText +
               QStringLiteral(".\n\nOnly members of the dialout group may use a serial port. "
                              "Add yourself to the group and log in again:\n\n    sudo adduser "
                              "%1 dialout")
                   .arg(f.userName);
    if (f.systemError == ENOTTY)
        return port + QStringLiteral(" is not a serial port") + said +
               QStringLiteral("Choose the unit's serial port and connect again.");
    if (f.systemError == EIO)
        return port + QStringLiteral(" does not respond") + said +
               QStringLiteral("Unplug the serial adapter and plug it in again, press \"Scan "
                              "Port\" and connect again.");
    return port + QStringLiteral(": ") + f.errorText;
}

ConnectionWindow::ConnectionWindow(QWidget *parent, Choices choices) : QMainWindow(parent) {
    main_window = named(new QWidget, "main_window");
    auto *main_horizontalLayout = named(new QHBoxLayout, "main_horizontalLayout");
    setWindowSpacing(main_horizontalLayout);
    main_horizontalLayout->addLayout(buildSettingsColumn());
    addLine(main_horizontalLayout, "vLine1");
    main_horizontalLayout->addLayout(buildButtonColumn(choices));

    connect(scanPort_button, &QPushButton::clicked, this, &ConnectionWindow::scanPort);
    connect(connection_button, &QPushButton::clicked, this, &ConnectionWindow::connection);
    connect(defaultConnection_button, &QPushButton::clicked, this,
            &ConnectionWindow::defaultConnection);

    connectionFailedNotice = [](const QString &reason) {
        QMessageBox box(QMessageBox::Information, QString::fromLatin1(kTitle),
                        QStringLiteral("Connection failed"), QMessageBox::Ok);
        box.setInformativeText(reason);
        box.exec();
    };

    main_window->setLayout(main_horizontalLayout);
    main_window->setWindowTitle(QString::fromLatin1(kTitle));
    main_window->show();
    main_window->setFixedSize(main_window->sizeHint());
    zq::ui::fitToScreen(main_window);

    port = new QSerialPort;
}

ConnectionWindow::~ConnectionWindow() {
    if (port->isOpen())
        port->close();
    delete port;
    delete main_window;
    qDebug() << "Destroy CW";
}

QVBoxLayout *ConnectionWindow::buildSettingsColumn() {
    auto *column = named(new QVBoxLayout, "verticalLayout_1");
    // A row of the label and the list box of one setting, named after it.
    const auto addRow = [column](const QByteArray &setting, const QString &label,
                                 const QStringList &items) {
        auto *box = named(new QComboBox, (setting + "_comboBox").constData());
        box->setMinimumWidth(kListBoxMinWidth);
        box->addItems(items);
        column->addLayout(makeRow((setting + "_horizontalLayout").constData(),
                                  {makeLabel((setting + "_label").constData(), label), box}));
        return box;
    };
    portCom_comboBox = addRow("portCom", QStringLiteral("Port Com :"), {});
    baudrate_comboBox = addRow("baudrate", QStringLiteral("Baudrate :"),
                               {tr("1200"), tr("2400"), tr("4800"), tr("9600"), tr("19200"),
                                tr("38400"), tr("57600"), tr("115200")});
    dataBit_comboBox = addRow("dataBit", QStringLiteral("Data :"), {tr("8 bits"), tr("7 bits")});
    parityBit_comboBox = addRow("parityBit", QStringLiteral("Parity :"),
                                {tr("none"), tr("odd"), tr("even"), tr("mark"), tr("space")});
    stopBit_comboBox =
        addRow("stopBit", QStringLiteral("Stop Bit :"), {tr("1 bit"), tr("1.5 bit"), tr("2 bits")});
    flowControl_comboBox = addRow("flowControl", QStringLiteral("Flow Control :"),
                                  {tr("none"), tr("Xon/Xoff"), tr("hardware")});
    return column;
}

QVBoxLayout *ConnectionWindow::buildButtonColumn(Choices choices) {
    scanPort_button = makeButton("scanPort_button", QStringLiteral("Scan Port"));
    interfaceWindow_radioButton =
        makeRadioButton("interfaceWindow_radioButton", QStringLiteral("Interface Window"),
                        choices == Choices::ConsoleOnly);
    // In the consoles the firmware window is reached only by unchecking the
    // console choice, which no control offers: this second choice stays hidden.
    // Nothing shows it before it has a parent: it would flash up as a window
    // of its own. It appears with the start window.
    bootloaderWindow_radioButton = new QRadioButton(QStringLiteral("Bootloader Window"));
    bootloaderWindow_radioButton->setChecked(choices == Choices::FirmwareFirst);
    if (choices == Choices::ConsoleOnly)
        bootloaderWindow_radioButton->hide();
    connection_button = makeButton("connection_button", QStringLiteral("Connection"), false);
    defaultConnection_button =
        makeButton("defaultConnection_button", QStringLiteral("Default Connection"), false);
    return makeStack("verticalLayout_2",
                     {scanPort_button, line(QFrame::HLine, QStringLiteral("hLine21")),
                      interfaceWindow_radioButton, bootloaderWindow_radioButton,
                      line(QFrame::HLine, QStringLiteral("hLine22")), connection_button,
                      defaultConnection_button});
}

void ConnectionWindow::scanPort() {
    connection_button->setEnabled(true);
    defaultConnection_button->setEnabled(true);
    portCom_comboBox->clear();
    ports.clear();
    const auto available = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : available) {
        qDebug().noquote() << "Name : " + info.portName();
        qDebug().noquote() << "Description : " + info.description();
        qDebug().noquote() << "Manufacturer: " + info.manufacturer();
        ports.append(info);
        portCom_comboBox->addItem(info.portName() + QLatin1Char(' ') + info.description());
    }
}

void ConnectionWindow::connection() {
    connectWith(PortSettings::fromListPositions(
        baudrate_comboBox->currentIndex(), dataBit_comboBox->currentIndex(),
        parityBit_comboBox->currentIndex(), stopBit_comboBox->currentIndex(),
        flowControl_comboBox->currentIndex()));
}

void ConnectionWindow::defaultConnection() {
    connectWith(PortSettings::defaults());
}

void ConnectionWindow::connectWith(const PortSettings &settings) {
    if (port->isOpen())
        port->close();
    const int position = portCom_comboBox->currentIndex();
    // An empty list (a scan that found nothing) has no entry to connect to:
    // that is a failed connection, not a crash.
    const bool havePort = position >= 0 && position < ports.size();
    if (havePort) {
        port->setPort(ports.at(position));
        settings.applyTo(*port);
    }
    if (!havePort || !port->open(QIODevice::ReadWrite)) {
        qDebug().noquote() << "Connection to " + (havePort ? port->portName() : QString()) +
                                  " failed";
        connectionFailedNotice(connectionFailureText(failureOf(havePort, *port)));
        return;
    }
    qDebug().noquote() << "Connection to " + port->portName() + " OK";
    openWindowOnPort();
}

void ConnectionWindow::openWindowOnPort() {
    using zq::console::kProgramConsole;
    if (interfaceWindow_radioButton->isChecked()) {
        kProgramConsole.open(this, port, [this] { main_window->show(); });
    } else {
        auto *window = new BootloaderWindow(this, port, kProgramConsole.edition);
        connect(window, &BootloaderWindow::bwClosed, main_window, &QWidget::show);
        connect(window, &BootloaderWindow::bwClosed, window, &QObject::deleteLater);
    }
    main_window->hide();
}
