#pragma once
// Console window of edition 5, the newest: two trigger tables, the output
// trigger mode and calibration, beside what every edition has. The shared
// parts do the work.

#include "ConsoleWindow.h"

class MainWindow : public zq::console::TriggerConsole {
    Q_OBJECT
public:
    static constexpr int kEdition = 5;

    MainWindow(QWidget *parent, QSerialPort *port);

public slots:
    void calibrate() { shell.send(zq::console::calibrate()); }
    void readCalibration() { shell.send(column.calibration.readPayload(sender())); }
    void superUser();
};
