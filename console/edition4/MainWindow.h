#pragma once
// Console window of edition 4.

#include <QMainWindow>

class QAction;
class QMenu;
class QMenuBar;
class QSerialPort;
class QVBoxLayout;
class uart;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kEdition = 4;

    MainWindow(QWidget *parent, QSerialPort *port);
    ~MainWindow() override;

signals:
    void mwClosed();

public slots:
    void closeWindow();

private:
    uart *link = nullptr;
    QString windowTitle_ = QStringLiteral("ZQ-Interface");
    QWidget *main_window = nullptr;
    QVBoxLayout *main_layout = nullptr;
    QMenuBar *menuBar = nullptr;
    QMenu *menuZQ = nullptr;
    QAction *actionResetUartQueue = nullptr;
    QAction *actionDisconnect = nullptr;
};
