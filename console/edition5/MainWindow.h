#pragma once
// Console window of edition 5, the newest: two trigger tables, the output
// trigger mode and calibration, beside what every edition has. Each slot is
// the edition's answer to one control; the shared parts do the work.

#include <QMainWindow>

#include "ControlColumns.h"

class QSerialPort;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kEdition = 5;

    MainWindow(QWidget *parent, QSerialPort *port);

signals:
    void mwClosed();

public slots:
    void saveMessages() { shell.saveMessages(); }
    void action() { shell.send(column.triggers.flashPayload()); }
    void changeCVoltage() { shell.send(column.voltageAndSequence.chargeVoltagePayload(kEdition)); }
    void saveTriggersSettings() { shell.send(zq::console::saveTriggerSettings()); }
    void readTriggerSettings() { shell.send(column.triggers.readSettingsPayload(sender())); }
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
    void trigger_selected(bool state) { column.triggers.selectTrigger(sender(), state); }
    void numberOfFlashesChanged(int index) { column.triggers.showFlashes(sender(), index); }
    void setTrigger() { shell.send(column.triggers.sequencePayload(sender())); }
    void outputTriggerModeChanged(int index) { shell.send(zq::console::outputTriggerMode(index)); }
    void calibrate() { shell.send(zq::console::calibrate()); }
    void readCalibration() { shell.send(column.calibration.readPayload(sender())); }

private:
    // The link, the timer, the title, main_window and the outer columns; its
    // destruction stops the timer, releases them and says "Destroy MW".
    zq::console::ConsoleShell shell{this, kEdition};
    zq::console::TriggerColumn column;
};
