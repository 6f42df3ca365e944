#pragma once
// What the five editions' console windows share: the closing signal, the
// slots of the frame around the control column (ConsoleShell), and the slots
// of the rows that more than one edition has. An edition's MainWindow derives
// from the kind of its column; its constructor connects the rows it has, so
// a slot of a row the edition lacks is never called.

#include <QMainWindow>

#include "ControlColumns.h"
#include "SuperUserGate.h"

class QSerialPort;

namespace zq::console {

class ConsoleWindow : public QMainWindow {
    Q_OBJECT
public:
    ConsoleWindow(QWidget *parent, int edition) : QMainWindow(parent), shell(this, edition) {}

signals:
    void mwClosed();

public slots:
    void saveMessages() { shell.saveMessages(); }
    void updateI() { shell.pollInformation(); }
    void updateI_Timer(int value) { shell.setPollPeriod(value); }
    void closeWindow() { shell.closeWindow(); }
    void manageReceivedData(quint8 length, quint8 *buffer) { shell.showAnswer(buffer, length); }

protected:
    // The link, the timer, the title, main_window and the outer columns; its
    // destruction stops the timer, releases them and says "Destroy MW".
    ConsoleShell shell;
};

// The console a program opens on a connected port. Each edition's library
// defines it once, so a program chooses its console by the edition it links.
struct ProgramConsole {
    int edition; // the console's, and the firmware window's link habits
    ConsoleWindow *(*open)(QWidget *parent, QSerialPort *port);
};
extern const ProgramConsole kProgramConsole;

template <class Window> constexpr ProgramConsole programConsoleOf() {
    return {Window::kEdition, [](QWidget *parent, QSerialPort *port) -> ConsoleWindow * {
                return new Window(parent, port);
            }};
}

// The slots of the rows that both kinds of control column hold.
template <class Column> class ColumnConsole : public ConsoleWindow {
public:
    using ConsoleWindow::ConsoleWindow;

    void changeCVoltage() {
        shell.send(column.voltageAndSequence.chargeVoltagePayload(shell.edition));
    }
    void resetMemory() { shell.send(zq::console::resetMemory(shell.edition)); }
    void reset() { shell.send(column.service.controllerResetPayload()); }
    void startStopSeqTest() { shell.send(column.voltageAndSequence.toggleSequenceTest()); }
    void diagnosis() { shell.send(zq::console::diagnosis()); }
    void flashStatus() { shell.send(readFlashStatus()); }
    void standby() { shell.send(column.service.toggleStandby()); }
    void eepromStatus() { shell.send(readEepromStatus()); }
    // The memory reset and the charge voltage wait behind the password.
    void superUser() {
        unlockForSuperUser(this, QList<QWidget *>{column.service.resetMemory_button} +
                                     column.voltageAndSequence.chargeVoltageControls());
    }

protected:
    Column column;
};

// Editions 1 to 3: a high and a low energy level.
class EnergyLevelConsole : public ColumnConsole<EnergyLevelColumn> {
public:
    using ColumnConsole::ColumnConsole;

    void action() { shell.send(column.energyLevels.flashPayload()); }
    void changeHLevel() { shell.send(column.energyLevels.levelPayload(true)); }
    void changeLLevel() { shell.send(column.energyLevels.levelPayload(false)); }
    void saveELevel() { shell.send(saveTriggerSettings()); }
    void readELevel() { shell.send(readEnergyLevels()); }
};

// Editions 4 and 5: two triggers' flash sequences and the output trigger mode.
class TriggerConsole : public ColumnConsole<TriggerColumn> {
public:
    using ColumnConsole::ColumnConsole;

    void action() { shell.send(column.triggers.flashPayload()); }
    void saveTriggersSettings() { shell.send(saveTriggerSettings()); }
    void readTriggerSettings() { shell.send(column.triggers.readSettingsPayload(sender())); }
    void trigger_selected(bool state) { column.triggers.selectTrigger(sender(), state); }
    void numberOfFlashesChanged(int index) { column.triggers.showFlashes(sender(), index); }
    void setTrigger() { shell.send(column.triggers.sequencePayload(sender())); }
    void outputTriggerModeChanged(int index) { shell.send(outputTriggerMode(index)); }
};

} // namespace zq::console
