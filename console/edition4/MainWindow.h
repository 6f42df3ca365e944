#pragma once
// Console window of edition 4: the trigger tables and the output trigger mode
// of edition 5, without calibration, and with its own table layout. The
// shared parts do the work.

#include "ConsoleWindow.h"

class MainWindow : public zq::console::TriggerConsole {
    Q_OBJECT
public:
    static constexpr int kEdition = 4;

    MainWindow(QWidget *parent, QSerialPort *port);
};
