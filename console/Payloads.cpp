#include "Payloads.h"

#include "Edition.h"

namespace zq::console {

namespace {

QByteArray bytes(std::initializer_list<quint8> values) {
    QByteArray out;
    out.reserve(int(values.size()));
    for (quint8 value : values)
        out.append(char(value));
    return out;
}

void appendBigEndian(QByteArray &out, quint16 value) {
    out.append(char(value >> 8));
    out.append(char(value & 0xFF));
}

void appendAccessCodeFor(QByteArray &out, int edition) {
    if (editionTraits(edition).sendsAccessCode)
        out.append(kAccessCode, kAccessCodeLength);
}

} // namespace

QByteArray flash(bool trigger2) {
    return bytes({trigger2 ? FlashTrigger2 : FlashTrigger1});
}

QByteArray saveTriggerSettings() {
    return bytes({SaveTriggerSettings});
}

QByteArray readTriggerSettings(int trigger) {
    return bytes({ReadTriggerSettings, quint8(trigger == 1 ? 1 : 2)});
}

QByteArray readEnergyLevels() {
    return bytes({ReadTriggerSettings});
}

QByteArray changeEnergyLevel(bool high, quint8 level) {
    return bytes({high ? ChangeHighEnergyLevel : ChangeLowEnergyLevel, level});
}

QByteArray sequenceTestStart(quint16 periodMs, quint8 energy) {
    QByteArray out = bytes({SequenceTest, SequenceTestStart});
    appendBigEndian(out, periodMs);
    out.append(char(energy));
    return out;
}

QByteArray sequenceTestStop() {
    return bytes({SequenceTest, SequenceTestStop});
}

QByteArray writeChargeVoltage(int edition, quint16 volts) {
    QByteArray out = bytes({WriteChargeVoltage});
    appendBigEndian(out, volts);
    appendAccessCodeFor(out, edition);
    return out;
}

QByteArray resetMemory(int edition) {
    QByteArray out = bytes({ResetMemory});
    appendAccessCodeFor(out, edition);
    return out;
}

QByteArray diagnosis() {
    return bytes({Diagnosis});
}

QByteArray readFlashStatus() {
    return bytes({ReadFlashStatus});
}

QByteArray readEepromStatus() {
    return bytes({ReadEepromStatus});
}

QByteArray standby(bool complete) {
    return bytes({complete ? CompleteStandby : PartialStandby});
}

QByteArray resetController(ControllerReset which) {
    switch (which) {
    case ControllerReset::HighVoltage:
        return bytes({ResetHighVoltageController});
    case ControllerReset::Communication:
        return bytes({ResetCommunicationController});
    case ControllerReset::Both:
        break;
    }
    return bytes({ResetBothControllers});
}

QByteArray setTriggerSequence(int trigger, const TriggerSequence &sequence) {
    // Clamped so that a bad count can neither read past the arrays nor send a
    // length the unit does not expect.
    const int flashes = qBound(1, sequence.flashes, kMaxFlashesPerTrigger);
    QByteArray out = bytes({trigger == 1 ? SetTrigger1Sequence : SetTrigger2Sequence});
    out.reserve(3 * flashes + 2);
    out.append(char(flashes));
    for (int k = 0; k < flashes; ++k)
        out.append(char(sequence.energies[k]));
    for (int k = 0; k < flashes; ++k)
        appendBigEndian(out, sequence.times[k]);
    return out;
}

QByteArray outputTriggerMode(int mode) {
    return bytes({SetOutputTriggerMode, quint8(mode)});
}

QByteArray calibrate() {
    return bytes({Calibrate});
}

QByteArray readCalibrationLevel(quint8 level) {
    return bytes({ReadCalibration, level});
}

QByteArray readCalibrationStatus() {
    return bytes({ReadCalibration, kCalibrationStatusMarker, kCalibrationStatusMarker});
}

QByteArray readSoftwareVersion() {
    return bytes({ReadSoftwareVersion});
}

QList<QByteArray> informationPoll() {
    return {bytes({ReadFlashCounter}), bytes({ReadFlashRequestCounter}), bytes({ReadChargeVoltage}),
            bytes({ReadTemperature})};
}

bool &standbyToggle() {
    static bool active = false;
    return active;
}

bool &sequenceTestToggle() {
    static bool running = false;
    return running;
}

} // namespace zq::console
