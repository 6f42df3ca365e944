#pragma once
// The simulated ZQ unit: its application firmware (editions 1 to 5) and its
// bootloader, as a pure object. A payload goes in, zero or more answer
// payloads come out; no port, no clock, no files. The zq-sim program puts it
// on a pseudo-terminal, the tests call it directly.
//
// Choices of the simulator's own, where nothing the console or the firmware
// window checks fixes the value:
//  - Error reports are [0x3E, base, number]. Base 1 is the application, base 2
//    the bootloader, base 3 the high-voltage section. Number 1: a command code
//    that the running firmware does not know; number 2: an empty payload;
//    number 3 (base 3): the charge did not reach its voltage in time, the report
//    that the unit sends of its own accord (unsolicitedErrorReport()).
//  - The bootloader answers application commands with [0x3E, 2, 1], except the
//    codes that it shares with the application (0x00, 0x02 to 0x07), which it
//    takes as its own.
//  - The controller resets 19 to 21 get no answer: the controller that would
//    answer is the one being restarted. The console does not decode an answer
//    to them anyway.
//  - A wrong or missing access code: [2, 13] for the memory reset, [12, 8] for
//    the charge voltage (also for a voltage outside 200..300 V).
//  - 0xCC (start the user program) is answered [0xCC, 0] also while the
//    application runs, so that a firmware window that missed the switch back can
//    leave its bootloader mode.
//  - Reading commands ignore bytes after their code; commands that change the
//    unit check their length and answer with their failure status.
//  - The memory reset (code 2) puts the stored settings back to their factory
//    values: energy levels, trigger sequences, output trigger mode and the EEPROM
//    write-failure count. Counters, charge voltage and calibration stay.
//  - Diagnosis: [14, high-voltage controller, communication controller (0 = sound),
//    standby code, sequence test running, degrees, output trigger mode]. Software
//    version: [13, edition, 0, 21, 5]. Bootloader version 1.4.
//  - Flash status before any flash: [18, 3]. Edition 5's long form carries the
//    trigger number in its unshown byte 4 and a drop of 1 + energy / 4 counts.
//  - Program memory, EEPROM and configuration survive a switch between the
//    application and the bootloader; a block write replaces the block as it is
//    (the bootloader erases the row itself).

#include <QByteArray>
#include <QList>
#include <QVector>
#include <QtGlobal>

namespace zq::sim {

// The simulator keeps its own copy of the unit's facts below (command codes,
// memory sizes, status bytes) on purpose: it stands for the unit, so it must
// not take them from the program it checks. A code mistyped in the program's
// ConsoleCommand.h or BootloaderCommand.h then shows as a test failure instead
// of agreeing with itself.
constexpr int kFirstEdition = 1;
constexpr int kLastEdition = 5;
constexpr int kProgramMemoryBytes = 65536;
constexpr int kEepromBytes = 1024;
constexpr int kConfigBytes = 14;
constexpr int kProgramBlockBytes = 64;
constexpr int kFirstWritableProgramAddress = 0x0300;
constexpr int kMaxEepromRunBytes = 250;
constexpr int kMaxFlashesPerTrigger = 4;
constexpr int kMinChargeVolts = 200;
constexpr int kMaxChargeVolts = 300;
constexpr int kDefaultChargeVolts = 270;
constexpr double kVoltsPerCount = 0.301;
extern const QByteArray kAccessCode; // the 9 ASCII bytes "qebor2751"

// Codes of the application firmware's commands and answers.
enum AppCode : quint8 {
    ReadFlashCounter = 0,
    ReadFlashRequestCounter = 1,
    ResetMemory = 2,
    FlashTrigger2 = 3, // editions 1-3: flash at the high energy level
    FlashTrigger1 = 4, // editions 1-3: flash at the low energy level
    ChangeHighEnergyLevel = 5,
    ChangeLowEnergyLevel = 6,
    SaveTriggerSettings = 7,
    ReadTriggerSettings = 8,
    SequenceTest = 9,
    ReadChargeVoltage = 10,
    ReadTemperature = 11,
    WriteChargeVoltage = 12,
    ReadSoftwareVersion = 13,
    Diagnosis = 14,
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
    ErrorReport = 0x3E,
};

// Codes of the bootloader's commands and answers.
enum BootCode : quint8 {
    ReadVersion = 0x00,
    WriteProgram = 0x02,
    EraseProgram = 0x03,
    ReadEeprom = 0x04,
    WriteEeprom = 0x05,
    ReadConfig = 0x06,
    WriteConfig = 0x07,
    StartBootloader = 0x33,
    StartUserProgram = 0xCC,
};

// Status bytes of the answers.
enum Status : quint8 {
    StatusOk = 0,
    StatusFlashGenerated = 2, // flash answers of editions 1-3, flash status
    StatusFlashMissed = 3,
    StatusIncorrectEnergyCommand = 7,
    StatusIncorrectCommand = 8, // charge voltage; bootloader program and EEPROM writes
    StatusIncorrectConfig = 9,
    SeqTestStarted = 10,
    SeqTestStopped = 11,
    StatusBadParameters = 12, // trigger sequences, sequence test, trigger read
    StatusFrameError = 13,    // memory reset without a valid access code
    StandbyOn = 16,
    StandbyOff = 0,
    StatusBadTriggerMode = 22,
    CalibrationBadParameters = 24,
    CalibrationDone = 25,
    CalibrationFailed = 26,
};

enum ErrorBase : quint8 { ApplicationBase = 1, BootloaderBase = 2, HighVoltageBase = 3 };
enum ErrorNumber : quint8 { UnknownCommand = 1, EmptyPayload = 2, ChargeTimeout = 3 };

constexpr quint8 kCalibrationStatusLevel = 255; // [27, 255, 255] asks for the status

struct TriggerSequence {
    QVector<quint8> energies; // one per flash, 1 to 4 flashes
    QVector<quint16> times;   // before flash 1, then between flashes
    bool operator==(const TriggerSequence &o) const {
        return energies == o.energies && times == o.times;
    }
};

class Unit {
public:
    explicit Unit(int edition = kLastEdition);

    int edition() const { return edition_; }

    // One command payload in, the answers out (none for the controller resets).
    QList<QByteArray> handle(const QByteArray &payload);

    // Every payload form that the console of `edition` sends, one each, in code
    // order: for checks of the unit's answers against the console's decoder. The
    // controller resets 19 to 21 are among them and get no answer.
    static QList<QByteArray> consoleCommands(int edition);
    // Every bootloader command, as the firmware window sends it, starting with
    // 0x33 and ending with 0xCC.
    static QList<QByteArray> bootloaderCommands();

    static QByteArray errorReport(quint8 base, quint8 number);
    // The report that the unit sends unasked (the charge took too long).
    static QByteArray unsolicitedErrorReport() {
        return errorReport(HighVoltageBase, ChargeTimeout);
    }

    // The application's state.
    quint32 flashCounter() const { return flashCounter_; }
    quint32 flashRequestCounter() const { return flashRequestCounter_; }
    int chargeVolts() const { return chargeVolts_; }
    int temperature() const { return temperature_; }
    void setTemperature(int celsius) { temperature_ = celsius; }
    quint8 highEnergyLevel() const { return highEnergy_; }
    quint8 lowEnergyLevel() const { return lowEnergy_; }
    TriggerSequence triggerSequence(int trigger) const { return triggers_[trigger == 2 ? 1 : 0]; }
    bool sequenceTestRunning() const { return seqTestRunning_; }
    quint8 standby() const { return standby_; } // 0, or the code of the standby that is on
    quint8 outputTriggerMode() const { return outputTriggerMode_; }
    bool calibrated() const { return calibrated_; }
    quint16 eepromWriteFailures() const { return eepromWriteFailures_; }
    void setEepromWriteFailures(quint16 count) { eepromWriteFailures_ = count; }
    int settingsSaves() const { return settingsSaves_; }

    // The bootloader's state.
    bool inBootloader() const { return inBootloader_; }
    const QByteArray &programMemory() const { return program_; }
    const QByteArray &eeprom() const { return eeprom_; }
    const QByteArray &config() const { return config_; }

private:
    QList<QByteArray> handleApplication(const QByteArray &p);
    QList<QByteArray> handleBootloader(const QByteArray &p);
    bool knows(quint8 code) const;
    QByteArray flash(quint8 code);
    QByteArray flashStatus() const;
    QByteArray readTrigger(const QByteArray &p) const;
    QByteArray setTrigger(const QByteArray &p);
    QByteArray writeChargeVoltage(const QByteArray &p);
    QByteArray resetMemory(const QByteArray &p);
    QByteArray readCalibration(const QByteArray &p) const;
    QByteArray standbyToggle(quint8 code);
    QList<QByteArray> readEepromRuns() const;
    void restoreFactorySettings();

    int edition_;

    quint32 flashCounter_ = 0;
    quint32 flashRequestCounter_ = 0;
    int chargeVolts_ = kDefaultChargeVolts;
    int temperature_ = 25;
    quint8 highEnergy_ = 0;
    quint8 lowEnergy_ = 0;
    TriggerSequence triggers_[2];
    bool seqTestRunning_ = false;
    quint8 standby_ = 0;
    quint8 outputTriggerMode_ = 0;
    bool calibrated_ = true; // units leave the factory calibrated
    quint16 eepromWriteFailures_ = 0;
    int settingsSaves_ = 0;

    // The last flash, for the flash status.
    bool flashed_ = false;
    quint8 lastTrigger_ = 0;
    quint8 lastEnergy_ = 0;
    int lastVoltsBefore_ = 0;

    bool inBootloader_ = false;
    QByteArray program_;
    QByteArray eeprom_;
    QByteArray config_;
};

} // namespace zq::sim
