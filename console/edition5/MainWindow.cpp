#include "MainWindow.h"

#include "ProgramConsole.h"

#include "SuperUserGate.h"

using namespace zq::console;

const ProgramConsole zq::console::kProgramConsole = programConsoleOf<MainWindow>();

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : QMainWindow(parent) {
    column = buildTriggerColumn(this, kEdition, TriggerLayout::Edition5);
    connectSharedControls(this, shell);
    connectTriggerColumn(this, column);
    connectCalibrationRows(this, column.calibration);
    shell.open(this, port, column.controls);
}

// Calibration joins the memory reset and the charge voltage behind the gate.
void MainWindow::superUser() {
    unlockForSuperUser(this, QList<QWidget *>{column.service.resetMemory_button} +
                                 column.voltageAndSequence.chargeVoltageControls() +
                                 column.calibration.superUserControls());
}
