#pragma once
// Groups of rows of the control column, each built once for every edition
// that has it and appended to the column in its place. A group owns the
// lines that separate it from the next one, so an edition's column reads as
// a list of groups.

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QList>
#include <QObject>
#include <QPushButton>

class QButtonGroup;
class QFrame;
class QHBoxLayout;
class QLabel;
class QRadioButton;
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace zq::console {

// Row 1 of every edition.
struct FlashRow {
    QHBoxLayout *horizontalLayout_1 = nullptr;
    QPushButton *action_button = nullptr;
};
FlashRow buildFlashRow(QVBoxLayout *column);

// Editions 1 to 3: a high and a low energy level, from "High Energy" down to hLine22.
struct EnergyLevelRows {
    QCheckBox *H_energy_checkBox = nullptr;
    QFrame *hLine21 = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLabel *highEnergy_label = nullptr;
    QSpinBox *highEnergy_spinBox = nullptr;
    QPushButton *highEnergy_button = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *lowEnergy_label = nullptr;
    QSpinBox *lowEnergy_spinBox = nullptr;
    QPushButton *lowEnergy_button = nullptr;
    QPushButton *saveELevel_button = nullptr;
    QPushButton *readELevel_button = nullptr;
    QFrame *hLine22 = nullptr;

    // "Flash": the high energy level when "High Energy" is ticked.
    QByteArray flashPayload() const;
    QByteArray levelPayload(bool high) const;
};
EnergyLevelRows buildEnergyLevelRows(QVBoxLayout *column);

// Edition 5: calibration, three rows, all behind the super-user gate.
struct CalibrationRows {
    QPushButton *calibrate_button = nullptr;
    QPushButton *readCalibrationStatus_button = nullptr;
    QHBoxLayout *calibrationLevel_horizontalLayout = nullptr;
    QLabel *calibrationLevel_label = nullptr;
    QSpinBox *calibrationLevel_spinBox = nullptr;
    QPushButton *readCalibration_button = nullptr;

    // The status when `sender` is "Read Calibration Status", else the spin box's level.
    QByteArray readPayload(const QObject *sender) const;
    QList<QWidget *> superUserControls() const;
};
CalibrationRows buildCalibrationRows(QVBoxLayout *column);

// Editions 4 and 5: "Output Trigger Mode:" and the unnamed line below it.
struct OutputTriggerModeRows {
    QHBoxLayout *outputTriggerMode_horizontalLayout = nullptr;
    QLabel *outputTriggerMode_label = nullptr;
    QComboBox *outputTriggerMode_comboBox = nullptr;
    QFrame *line = nullptr;
};
OutputTriggerModeRows buildOutputTriggerModeRows(QVBoxLayout *column);

// Edition 1 turns "Flash" into the sequence test's start/stop with a check
// box; the later editions have a button of its own.
enum class SequenceTestControl { StartStopButton, FlashModeCheckBox };

// Every edition: the charge voltage and the sequence test, down to hLine24.
struct VoltageAndSequenceRows {
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QLabel *chgVoltage_label = nullptr;
    QSpinBox *chgVoltage_spinBox = nullptr;
    QPushButton *chgVoltage_button = nullptr;
    QFrame *hLine23 = nullptr;
    QHBoxLayout *horizontalLayout_5 = nullptr;
    QVBoxLayout *verticalLayout_21 = nullptr;
    QPushButton *sequenceTest_button = nullptr; // editions 2 to 5
    QCheckBox *sequenceTest_checkBox = nullptr; // edition 1
    QVBoxLayout *verticalLayout_22 = nullptr;
    QHBoxLayout *horizontalLayout_5221 = nullptr;
    QLabel *sequenceTestEnergy_label = nullptr;
    QSpinBox *sequenceTestEnergy_spinBox = nullptr;
    QHBoxLayout *horizontalLayout_5222 = nullptr;
    QLabel *sequenceTestPeriod_label = nullptr;
    QSpinBox *sequenceTestPeriod_spinBox = nullptr;
    QFrame *hLine24 = nullptr;

    QByteArray chargeVoltagePayload(int edition) const;
    QList<QWidget *> chargeVoltageControls() const;
    QByteArray sequenceTestStartPayload() const;
    // Editions 2 to 5: flips the program-wide sequence-test toggle and gives
    // the start or the stop command.
    QByteArray toggleSequenceTest() const;
    // Edition 1: the period and the energy count only in sequence-test mode.
    void setSequenceSettingsEnabled(bool enabled) const;
};
VoltageAndSequenceRows buildVoltageAndSequenceRows(QVBoxLayout *column,
                                                   SequenceTestControl control);

// Editions 2 to 5: the unit's checks, standby and resets, from "ZQ Diagnosis" down.
struct ServiceRows {
    QPushButton *diagnosis_button = nullptr;
    QPushButton *flashStatus_button = nullptr;
    QPushButton *eepromStatus_button = nullptr; // editions 3 to 5
    QFrame *hLine25 = nullptr;
    QHBoxLayout *horizontalLayout_6 = nullptr;
    QPushButton *standby_button = nullptr;
    QVBoxLayout *verticalLayout_61 = nullptr;
    QRadioButton *completeSandby_radioButton = nullptr;
    QRadioButton *partialSandby_radioButton = nullptr;
    QFrame *hLine26 = nullptr;
    QPushButton *resetMemory_button = nullptr;
    QHBoxLayout *horizontalLayout_7 = nullptr;
    QPushButton *reset_button = nullptr;
    QVBoxLayout *verticalLayout_71 = nullptr;
    QButtonGroup *reset_buttonGroup = nullptr;
    QRadioButton *ucHTReset_radioButton = nullptr;
    QRadioButton *ucCOMReset_radioButton = nullptr;
    QRadioButton *bothUCReset_radioButton = nullptr;

    // Flips the program-wide standby toggle; the standby kind is locked while
    // standby is on. The same command starts and stops it.
    QByteArray toggleStandby() const;
    QByteArray controllerResetPayload() const;
};
// `groupOwner` owns reset_buttonGroup, which is no widget.
ServiceRows buildServiceRows(QVBoxLayout *column, QObject *groupOwner, int edition);

template <class Window> void connectCalibrationRows(Window *window, const CalibrationRows &rows) {
    QObject::connect(rows.calibrate_button, &QPushButton::clicked, window, &Window::calibrate);
    for (QPushButton *read : {rows.readCalibrationStatus_button, rows.readCalibration_button})
        QObject::connect(read, &QPushButton::clicked, window, &Window::readCalibration);
}

// Editions 2 to 5; "EEPROM Status" is connected by the editions that have it.
template <class Window>
void connectServiceRows(Window *window, const VoltageAndSequenceRows &sequence,
                        const ServiceRows &rows) {
    QObject::connect(sequence.sequenceTest_button, &QPushButton::clicked, window,
                     &Window::startStopSeqTest);
    QObject::connect(rows.diagnosis_button, &QPushButton::clicked, window, &Window::diagnosis);
    QObject::connect(rows.flashStatus_button, &QPushButton::clicked, window, &Window::flashStatus);
    QObject::connect(rows.standby_button, &QPushButton::clicked, window, &Window::standby);
    QObject::connect(rows.resetMemory_button, &QPushButton::clicked, window, &Window::resetMemory);
    QObject::connect(rows.reset_button, &QPushButton::clicked, window, &Window::reset);
}

} // namespace zq::console
