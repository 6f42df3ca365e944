#pragma once
// The one-byte codes of the console's commands. The unit repeats a command's
// code as byte 0 of its answer, so the same values name the answers; 62 is the
// unit's own error report and is never sent.

#include <QtGlobal>

namespace zq::console {

enum ConsoleCommand : quint8 {
    ReadFlashCounter = 0,
    ReadFlashRequestCounter = 1,
    ResetMemory = 2,
    FlashTrigger2 = 3, // editions 1 to 3: a flash at the high energy level
    FlashTrigger1 = 4, // editions 1 to 3: a flash at the low energy level
    ChangeHighEnergyLevel = 5,
    ChangeLowEnergyLevel = 6,
    SaveTriggerSettings = 7, // editions 1 to 3: save the energy levels
    ReadTriggerSettings = 8, // editions 1 to 3: read the energy levels
    SequenceTest = 9,
    ReadChargeVoltage = 10,
    ReadTemperature = 11,
    WriteChargeVoltage = 12,
    ReadSoftwareVersion = 13,
    Diagnosis = 14,
    // 15 is not used.
    CompleteStandby = 16,
    PartialStandby = 17,
    ReadFlashStatus = 18,
    ResetHighVoltageController = 19,
    ResetCommunicationController = 20,
    ResetBothControllers = 21,
    ReadEepromStatus = 22,
    SetTrigger1Sequence = 23,
    SetTrigger2Sequence = 24,
    SetOutputTriggerMode = 25,
    Calibrate = 26,
    ReadCalibration = 27,
    // 28 to 61 are not used.
    ErrorReport = 62,
};

// The super-user password, also carried verbatim (no length, no terminator) by
// the commands that alter the unit's stored state.
constexpr char kAccessCode[] = "qebor2751";
constexpr int kAccessCodeLength = sizeof(kAccessCode) - 1;
static_assert(kAccessCodeLength == 9, "the unit expects exactly 9 access-code bytes");

} // namespace zq::console
