#pragma once
// The start window: pick a serial port and its settings, connect, and open
// the console of the edition the program links (or, through the hidden
// choice, the firmware window) on it. It owns the one QSerialPort of the
// whole run.

#include <QList>
#include <QMainWindow>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <functional>

class QComboBox;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
struct PortSettings;

// What is known about a port that did not open.
struct ConnectionFailure {
    QString portName; // empty: no port was chosen
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString errorText;   // the port's own words
    int systemError = 0; // the errno behind errorText, where one is
    QString userName;    // who runs the program
};
// Why the connection failed, with what to do where the user can do something.
QString connectionFailureText(const ConnectionFailure &failure);

class ConnectionWindow : public QMainWindow {
    Q_OBJECT
public:
    // Which windows a connection can open. The consoles keep the firmware
    // window's choice hidden; the firmware program shows it, selected.
    enum class Choices { ConsoleOnly, FirmwareFirst };

    explicit ConnectionWindow(QWidget *parent = nullptr, Choices choices = Choices::ConsoleOnly);
    ~ConnectionWindow() override;

    // Shows "Connection failed" with the reason; a test may replace it to
    // answer without a modal loop.
    std::function<void(const QString &reason)> connectionFailedNotice;

    QWidget *topLevel() const { return main_window; }
    QSerialPort *serialPort() const { return port; }

public slots:
    void scanPort();
    void connection();
    void defaultConnection();

private:
    QVBoxLayout *buildSettingsColumn();
    QVBoxLayout *buildButtonColumn(Choices choices);
    void connectWith(const PortSettings &settings);
    void openWindowOnPort();

    QWidget *main_window = nullptr;
    QComboBox *portCom_comboBox = nullptr;
    QComboBox *baudrate_comboBox = nullptr;
    QComboBox *dataBit_comboBox = nullptr;
    QComboBox *parityBit_comboBox = nullptr;
    QComboBox *stopBit_comboBox = nullptr;
    QComboBox *flowControl_comboBox = nullptr;
    QPushButton *scanPort_button = nullptr;
    QRadioButton *interfaceWindow_radioButton = nullptr;
    QRadioButton *bootloaderWindow_radioButton = nullptr;
    QPushButton *connection_button = nullptr;
    QPushButton *defaultConnection_button = nullptr;

    QList<QSerialPortInfo> ports;
    QSerialPort *port = nullptr;
};
