#pragma once
// Console window of edition 1, the oldest: the energy levels of editions 2
// and 3, no diagnosis, flash status, standby or controller reset, "Reset ZQ
// Flash" for the memory, and the sequence test as a mode of the "Flash"
// button whose running state belongs to this window alone.

#include "ConsoleWindow.h"

class MainWindow : public zq::console::EnergyLevelConsole {
    Q_OBJECT
public:
    static constexpr int kEdition = 1;

    MainWindow(QWidget *parent, QSerialPort *port);

public slots:
    void action();
    // "Reset ZQ Flash" resets the memory: this edition has no controller reset.
    void reset() { resetMemory(); }
    void superUser();
    void seqTestEnabled(bool checked);

private:
    bool sequenceTestRunning = false;
};
