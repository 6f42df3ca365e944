#include "ControlRows.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Edition.h"
#include "Payloads.h"
#include "WidgetFactory.h"

namespace zq::console {

using namespace zq::ui;

namespace {

constexpr int kByteMax = 255;
constexpr int kWordMax = 65535;
constexpr int kMinChargeVolts = 200;
constexpr int kMaxChargeVolts = 300;
constexpr int kDefaultChargeVolts = 270;
constexpr int kMinSequencePeriodMs = 1;
constexpr int kDefaultSequencePeriodMs = 500;
constexpr int kEnergyRowLabelMinWidthPx = 100;
constexpr int kEnergyRowSpinMinWidthPx = 40;
constexpr int kEnergyRowButtonMinWidthPx = 100;
constexpr int kSequenceLabelMinWidthPx = 80;
constexpr int kSequenceSpinMinWidthPx = 60;
constexpr int kFlashModeSpinMinWidthPx = 40; // edition 1's narrower spin boxes

QHBoxLayout *energyLevelRow(const char *rowName, QLabel *&label, QSpinBox *&spinBox,
                            QPushButton *&button, const char *prefix, const QString &labelText,
                            const QString &buttonText) {
    const QByteArray name(prefix);
    label = makeLabel(QByteArray(name + "_label").constData(), labelText);
    label->setMinimumWidth(kEnergyRowLabelMinWidthPx);
    spinBox = makeSpinBox(QByteArray(name + "_spinBox").constData(), 0, kByteMax, 0);
    spinBox->setMinimumWidth(kEnergyRowSpinMinWidthPx);
    button = makeButton(QByteArray(name + "_button").constData(), buttonText);
    button->setMinimumWidth(kEnergyRowButtonMinWidthPx);
    return makeRow(rowName, {label, spinBox, button});
}

void addSequenceTestRow(VoltageAndSequenceRows &r, SequenceTestControl control) {
    const bool flashMode = control == SequenceTestControl::FlashModeCheckBox;
    // In edition 1 the settings wait for the "Sequence Test" box.
    const bool settingsEnabled = !flashMode;
    const int spinMinWidth = flashMode ? kFlashModeSpinMinWidthPx : kSequenceSpinMinWidthPx;
    if (flashMode) {
        r.sequenceTest_checkBox =
            makeCheckBox("sequenceTest_checkBox", QStringLiteral("Sequence Test"), false);
        r.verticalLayout_21 = makeStack("verticalLayout_21", {r.sequenceTest_checkBox});
    } else {
        r.sequenceTest_button =
            makeButton("sequenceTest_button", QStringLiteral("Start/Stop Sequence Test"));
        r.verticalLayout_21 = makeStack("verticalLayout_21", {r.sequenceTest_button});
    }
    r.sequenceTestEnergy_label =
        makeLabel("sequenceTestEnergy_label", QStringLiteral("Energy level :"), settingsEnabled);
    r.sequenceTestEnergy_label->setMinimumWidth(kSequenceLabelMinWidthPx);
    r.sequenceTestEnergy_spinBox =
        makeSpinBox("sequenceTestEnergy_spinBox", 0, kByteMax, 0, settingsEnabled);
    r.sequenceTestEnergy_spinBox->setMinimumWidth(spinMinWidth);
    r.sequenceTestPeriod_label =
        makeLabel("sequenceTestPeriod_label", QStringLiteral("Period (ms):"), settingsEnabled);
    r.sequenceTestPeriod_label->setMinimumWidth(kSequenceLabelMinWidthPx);
    r.sequenceTestPeriod_spinBox = makeSpinBox("sequenceTestPeriod_spinBox", kMinSequencePeriodMs,
                                               kWordMax, kDefaultSequencePeriodMs, settingsEnabled);
    r.sequenceTestPeriod_spinBox->setMinimumWidth(spinMinWidth);
    r.horizontalLayout_5221 = makeRow("horizontalLayout_5221",
                                      {r.sequenceTestEnergy_label, r.sequenceTestEnergy_spinBox});
    r.horizontalLayout_5222 = makeRow("horizontalLayout_5222",
                                      {r.sequenceTestPeriod_label, r.sequenceTestPeriod_spinBox});
    r.verticalLayout_22 = makeStack("verticalLayout_22", {});
    r.verticalLayout_22->addLayout(r.horizontalLayout_5221);
    r.verticalLayout_22->addLayout(r.horizontalLayout_5222);
    r.horizontalLayout_5 = makeRow("horizontalLayout_5", {});
    r.horizontalLayout_5->addLayout(r.verticalLayout_21);
    r.horizontalLayout_5->addLayout(r.verticalLayout_22);
}

void addStandbyRow(QVBoxLayout *column, ServiceRows &r) {
    r.standby_button = makeButton("standby_button", QStringLiteral("Start/Stop Standby"));
    r.completeSandby_radioButton =
        makeRadioButton("completeSandby_radioButton", QStringLiteral("Complete Stanby"), true);
    r.partialSandby_radioButton =
        makeRadioButton("partialSandby_radioButton", QStringLiteral("Partial Stanby"), false);
    r.verticalLayout_61 =
        makeStack("verticalLayout_61", {r.completeSandby_radioButton, r.partialSandby_radioButton});
    r.horizontalLayout_6 = makeRow("horizontalLayout_6", {r.standby_button});
    r.horizontalLayout_6->addLayout(r.verticalLayout_61);
    column->addLayout(r.horizontalLayout_6);
}

void addResetRow(QVBoxLayout *column, QObject *groupOwner, ServiceRows &r) {
    r.reset_button = makeButton("reset_button", QStringLiteral("Reset"));
    r.ucHTReset_radioButton =
        makeRadioButton("ucHTReset_radioButton", QStringLiteral("High Voltage"), true);
    r.ucCOMReset_radioButton =
        makeRadioButton("ucCOMReset_radioButton", QStringLiteral("Communication"), false);
    r.bothUCReset_radioButton =
        makeRadioButton("bothUCReset_radioButton", QStringLiteral("Both"), false);
    // The group keeps the reset kinds apart from the standby kinds, which
    // share their parent widget.
    r.reset_buttonGroup = new QButtonGroup(groupOwner);
    r.reset_buttonGroup->setObjectName(QStringLiteral("reset_buttonGroup"));
    for (QRadioButton *kind :
         {r.ucHTReset_radioButton, r.ucCOMReset_radioButton, r.bothUCReset_radioButton})
        r.reset_buttonGroup->addButton(kind);
    r.verticalLayout_71 =
        makeStack("verticalLayout_71",
                  {r.ucHTReset_radioButton, r.ucCOMReset_radioButton, r.bothUCReset_radioButton});
    r.horizontalLayout_7 = makeRow("horizontalLayout_7", {r.reset_button});
    r.horizontalLayout_7->addLayout(r.verticalLayout_71);
    column->addLayout(r.horizontalLayout_7);
}

} // namespace

FlashRow buildFlashRow(QVBoxLayout *column) {
    FlashRow r;
    r.action_button = makeButton("action_button", QStringLiteral("Flash"));
    r.horizontalLayout_1 = makeRow("horizontalLayout_1", {r.action_button});
    column->addLayout(r.horizontalLayout_1);
    return r;
}

QByteArray EnergyLevelRows::flashPayload() const {
    return flash(H_energy_checkBox->isChecked());
}

QByteArray EnergyLevelRows::levelPayload(bool high) const {
    const QSpinBox *level = high ? highEnergy_spinBox : lowEnergy_spinBox;
    return changeEnergyLevel(high, quint8(level->value()));
}

EnergyLevelRows buildEnergyLevelRows(QVBoxLayout *column) {
    EnergyLevelRows r;
    r.H_energy_checkBox = makeCheckBox("H_energy_checkBox", QStringLiteral("High Energy"), false);
    column->addWidget(r.H_energy_checkBox);
    r.hLine21 = addLine(column, "hLine21");
    r.horizontalLayout_2 = energyLevelRow(
        "horizontalLayout_2", r.highEnergy_label, r.highEnergy_spinBox, r.highEnergy_button,
        "highEnergy", QStringLiteral("High Energy Level :"), QStringLiteral("Change High Level"));
    column->addLayout(r.horizontalLayout_2);
    r.horizontalLayout_3 = energyLevelRow(
        "horizontalLayout_3", r.lowEnergy_label, r.lowEnergy_spinBox, r.lowEnergy_button,
        "lowEnergy", QStringLiteral("Low Energy Level :"), QStringLiteral("Change Low Level"));
    column->addLayout(r.horizontalLayout_3);
    r.saveELevel_button = makeButton("saveELevel_button", QStringLiteral("Save Energy levels"));
    column->addWidget(r.saveELevel_button);
    r.readELevel_button =
        makeButton("readELevel_button", QStringLiteral("Read Saved Energy levels"));
    column->addWidget(r.readELevel_button);
    r.hLine22 = addLine(column, "hLine22");
    return r;
}

QByteArray CalibrationRows::readPayload(const QObject *sender) const {
    if (sender == readCalibrationStatus_button)
        return readCalibrationStatus();
    return readCalibrationLevel(quint8(calibrationLevel_spinBox->value()));
}

QList<QWidget *> CalibrationRows::superUserControls() const {
    return {calibrate_button, readCalibrationStatus_button, calibrationLevel_label,
            calibrationLevel_spinBox, readCalibration_button};
}

CalibrationRows buildCalibrationRows(QVBoxLayout *column) {
    CalibrationRows r;
    r.calibrate_button = makeButton("calibrate_button", QStringLiteral("Calibrate ZQ"), false);
    column->addWidget(r.calibrate_button);
    r.readCalibrationStatus_button = makeButton("readCalibrationStatus_button",
                                                QStringLiteral("Read Calibration Status"), false);
    column->addWidget(r.readCalibrationStatus_button);
    r.calibrationLevel_label = makeLabel("calibrationLevel_label",
                                         QStringLiteral("Read Calibration of the level:"), false);
    r.calibrationLevel_spinBox = makeSpinBox("calibrationLevel_spinBox", 0, kByteMax, 0, false);
    r.readCalibration_button = makeButton("readCalibration_button", QStringLiteral("Read"), false);
    r.calibrationLevel_horizontalLayout =
        makeRow("calibrationLevel_horizontalLayout",
                {r.calibrationLevel_label, r.calibrationLevel_spinBox, r.readCalibration_button});
    column->addLayout(r.calibrationLevel_horizontalLayout);
    return r;
}

OutputTriggerModeRows buildOutputTriggerModeRows(QVBoxLayout *column) {
    OutputTriggerModeRows r;
    r.outputTriggerMode_label =
        makeLabel("outputTriggerMode_label", QStringLiteral("Output Trigger Mode:"));
    r.outputTriggerMode_label->setAlignment(Qt::AlignCenter);
    r.outputTriggerMode_comboBox = new QComboBox;
    r.outputTriggerMode_comboBox->setObjectName(QStringLiteral("outputTriggerMode_comboBox"));
    r.outputTriggerMode_comboBox->addItems({QStringLiteral("0"), QStringLiteral("1")});
    r.outputTriggerMode_horizontalLayout =
        makeRow("outputTriggerMode_horizontalLayout",
                {r.outputTriggerMode_label, r.outputTriggerMode_comboBox});
    column->addLayout(r.outputTriggerMode_horizontalLayout);
    r.line = addLine(column, "");
    return r;
}

QByteArray VoltageAndSequenceRows::chargeVoltagePayload(int edition) const {
    return writeChargeVoltage(edition, quint16(chgVoltage_spinBox->value()));
}

QList<QWidget *> VoltageAndSequenceRows::chargeVoltageControls() const {
    return {chgVoltage_label, chgVoltage_spinBox, chgVoltage_button};
}

QByteArray VoltageAndSequenceRows::sequenceTestStartPayload() const {
    return sequenceTestStart(quint16(sequenceTestPeriod_spinBox->value()),
                             quint8(sequenceTestEnergy_spinBox->value()));
}

QByteArray VoltageAndSequenceRows::toggleSequenceTest() const {
    bool &running = sequenceTestToggle();
    running = !running;
    return running ? sequenceTestStartPayload() : sequenceTestStop();
}

void VoltageAndSequenceRows::setSequenceSettingsEnabled(bool enabled) const {
    for (QWidget *setting : {static_cast<QWidget *>(sequenceTestEnergy_label),
                             static_cast<QWidget *>(sequenceTestEnergy_spinBox),
                             static_cast<QWidget *>(sequenceTestPeriod_label),
                             static_cast<QWidget *>(sequenceTestPeriod_spinBox)})
        setting->setEnabled(enabled);
}

VoltageAndSequenceRows buildVoltageAndSequenceRows(QVBoxLayout *column,
                                                   SequenceTestControl control) {
    VoltageAndSequenceRows r;
    r.chgVoltage_label = makeLabel("chgVoltage_label", QStringLiteral("Charge Voltage :"), false);
    r.chgVoltage_spinBox = makeSpinBox("chgVoltage_spinBox", kMinChargeVolts, kMaxChargeVolts,
                                       kDefaultChargeVolts, false);
    r.chgVoltage_button = makeButton("chgVoltage_button", QStringLiteral("Change Voltage"), false);
    r.horizontalLayout_4 = makeRow("horizontalLayout_4",
                                   {r.chgVoltage_label, r.chgVoltage_spinBox, r.chgVoltage_button});
    column->addLayout(r.horizontalLayout_4);
    r.hLine23 = addLine(column, "hLine23");
    addSequenceTestRow(r, control);
    column->addLayout(r.horizontalLayout_5);
    r.hLine24 = addLine(column, "hLine24");
    return r;
}

QByteArray ServiceRows::toggleStandby() const {
    bool &active = standbyToggle();
    active = !active;
    completeSandby_radioButton->setEnabled(!active);
    partialSandby_radioButton->setEnabled(!active);
    return standby(completeSandby_radioButton->isChecked());
}

QByteArray ServiceRows::controllerResetPayload() const {
    if (ucCOMReset_radioButton->isChecked())
        return resetController(ControllerReset::Communication);
    if (ucHTReset_radioButton->isChecked())
        return resetController(ControllerReset::HighVoltage);
    return resetController(ControllerReset::Both);
}

ServiceRows buildServiceRows(QVBoxLayout *column, QObject *groupOwner, int edition) {
    ServiceRows r;
    r.diagnosis_button = makeButton("diagnosis_button", QStringLiteral("ZQ Diagnosis"));
    column->addWidget(r.diagnosis_button);
    r.flashStatus_button = makeButton("flashStatus_button", QStringLiteral("Last Flash Status"));
    column->addWidget(r.flashStatus_button);
    if (editionTraits(edition).hasEepromStatus) {
        r.eepromStatus_button = makeButton("eepromStatus_button", QStringLiteral("EEPROM Status"));
        column->addWidget(r.eepromStatus_button);
    }
    r.hLine25 = addLine(column, "hLine25");
    addStandbyRow(column, r);
    r.hLine26 = addLine(column, "hLine26");
    r.resetMemory_button =
        makeButton("resetMemory_button", QStringLiteral("Reset ZQ Memory"), false);
    column->addWidget(r.resetMemory_button);
    addResetRow(column, groupOwner, r);
    return r;
}

} // namespace zq::console
