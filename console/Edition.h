#pragma once
// What sets the five console editions apart, as data. Edition 5 is the newest;
// each older one lacks some controls and decodes some answers differently.
// Anything that varies by edition asks this table rather than testing numbers.

#include <QtGlobal>

#include "ConsoleCommand.h"

namespace zq::console {

constexpr int kOldestEdition = 1;
constexpr int kNewestEdition = 5;

struct EditionTraits {
    int edition;

    // Controls of the window.
    bool hasTriggerTables;     // trigger check boxes and sequence tables; else high/low energy rows
    bool hasOutputTriggerMode; // "Output Trigger Mode:" row
    bool hasCalibration;       // calibration rows
    bool hasDiagnosisAndFlashStatus;
    bool hasEepromStatus;
    bool hasStandby;
    bool hasMemoryAndControllerReset; // "Reset ZQ Memory" and the reset row; else "Reset ZQ Flash"
    bool hasScrollArea;               // else vertical lines between the columns and a fixed size
    bool sequenceTestIsFlashMode;     // a check box turns "Flash" into start/stop; state per window
    const char *informationTitle;
    const char *updateIntervalLabel;

    // Behaviour on the link.
    bool sendsAccessCode;      // with the memory reset and the charge-voltage write
    bool logsReceivedPayloads; // one ReceivedMessages.txt line per payload
    bool movesCursorToEnd;     // before inserting an answer's messages
    bool detailedFlashStatus;  // flash status may come as 9 bytes with voltages and energy
};

// clang-format off
inline constexpr EditionTraits kEditionTraits[] = {
    // ed  trig   outMode calib  diag   eeprom standby reset  scroll flashMode
    {1,   false, false,  false, false, false, false,  false, false, true,
     "Informations", "Update Informations every (s):",
    //     access logs   cursor detailedFlash
           false, false, false, false},
    {2,   false, false,  false, true,  false, true,   true,  false, false,
     "Information", "Update Information every (s):",
           true,  true,  false, false},
    {3,   false, false,  false, true,  true,  true,   true,  false, false,
     "Information", "Update Information every (s):",
           true,  true,  false, false},
    {4,   true,  true,   false, true,  true,  true,   true,  true,  false,
     "Information", "Update Information every (s):",
           true,  true,  true,  false},
    {5,   true,  true,   true,  true,  true,  true,   true,  true,  false,
     "Information", "Update Information every (s):",
           true,  true,  true,  true},
};
// clang-format on

// An edition outside 1..5 is taken as the nearest one, so that a caller's
// mistake can never index past the table.
inline const EditionTraits &editionTraits(int edition) {
    const int clamped = qBound(kOldestEdition, edition, kNewestEdition);
    return kEditionTraits[clamped - kOldestEdition];
}

// The edition that first decoded each answer code above 13 (codes 0 to 13 and
// the error report are decoded by all). A code missing here is never decoded.
struct AnswerCodeIntroduction {
    quint8 code;
    int sinceEdition;
};

inline constexpr AnswerCodeIntroduction kLaterAnswerCodes[] = {
    {Diagnosis, 2},           {CompleteStandby, 2},      {PartialStandby, 2},
    {ReadFlashStatus, 2},     {ReadEepromStatus, 3},     {SetTrigger1Sequence, 4},
    {SetTrigger2Sequence, 4}, {SetOutputTriggerMode, 4}, {Calibrate, 5},
    {ReadCalibration, 5},
};

inline bool handlesAnswerCode(int edition, quint8 code) {
    if (code <= ReadSoftwareVersion || code == ErrorReport)
        return true;
    const int effective = editionTraits(edition).edition;
    for (const AnswerCodeIntroduction &entry : kLaterAnswerCodes) {
        if (entry.code == code)
            return effective >= entry.sinceEdition;
    }
    return false;
}

} // namespace zq::console
