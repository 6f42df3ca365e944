#include "MainWindow.h"

using namespace zq::console;

const ProgramConsole zq::console::kProgramConsole = programConsoleOf<MainWindow>();

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : TriggerConsole(parent, kEdition) {
    buildColumn(this, TriggerLayout::Edition4);
    shell.open(this, port, column.controls);
}
