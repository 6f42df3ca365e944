#pragma once
// The two kinds of control column. Editions 4 and 5 set up the two triggers'
// flash sequences in a scrolling column; editions 1 to 3 set a high and a low
// energy level in a column between two lines. Within a kind, what an edition
// lacks is left out as the edition's traits say.

#include "ConsoleShell.h"
#include "ControlRows.h"
#include "TriggerRows.h"

namespace zq::console {

struct TriggerColumn {
    ScrolledControlColumn controls;
    FlashRow flash;
    TriggerRows triggers;
    CalibrationRows calibration; // edition 5
    OutputTriggerModeRows outputTriggerMode;
    VoltageAndSequenceRows voltageAndSequence;
    ServiceRows service;
};
// `owner` is the hidden console object; it owns the reset kinds' button group.
TriggerColumn buildTriggerColumn(QObject *owner, int edition, TriggerLayout layout);

struct EnergyLevelColumn {
    FramedControlColumn controls;
    FlashRow flash;
    EnergyLevelRows energyLevels;
    VoltageAndSequenceRows voltageAndSequence;
    ServiceRows service;                 // editions 2 and 3
    QPushButton *reset_button = nullptr; // edition 1: "Reset ZQ Flash"
};
EnergyLevelColumn buildEnergyLevelColumn(QObject *owner, int edition);

// Calibration is connected by edition 5 itself, the one that has its slots.
template <class Window> void connectTriggerColumn(Window *window, const TriggerColumn &c) {
    QObject::connect(c.flash.action_button, &QPushButton::clicked, window, &Window::action);
    connectTriggerRows(window, c.triggers);
    // Connected after the combo box is filled, so that filling it sends nothing.
    QObject::connect(c.outputTriggerMode.outputTriggerMode_comboBox,
                     qOverload<int>(&QComboBox::currentIndexChanged), window,
                     &Window::outputTriggerModeChanged);
    QObject::connect(c.voltageAndSequence.chgVoltage_button, &QPushButton::clicked, window,
                     &Window::changeCVoltage);
    connectServiceRows(window, c.voltageAndSequence, c.service);
    QObject::connect(c.service.eepromStatus_button, &QPushButton::clicked, window,
                     &Window::eepromStatus);
}

// The rows every energy-level edition has; the service rows and edition 1's
// own controls are connected by the editions that have them.
template <class Window> void connectEnergyLevelColumn(Window *window, const EnergyLevelColumn &c) {
    QObject::connect(c.flash.action_button, &QPushButton::clicked, window, &Window::action);
    const EnergyLevelRows &levels = c.energyLevels;
    QObject::connect(levels.highEnergy_button, &QPushButton::clicked, window,
                     &Window::changeHLevel);
    QObject::connect(levels.lowEnergy_button, &QPushButton::clicked, window, &Window::changeLLevel);
    QObject::connect(levels.saveELevel_button, &QPushButton::clicked, window, &Window::saveELevel);
    QObject::connect(levels.readELevel_button, &QPushButton::clicked, window, &Window::readELevel);
    QObject::connect(c.voltageAndSequence.chgVoltage_button, &QPushButton::clicked, window,
                     &Window::changeCVoltage);
}

} // namespace zq::console
