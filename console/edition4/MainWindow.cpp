#include "MainWindow.h"

#include "ProgramConsole.h"

#include "SuperUserGate.h"

using namespace zq::console;

const ProgramConsole zq::console::kProgramConsole = programConsoleOf<MainWindow>();

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : QMainWindow(parent) {
    column = buildTriggerColumn(this, kEdition, TriggerLayout::Edition4);
    connectSharedControls(this, shell);
    connectTriggerColumn(this, column);
    shell.open(this, port, column.controls);
}

void MainWindow::superUser() {
    unlockForSuperUser(this, QList<QWidget *>{column.service.resetMemory_button} +
                                 column.voltageAndSequence.chargeVoltageControls());
}
