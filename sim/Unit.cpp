#include "Unit.h"

#include <cmath>

namespace zq::sim {

const QByteArray kAccessCode = QByteArrayLiteral("qebor2751");

namespace {

constexpr quint8 kBootloaderVersionMajor = 1;
constexpr quint8 kBootloaderVersionMinor = 4;
constexpr quint8 kFactoryHighEnergy = 200;
constexpr quint8 kFactoryLowEnergy = 50;
constexpr quint8 kFactoryTriggerEnergy = 100;
constexpr quint8 kTemperatureSignPlus = '+';
constexpr quint8 kTemperatureSignMinus = '-';
constexpr quint8 kDiagnosisControllerOk = 0;
constexpr quint8 kProgramWriteReserved = 0x00; // byte 1 of a block write

// Configuration bytes CONFIG1L..CONFIG7H as the unit leaves the factory.
const char kFactoryConfig[kConfigBytes] = {0x00,       0x02,       0x1F, 0x1E, 0x00,
                                           char(0x81), char(0x81), 0x00, 0x0F, char(0xC0),
                                           0x0F,       char(0xE0), 0x0F, 0x40};

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    out.reserve(int(values.size()));
    for (int v : values)
        out.append(char(quint8(v)));
    return out;
}

QByteArray status(quint8 code, quint8 value) {
    return bytes({code, value});
}

quint8 at(const QByteArray &p, int i) {
    return quint8(p.at(i));
}

int be16(const QByteArray &p, int i) {
    return (at(p, i) << 8) | at(p, i + 1);
}

void appendBe16(QByteArray &out, int value) {
    out.append(char(quint8(value >> 8)));
    out.append(char(quint8(value)));
}

// Calibration table entry of an energy level: the voltage drop, in counts, that
// the level is expected to give.
int calibrationCounts(int level) {
    return 12 + level * 2;
}

// Voltage drop of a flash of the given energy, in counts (fits its one byte).
int flashDropCounts(int energy) {
    return 1 + energy / 4;
}

QByteArray triggerPayload(quint8 code, int flashes) {
    QByteArray p = bytes({code, flashes});
    for (int k = 0; k < flashes; ++k)
        p.append(char(quint8(100 - 10 * k)));
    for (int k = 0; k < flashes; ++k)
        appendBe16(p, 1000 + 100 * k);
    return p;
}

} // namespace

Unit::Unit(int edition)
    : edition_(qBound(kFirstEdition, edition, kLastEdition)),
      program_(kProgramMemoryBytes, char(0xFF)), eeprom_(kEepromBytes, char(0xFF)),
      config_(kFactoryConfig, kConfigBytes) {
    restoreFactorySettings();
}

void Unit::restoreFactorySettings() {
    highEnergy_ = kFactoryHighEnergy;
    lowEnergy_ = kFactoryLowEnergy;
    for (TriggerSequence &t : triggers_)
        t = TriggerSequence{{kFactoryTriggerEnergy}, {0}};
    outputTriggerMode_ = 0;
    eepromWriteFailures_ = 0;
}

QByteArray Unit::errorReport(quint8 base, quint8 number) {
    return bytes({ErrorReport, base, number});
}

QList<QByteArray> Unit::handle(const QByteArray &payload) {
    if (payload.isEmpty())
        return {errorReport(inBootloader_ ? BootloaderBase : ApplicationBase, EmptyPayload)};
    return inBootloader_ ? handleBootloader(payload) : handleApplication(payload);
}

bool Unit::knows(quint8 code) const {
    switch (code) {
    case ReadFlashCounter:
    case ReadFlashRequestCounter:
    case ResetMemory:
    case FlashTrigger2:
    case FlashTrigger1:
    case SaveTriggerSettings:
    case ReadTriggerSettings:
    case SequenceTest:
    case ReadChargeVoltage:
    case ReadTemperature:
    case WriteChargeVoltage:
    case ReadSoftwareVersion:
        return true;
    case ChangeHighEnergyLevel:
    case ChangeLowEnergyLevel:
        return edition_ <= 3; // later editions program trigger sequences instead
    case Diagnosis:
    case CompleteStandby:
    case PartialStandby:
    case ReadFlashStatus:
    case ResetHighVoltageController:
    case ResetCommunicationController:
    case ResetBothControllers:
        return edition_ >= 2;
    case ReadEepromStatus:
        return edition_ >= 3;
    case SetTrigger1Sequence:
    case SetTrigger2Sequence:
    case SetOutputTriggerMode:
        return edition_ >= 4;
    case Calibrate:
    case ReadCalibration:
        return edition_ >= 5;
    default:
        return false;
    }
}

QList<QByteArray> Unit::handleApplication(const QByteArray &p) {
    const quint8 code = at(p, 0);
    if (code == StartBootloader) {
        inBootloader_ = true;
        return {status(StartBootloader, StatusOk)};
    }
    if (code == StartUserProgram)
        return {status(StartUserProgram, StatusOk)};
    if (!knows(code))
        return {errorReport(ApplicationBase, UnknownCommand)};

    switch (code) {
    case ReadFlashCounter:
    case ReadFlashRequestCounter: {
        const quint32 n = code == ReadFlashCounter ? flashCounter_ : flashRequestCounter_;
        return {bytes({code, int(n >> 16) & 0xFF, int(n >> 8) & 0xFF, int(n) & 0xFF})};
    }
    case ResetMemory:
        return {resetMemory(p)};
    case FlashTrigger1:
    case FlashTrigger2:
        return {flash(code)};
    case ChangeHighEnergyLevel:
    case ChangeLowEnergyLevel:
        if (p.size() != 2)
            return {status(code, StatusIncorrectEnergyCommand)};
        (code == ChangeHighEnergyLevel ? highEnergy_ : lowEnergy_) = at(p, 1);
        return {status(code, StatusOk)};
    case SaveTriggerSettings:
        ++settingsSaves_;
        return {status(code, StatusOk)};
    case ReadTriggerSettings:
        if (edition_ <= 3)
            return {bytes({code, highEnergy_, lowEnergy_})};
        return {readTrigger(p)};
    case SequenceTest:
        if (p.size() == 5 && at(p, 1) == SeqTestStarted && be16(p, 2) > 0) {
            seqTestRunning_ = true;
            return {status(code, SeqTestStarted)};
        }
        if (p.size() == 2 && at(p, 1) == SeqTestStopped) {
            seqTestRunning_ = false;
            return {status(code, SeqTestStopped)};
        }
        return {status(code, StatusBadParameters)};
    case ReadChargeVoltage:
        return {bytes({code, chargeVolts_ >> 8, chargeVolts_ & 0xFF})};
    case ReadTemperature:
        return {bytes({code, temperature_ < 0 ? kTemperatureSignMinus : kTemperatureSignPlus,
                       qMin(qAbs(temperature_), 255)})};
    case WriteChargeVoltage:
        return {writeChargeVoltage(p)};
    case ReadSoftwareVersion:
        return {bytes({code, edition_, 0, 21, 5})};
    case Diagnosis:
        return {bytes({code, kDiagnosisControllerOk, kDiagnosisControllerOk, standby_,
                       seqTestRunning_ ? 1 : 0, qBound(0, temperature_, 255), outputTriggerMode_})};
    case CompleteStandby:
    case PartialStandby:
        return {standbyToggle(code)};
    case ReadFlashStatus:
        return {flashStatus()};
    case ResetHighVoltageController:
    case ResetCommunicationController:
    case ResetBothControllers:
        seqTestRunning_ = false;
        return {};
    case ReadEepromStatus:
        return {bytes({code, eepromWriteFailures_ >> 8, eepromWriteFailures_ & 0xFF})};
    case SetTrigger1Sequence:
    case SetTrigger2Sequence:
        return {setTrigger(p)};
    case SetOutputTriggerMode:
        if (p.size() != 2 || at(p, 1) > 1)
            return {status(code, StatusBadTriggerMode)};
        outputTriggerMode_ = at(p, 1);
        return {status(code, StatusOk)};
    case Calibrate:
        calibrated_ = true;
        return {status(code, StatusOk)};
    case ReadCalibration:
        return {readCalibration(p)};
    default:
        return {errorReport(ApplicationBase, UnknownCommand)};
    }
}

QByteArray Unit::flash(quint8 code) {
    ++flashRequestCounter_;
    int flashes = 1;
    quint8 energy = 0;
    if (edition_ <= 3) {
        energy = code == FlashTrigger2 ? highEnergy_ : lowEnergy_;
    } else {
        const TriggerSequence &t = triggers_[code == FlashTrigger1 ? 0 : 1];
        flashes = t.energies.size();
        energy = t.energies.last();
    }
    flashCounter_ += quint32(flashes);
    flashed_ = true;
    lastTrigger_ = code == FlashTrigger1 ? 1 : 2;
    lastEnergy_ = energy;
    lastVoltsBefore_ = chargeVolts_;
    // Editions 1-3 report the flash itself; later ones only take the command
    // and leave the outcome to the flash status.
    return status(code, edition_ <= 3 ? StatusFlashGenerated : StatusOk);
}

QByteArray Unit::flashStatus() const {
    if (!flashed_)
        return status(ReadFlashStatus, StatusFlashMissed);
    if (edition_ <= 4)
        return status(ReadFlashStatus, StatusFlashGenerated);
    const int before = int(std::lround(lastVoltsBefore_ / kVoltsPerCount));
    const int drop = flashDropCounts(lastEnergy_);
    QByteArray out = status(ReadFlashStatus, StatusFlashGenerated);
    appendBe16(out, before);
    out.append(char(lastTrigger_));
    out.append(char(quint8(drop)));
    appendBe16(out, before - drop);
    out.append(char(lastEnergy_));
    return out;
}

QByteArray Unit::readTrigger(const QByteArray &p) const {
    if (p.size() != 2 || (at(p, 1) != 1 && at(p, 1) != 2))
        return status(ReadTriggerSettings, StatusBadParameters);
    const TriggerSequence &t = triggers_[at(p, 1) - 1];
    QByteArray out = bytes({ReadTriggerSettings, at(p, 1), int(t.energies.size())});
    for (quint8 e : t.energies)
        out.append(char(e));
    for (quint16 time : t.times)
        appendBe16(out, time);
    return out;
}

QByteArray Unit::setTrigger(const QByteArray &p) {
    const quint8 code = at(p, 0);
    const int n = p.size() >= 2 ? at(p, 1) : 0;
    if (n < 1 || n > kMaxFlashesPerTrigger || p.size() != 3 * n + 2)
        return status(code, StatusBadParameters);
    TriggerSequence t;
    for (int k = 0; k < n; ++k)
        t.energies.append(at(p, 2 + k));
    for (int k = 0; k < n; ++k)
        t.times.append(quint16(be16(p, 2 + n + 2 * k)));
    triggers_[code == SetTrigger1Sequence ? 0 : 1] = t;
    return status(code, StatusOk);
}

QByteArray Unit::writeChargeVoltage(const QByteArray &p) {
    // Edition 1 sends the voltage alone; later editions add the access code.
    const int expected = edition_ == 1 ? 3 : 3 + kAccessCode.size();
    if (p.size() != expected || (edition_ > 1 && p.mid(3) != kAccessCode))
        return status(WriteChargeVoltage, StatusIncorrectCommand);
    const int volts = be16(p, 1);
    if (volts < kMinChargeVolts || volts > kMaxChargeVolts)
        return status(WriteChargeVoltage, StatusIncorrectCommand);
    chargeVolts_ = volts;
    return status(WriteChargeVoltage, StatusOk);
}

QByteArray Unit::resetMemory(const QByteArray &p) {
    const bool valid = edition_ == 1 ? p.size() == 1 : p.mid(1) == kAccessCode;
    if (!valid)
        return status(ResetMemory, StatusFrameError);
    restoreFactorySettings();
    return status(ResetMemory, StatusOk);
}

QByteArray Unit::readCalibration(const QByteArray &p) const {
    if (p.size() == 3 && at(p, 1) == kCalibrationStatusLevel && at(p, 2) == kCalibrationStatusLevel)
        return status(ReadCalibration, calibrated_ ? CalibrationDone : CalibrationFailed);
    if (p.size() != 2)
        return status(ReadCalibration, CalibrationBadParameters);
    QByteArray out = bytes({ReadCalibration, at(p, 1)});
    appendBe16(out, calibrationCounts(at(p, 1)));
    return out;
}

QByteArray Unit::standbyToggle(quint8 code) {
    // The console sends the same code to start and to stop a standby; another
    // kind of standby while one is on switches over to it.
    if (standby_ == code) {
        standby_ = 0;
        return status(code, StandbyOff);
    }
    standby_ = code;
    return status(code, StandbyOn);
}

QList<QByteArray> Unit::readEepromRuns() const {
    QList<QByteArray> out;
    for (int addr = 0; addr < kEepromBytes; addr += kMaxEepromRunBytes) {
        const int n = qMin(kMaxEepromRunBytes, kEepromBytes - addr);
        QByteArray run = bytes({ReadEeprom, n, addr >> 8, addr & 0xFF});
        run.append(eeprom_.mid(addr, n));
        out.append(run);
    }
    return out;
}

QList<QByteArray> Unit::handleBootloader(const QByteArray &p) {
    const quint8 code = at(p, 0);
    switch (code) {
    case StartBootloader:
        return {status(code, StatusOk)};
    case StartUserProgram:
        inBootloader_ = false;
        return {status(code, StatusOk)};
    case ReadVersion:
        return {bytes({code, kBootloaderVersionMajor, kBootloaderVersionMinor})};
    case EraseProgram:
        program_.fill(char(0xFF));
        return {status(code, StatusOk)};
    case WriteProgram: {
        if (p.size() != 4 + kProgramBlockBytes || at(p, 1) != kProgramWriteReserved)
            return {status(code, StatusIncorrectCommand)};
        const int addr = be16(p, 2);
        if (addr < kFirstWritableProgramAddress || addr % kProgramBlockBytes != 0)
            return {status(code, StatusIncorrectCommand)};
        program_.replace(addr, kProgramBlockBytes, p.constData() + 4, kProgramBlockBytes);
        return {status(code, StatusOk)};
    }
    case WriteEeprom: {
        const int n = p.size() >= 2 ? at(p, 1) : 0;
        const int addr = p.size() >= 4 ? be16(p, 2) : kEepromBytes;
        if (n < 1 || n > kMaxEepromRunBytes || p.size() != 4 + n || addr + n > kEepromBytes)
            return {status(code, StatusIncorrectCommand)};
        eeprom_.replace(addr, n, p.constData() + 4, n);
        return {status(code, StatusOk)};
    }
    case ReadEeprom:
        return readEepromRuns();
    case ReadConfig:
        return {QByteArray(1, char(code)) + config_};
    case WriteConfig:
        if (p.size() != 1 + kConfigBytes)
            return {status(code, StatusIncorrectConfig)};
        config_ = p.mid(1);
        return {status(code, StatusOk)};
    default:
        return {errorReport(BootloaderBase, UnknownCommand)};
    }
}

QList<QByteArray> Unit::consoleCommands(int edition) {
    const QByteArray access = kAccessCode;
    QList<QByteArray> out;
    out << bytes({ReadFlashCounter}) << bytes({ReadFlashRequestCounter});
    out << (edition == 1 ? bytes({ResetMemory}) : bytes({ResetMemory}) + access);
    out << bytes({FlashTrigger2}) << bytes({FlashTrigger1});
    if (edition <= 3)
        out << bytes({ChangeHighEnergyLevel, 120}) << bytes({ChangeLowEnergyLevel, 45});
    out << bytes({SaveTriggerSettings});
    if (edition <= 3)
        out << bytes({ReadTriggerSettings});
    else
        out << bytes({ReadTriggerSettings, 1}) << bytes({ReadTriggerSettings, 2});
    out << bytes({SequenceTest, SeqTestStarted, 0x01, 0xF4, 0})
        << bytes({SequenceTest, SeqTestStopped});
    out << bytes({ReadChargeVoltage}) << bytes({ReadTemperature});
    out << (edition == 1 ? bytes({WriteChargeVoltage, 0x01, 0x0E})
                         : bytes({WriteChargeVoltage, 0x01, 0x0E}) + access);
    out << bytes({ReadSoftwareVersion});
    if (edition >= 2) {
        out << bytes({Diagnosis}) << bytes({CompleteStandby}) << bytes({PartialStandby})
            << bytes({ReadFlashStatus}) << bytes({ResetHighVoltageController})
            << bytes({ResetCommunicationController}) << bytes({ResetBothControllers});
    }
    if (edition >= 3)
        out << bytes({ReadEepromStatus});
    if (edition >= 4) {
        out << triggerPayload(SetTrigger1Sequence, 2) << triggerPayload(SetTrigger2Sequence, 4)
            << bytes({SetOutputTriggerMode, 1});
    }
    if (edition >= 5) {
        out << bytes({Calibrate}) << bytes({ReadCalibration, 0})
            << bytes({ReadCalibration, kCalibrationStatusLevel, kCalibrationStatusLevel});
    }
    return out;
}

QList<QByteArray> Unit::bootloaderCommands() {
    QByteArray block = bytes({WriteProgram, kProgramWriteReserved, 0x03, 0x00});
    block.append(QByteArray(kProgramBlockBytes, char(0x5A)));
    QByteArray eepromRun = bytes({WriteEeprom, 0x18, 0x03, 0xE8});
    eepromRun.append(QByteArray(0x18, char(0x11)));
    return {bytes({StartBootloader}),
            bytes({ReadVersion}),
            bytes({EraseProgram}),
            block,
            eepromRun,
            bytes({ReadEeprom}),
            bytes({WriteConfig}) + QByteArray(kConfigBytes, char(0x22)),
            bytes({ReadConfig}),
            bytes({StartUserProgram})};
}

} // namespace zq::sim
