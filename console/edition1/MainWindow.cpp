#include "MainWindow.h"

#include "ProgramConsole.h"

#include "SuperUserGate.h"

using namespace zq::console;

const ProgramConsole zq::console::kProgramConsole = programConsoleOf<MainWindow>();

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : QMainWindow(parent) {
    column = buildEnergyLevelColumn(this, kEdition);
    connectSharedControls(this, shell);
    connectEnergyLevelColumn(this, column);
    connect(column.voltageAndSequence.sequenceTest_checkBox, &QCheckBox::toggled, this,
            &MainWindow::seqTestEnabled);
    connect(column.reset_button, &QPushButton::clicked, this, &MainWindow::reset);
    shell.open(this, port, column.controls);
}

// While "Sequence Test" is ticked, "Flash" starts and stops the sequence test.
// The state changes when the command is sent; the unit's answer is only shown.
void MainWindow::action() {
    const VoltageAndSequenceRows &sequence = column.voltageAndSequence;
    if (!sequence.sequenceTest_checkBox->isChecked()) {
        shell.send(column.energyLevels.flashPayload());
        return;
    }
    sequenceTestRunning = !sequenceTestRunning;
    column.flash.action_button->setText(sequenceTestRunning
                                            ? QStringLiteral("Stop Sequence Test")
                                            : QStringLiteral("Start Sequence Test"));
    shell.send(sequenceTestRunning ? sequence.sequenceTestStartPayload() : sequenceTestStop());
}

void MainWindow::superUser() {
    unlockForSuperUser(this, QList<QWidget *>{column.reset_button} +
                                 column.voltageAndSequence.chargeVoltageControls());
}

// Leaving the mode stops a running sequence test, so that "Flash" never
// leaves one behind that no button can stop.
void MainWindow::seqTestEnabled(bool checked) {
    if (!checked && sequenceTestRunning) {
        sequenceTestRunning = false;
        shell.send(sequenceTestStop());
    }
    column.voltageAndSequence.setSequenceSettingsEnabled(checked);
    column.flash.action_button->setText(checked ? QStringLiteral("Start Sequence Test")
                                                : QStringLiteral("Flash"));
}
