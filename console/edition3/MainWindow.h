#pragma once
// Console window of edition 3: a high and a low energy level instead of
// trigger tables, no output trigger mode, and a window of fixed size. The
// shared parts do the work.

#include "ConsoleWindow.h"

class MainWindow : public zq::console::EnergyLevelConsole {
    Q_OBJECT
public:
    static constexpr int kEdition = 3;

    MainWindow(QWidget *parent, QSerialPort *port);
};
