#include "MainWindow.h"

using namespace zq::console;

const ProgramConsole zq::console::kProgramConsole = programConsoleOf<MainWindow>();

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : TriggerConsole(parent, kEdition) {
    column = buildTriggerColumn(this, kEdition, TriggerLayout::Edition4);
    connectSharedControls(this, shell);
    connectTriggerColumn(this, column);
    shell.open(this, port, column.controls);
}
