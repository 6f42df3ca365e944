#pragma once
// Console window of edition 3: a high and a low energy level instead of
// trigger tables, no output trigger mode, and a window of fixed size. Each
// slot is the edition's answer to one control; the shared parts do the work.

#include <QMainWindow>

#include "ControlColumns.h"

class QSerialPort;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kEdition = 3;

    MainWindow(QWidget *parent, QSerialPort *port);

signals:
    void mwClosed();

public slots:
    void saveMessages() { shell.saveMessages(); }
    void action() { shell.send(column.energyLevels.flashPayload()); }
    void changeHLevel() { shell.send(column.energyLevels.levelPayload(true)); }
    void changeLLevel() { shell.send(column.energyLevels.levelPayload(false)); }
    void changeCVoltage() { shell.send(column.voltageAndSequence.chargeVoltagePayload(kEdition)); }
    void saveELevel() { shell.send(zq::console::saveTriggerSettings()); }
    void readELevel() { shell.send(zq::console::readEnergyLevels()); }
    void resetMemory() { shell.send(zq::console::resetMemory(kEdition)); }
    void reset() { shell.send(column.service.controllerResetPayload()); }
    void superUser();
    void updateI() { shell.pollInformation(); }
    void updateI_Timer(int value) { shell.setPollPeriod(value); }
    void closeWindow() { shell.closeWindow(); }
    void startStopSeqTest() { shell.send(column.voltageAndSequence.toggleSequenceTest()); }
    void manageReceivedData(quint8 length, quint8 *buffer) { shell.showAnswer(buffer, length); }
    void diagnosis() { shell.send(zq::console::diagnosis()); }
    void flashStatus() { shell.send(zq::console::readFlashStatus()); }
    void standby() { shell.send(column.service.toggleStandby()); }
    void eepromStatus() { shell.send(zq::console::readEepromStatus()); }

private:
    // The link, the timer, the title, main_window and the outer columns; its
    // destruction stops the timer, releases them and says "Destroy MW".
    zq::console::ConsoleShell shell{this, kEdition};
    zq::console::EnergyLevelColumn column;
};
