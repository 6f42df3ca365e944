#pragma once
// Console window of edition 1, the oldest: the energy levels of editions 2
// and 3, no diagnosis, flash status, standby or controller reset, "Reset ZQ
// Flash" for the memory, and the sequence test as a mode of the "Flash"
// button whose running state belongs to this window alone.

#include <QMainWindow>

#include "ControlColumns.h"

class QSerialPort;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kEdition = 1;

    MainWindow(QWidget *parent, QSerialPort *port);

signals:
    void mwClosed();

public slots:
    void saveMessages() { shell.saveMessages(); }
    void action();
    void changeHLevel() { shell.send(column.energyLevels.levelPayload(true)); }
    void changeLLevel() { shell.send(column.energyLevels.levelPayload(false)); }
    void changeCVoltage() { shell.send(column.voltageAndSequence.chargeVoltagePayload(kEdition)); }
    void saveELevel() { shell.send(zq::console::saveTriggerSettings()); }
    void readELevel() { shell.send(zq::console::readEnergyLevels()); }
    void reset() { shell.send(zq::console::resetMemory(kEdition)); }
    void superUser();
    void updateI() { shell.pollInformation(); }
    void updateI_Timer(int value) { shell.setPollPeriod(value); }
    void closeWindow() { shell.closeWindow(); }
    void seqTestEnabled(bool checked);
    void manageReceivedData(quint8 length, quint8 *buffer) { shell.showAnswer(buffer, length); }

private:
    // The link, the timer, the title, main_window and the outer columns; its
    // destruction stops the timer, releases them and says "Destroy MW".
    zq::console::ConsoleShell shell{this, kEdition};
    zq::console::EnergyLevelColumn column;
    bool sequenceTestRunning = false;
};
