#pragma once
// The firmware-update window: talks to the unit's bootloader.

#include <QMainWindow>

class QAction;
class QMenu;
class QMenuBar;
class QSerialPort;
class QVBoxLayout;
class uart;

class BootloaderWindow : public QMainWindow {
    Q_OBJECT
public:
    // `linkEdition` is the program's edition, for its link habits.
    BootloaderWindow(QWidget *parent, QSerialPort *port, int linkEdition = 5);
    ~BootloaderWindow() override;

signals:
    void bwClosed();

public slots:
    void closeWindow();

private:
    uart *link = nullptr;
    QWidget *main_window = nullptr;
    QVBoxLayout *main_verticalLayout = nullptr;
    QString windowTitle_ = QStringLiteral("ZQ-Bootloader");
    QMenuBar *menuBar = nullptr;
    QMenu *menuZQ = nullptr;
    QAction *actionResetUartQueue = nullptr;
    QAction *actionDisconnect = nullptr;
};
