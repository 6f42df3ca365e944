#include "MainWindow.h"

#include "ProgramConsole.h"

#include "SuperUserGate.h"

using namespace zq::console;

const ProgramConsole zq::console::kProgramConsole = programConsoleOf<MainWindow>();

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : QMainWindow(parent) {
    column = buildEnergyLevelColumn(this, kEdition);
    connectSharedControls(this, shell);
    connectEnergyLevelColumn(this, column);
    connectServiceRows(this, column.voltageAndSequence, column.service);
    shell.open(this, port, column.controls);
}

void MainWindow::superUser() {
    unlockForSuperUser(this, QList<QWidget *>{column.service.resetMemory_button} +
                                 column.voltageAndSequence.chargeVoltageControls());
}
