#include "MainWindow.h"

#include "SuperUserGate.h"

using namespace zq::console;

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : QMainWindow(parent) {
    main_window = createConsoleTopLevel(title, main_horizontalLayout);
    menu = buildConsoleMenu(this, main_horizontalLayout);
    messages = buildMessageColumn();
    buildControlColumn();
    information = buildInformationColumn(kEdition);
    placeColumns(main_horizontalLayout, messages, controls, information);
    connectSignals();
    showConsoleWindow(main_window, kEdition);
    startSession(this, port, menu, link, informationTimer);
}

MainWindow::~MainWindow() {
    endSession(link, informationTimer, main_window);
}

void MainWindow::buildControlColumn() {
    controls = buildScrolledControlColumn();
    QVBoxLayout *column = controls.verticalLayout_2;
    flash = buildFlashRow(column);
    triggers = buildTriggerRows(column, TriggerLayout::Edition5);
    calibration = buildCalibrationRows(column);
    outputTriggerMode = buildOutputTriggerModeRows(column);
    voltageAndSequence = buildVoltageAndSequenceRows(column, SequenceTestControl::StartStopButton);
    service = buildServiceRows(column, this, kEdition);
}

void MainWindow::connectSignals() {
    connectSharedControls(this, menu, messages, information);
    connectFlashRow(this, flash);
    connectTriggerRows(this, triggers);
    connectCalibrationRows(this, calibration);
    connectOutputTriggerMode(this, outputTriggerMode);
    connectChargeVoltage(this, voltageAndSequence);
    connectServiceRows(this, voltageAndSequence, service);
    connect(service.eepromStatus_button, &QPushButton::clicked, this, &MainWindow::eepromStatus);
}

void MainWindow::superUser() {
    unlockForSuperUser(this, QList<QWidget *>{service.resetMemory_button} +
                                 voltageAndSequence.chargeVoltageControls() +
                                 calibration.superUserControls());
}

void MainWindow::manageReceivedData(quint8 length, quint8 *buffer) {
    showAnswer(kEdition, messages.messages_textEdit, information, buffer, length);
}
