#pragma once
// Console window of edition 2: a high and a low energy level instead of
// trigger tables, no output trigger mode, a window of fixed size, and no
// EEPROM status. The shared parts do the work.

#include "ConsoleWindow.h"

class MainWindow : public zq::console::EnergyLevelConsole {
    Q_OBJECT
public:
    static constexpr int kEdition = 2;

    MainWindow(QWidget *parent, QSerialPort *port);
};
