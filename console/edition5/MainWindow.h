#pragma once
// Console window of edition 5, the newest: two trigger tables, the output
// trigger mode and calibration, beside what every edition has. Each slot is
// the edition's answer to one control; the shared parts do the work.

#include <QMainWindow>

#include "ConsoleShell.h"
#include "ControlRows.h"
#include "TriggerRows.h"

class QSerialPort;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kEdition = 5;

    MainWindow(QWidget *parent, QSerialPort *port);
    ~MainWindow() override;

signals:
    void mwClosed();

public slots:
    void saveMessages() { zq::console::saveMessages(messages.messages_textEdit); }
    void action() { send(triggers.flashPayload()); }
    void changeCVoltage() { send(voltageAndSequence.chargeVoltagePayload(kEdition)); }
    void saveTriggersSettings() { send(zq::console::saveTriggerSettings()); }
    void readTriggerSettings() { send(triggers.readSettingsPayload(sender())); }
    void resetMemory() { send(zq::console::resetMemory(kEdition)); }
    void reset() { send(service.controllerResetPayload()); }
    void superUser();
    void updateI() { zq::console::pollInformation(link, information); }
    void updateI_Timer(int value) { zq::console::setPollPeriod(informationTimer, value); }
    void closeWindow() { main_window->close(); }
    void startStopSeqTest() { send(voltageAndSequence.toggleSequenceTest()); }
    void manageReceivedData(quint8 length, quint8 *buffer);
    void diagnosis() { send(zq::console::diagnosis()); }
    void flashStatus() { send(zq::console::readFlashStatus()); }
    void standby() { send(service.toggleStandby()); }
    void eepromStatus() { send(zq::console::readEepromStatus()); }
    void trigger_selected(bool state) { triggers.selectTrigger(sender(), state); }
    void numberOfFlashesChanged(int index) { triggers.showFlashes(sender(), index); }
    void setTrigger() { send(triggers.sequencePayload(sender())); }
    void outputTriggerModeChanged(int index) { send(zq::console::outputTriggerMode(index)); }
    void calibrate() { send(zq::console::calibrate()); }
    void readCalibration() { send(calibration.readPayload(sender())); }

private:
    void buildControlColumn();
    void connectSignals();
    void send(const QByteArray &payload) { zq::console::enqueue(link, payload); }

    uart *link = nullptr;
    QTimer *informationTimer = nullptr;
    QString title = QStringLiteral("ZQ-Interface");
    QWidget *main_window = nullptr;
    QHBoxLayout *main_horizontalLayout = nullptr;
    zq::console::MessageColumn messages;
    zq::console::ScrolledControlColumn controls;
    zq::console::FlashRow flash;
    zq::console::TriggerRows triggers;
    zq::console::CalibrationRows calibration;
    zq::console::OutputTriggerModeRows outputTriggerMode;
    zq::console::VoltageAndSequenceRows voltageAndSequence;
    zq::console::ServiceRows service;
    zq::console::InformationColumn information;
    zq::console::ConsoleMenu menu;
};
