#include "ControlColumns.h"

#include <QVBoxLayout>

#include "Edition.h"
#include "WidgetFactory.h"

namespace zq::console {

using namespace zq::ui;

TriggerColumn buildTriggerColumn(QObject *owner, int edition, TriggerLayout layout) {
    TriggerColumn c;
    c.controls = buildScrolledControlColumn();
    QVBoxLayout *column = c.controls.verticalLayout_2;
    c.flash = buildFlashRow(column);
    c.triggers = buildTriggerRows(column, layout);
    if (editionTraits(edition).hasCalibration)
        c.calibration = buildCalibrationRows(column);
    c.outputTriggerMode = buildOutputTriggerModeRows(column);
    c.voltageAndSequence =
        buildVoltageAndSequenceRows(column, SequenceTestControl::StartStopButton);
    c.service = buildServiceRows(column, owner, edition);
    return c;
}

EnergyLevelColumn buildEnergyLevelColumn(QObject *owner, int edition) {
    const EditionTraits &traits = editionTraits(edition);
    EnergyLevelColumn c;
    c.controls = buildFramedControlColumn();
    QVBoxLayout *column = c.controls.verticalLayout_2;
    c.flash = buildFlashRow(column);
    c.energyLevels = buildEnergyLevelRows(column);
    c.voltageAndSequence = buildVoltageAndSequenceRows(
        column, traits.sequenceTestIsFlashMode ? SequenceTestControl::FlashModeCheckBox
                                               : SequenceTestControl::StartStopButton);
    if (traits.hasMemoryAndControllerReset) {
        c.service = buildServiceRows(column, owner, edition);
    } else {
        c.reset_button = makeButton("reset_button", QStringLiteral("Reset ZQ Flash"), false);
        column->addWidget(c.reset_button);
    }
    return c;
}

} // namespace zq::console
