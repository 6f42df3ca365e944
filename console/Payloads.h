#pragma once
// Command payloads for the unit's application firmware: widget values in,
// exact bytes out, code first, multi-byte numbers high byte first. The window
// copies each one into a link entry; nothing here touches the link.

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include "ConsoleCommand.h"

namespace zq::console {

// Byte 1 of a SequenceTest command; the unit answers with the same values.
enum SequenceTestAction : quint8 {
    SequenceTestStart = 10,
    SequenceTestStop = 11,
};

// A ReadCalibration level of 255 followed by 255 asks for the calibration status.
constexpr quint8 kCalibrationStatusMarker = 255;

constexpr int kMaxFlashesPerTrigger = 4;

// One trigger's flash sequence as its table shows it. Only the first
// `flashes` energies and times are sent.
struct TriggerSequence {
    int flashes = 1; // 1 to kMaxFlashesPerTrigger; values outside are taken as the nearest
    quint8 energies[kMaxFlashesPerTrigger] = {};
    quint16 times[kMaxFlashesPerTrigger] = {}; // before flash 1, then between flashes
};

enum class ControllerReset { HighVoltage, Communication, Both };

// [3] when `trigger2` (editions 1 to 3: the high energy level), else [4].
QByteArray flash(bool trigger2);
QByteArray saveTriggerSettings(); // editions 1 to 3: saves the energy levels
// [8, 1] for trigger 1; any other value asks for trigger 2.
QByteArray readTriggerSettings(int trigger);
QByteArray readEnergyLevels(); // editions 1 to 3: [8] without a trigger number
QByteArray changeEnergyLevel(bool high, quint8 level);
QByteArray sequenceTestStart(quint16 periodMs, quint8 energy);
QByteArray sequenceTestStop();
// Edition 1 sends the voltage alone; later editions append the access code.
QByteArray writeChargeVoltage(int edition, quint16 volts);
QByteArray resetMemory(int edition);
QByteArray diagnosis();
QByteArray readFlashStatus();
QByteArray readEepromStatus();
QByteArray standby(bool complete); // the same code starts and stops a standby
QByteArray resetController(ControllerReset which);
// Code 23 for trigger 1, 24 for any other value; 3n + 2 bytes.
QByteArray setTriggerSequence(int trigger, const TriggerSequence &sequence);
QByteArray outputTriggerMode(int mode);
QByteArray calibrate();
QByteArray readCalibrationLevel(quint8 level);
QByteArray readCalibrationStatus();
QByteArray readSoftwareVersion();
// The periodic information request: four payloads, sent in this order.
QList<QByteArray> informationPoll();

// The two on/off toggles belong to the running program, not to a window: a
// new console window finds them as the last one left them. Both start false.
// GUI thread only; they take no lock.
bool &standbyToggle();
bool &sequenceTestToggle();

} // namespace zq::console
