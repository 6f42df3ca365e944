#include "BootRun.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QSaveFile>

#include "BootImage.h"
#include "BootloaderProtocol.h"
#include "ExitCode.h"
#include "HexChecker.h"
#include "HexWriter.h"
#include "InputFile.h"
#include "PICProgram.h"
#include "Payloads.h"
#include "Stop.h"
#include "TimeUnits.h"
#include "UnitSession.h"

#include <optional>

namespace zqctl {

namespace {

constexpr int kShownErrorAnswers = 10; // the rest are counted, not printed
// The software version is read before the bootloader starts, for the summary.
// A unit already in its bootloader answers with a report instead, so this
// read is tried once and briefly.
constexpr int kVersionProbeMs = 1000;

using Repeat = UnitSession::Repeat;
using Exchange = UnitSession::Exchange;

zq::boot::BootloaderAnswer handled(const QByteArray &answer) {
    return zq::boot::handleAnswer(reinterpret_cast<const quint8 *>(answer.constData()),
                                  answer.size());
}

bool isBackup(Action action) {
    return action == Action::EepromRead || action == Action::ConfigRead;
}

bool isWrite(Action action) {
    return action == Action::FirmwareWrite || action == Action::EepromWrite ||
           action == Action::ConfigWrite;
}

Exchange harmless(const QString &what) {
    Exchange how;
    how.what = what;
    how.repeat = Repeat::Harmless;
    return how;
}

// Reads the file as the firmware window does, refusing what would not reach
// the unit as the file says unless --force.
int loadImage(const Invocation &inv, Output &out, const QByteArray &bytes, PICProgram &program) {
    const Action action = inv.command->action;
    const QString file = inv.args.value(0);
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    program.clear();
    const bool read = program.readHex(buffer) == 0;
    const HexReport report = checkHex(bytes, program, read);
    const auto matters = [action](HexArea area) {
        switch (area) {
        case HexArea::File:
            return true;
        case HexArea::Program:
            return action == Action::FirmwareWrite;
        case HexArea::Eeprom:
            return action != Action::ConfigWrite;
        case HexArea::Config:
            return action != Action::EepromWrite;
        }
        return true;
    };
    // A file cut short or one that says two things of one address: which of
    // them the unit should hold, the file cannot tell.
    bool contradicts = false;
    for (const HexArea area : {HexArea::Program, HexArea::Eeprom, HexArea::Config})
        contradicts = contradicts || (matters(area) && report.contradicts(area));
    const bool refuse = report.recordsBroken || report.endMissing || contradicts ||
                        (matters(HexArea::Config) && report.configUnusable);
    for (const HexProblem &p : report.problems) {
        if (matters(p.area))
            out.complain(hexProblemText(p));
    }
    if (report.moreProblems > 0)
        out.complain(moreProblemsText(report));
    if (!report.analyzable) {
        out.complain(
            QStringLiteral("the firmware window cannot analyze %1; nothing was sent").arg(file));
        return ExitFailed;
    }
    if (refuse && !inv.has(QStringLiteral("force"))) {
        out.complain(QStringLiteral("refusing to write: the unit would not get what %1 says "
                                    "(--force writes it anyway, as the firmware window would)")
                         .arg(file));
        return ExitFailed;
    }
    if (action == Action::EepromWrite && report.eepromBytes == 0) {
        out.complain(QStringLiteral("%1 holds no EEPROM bytes; nothing was sent").arg(file));
        return ExitFailed;
    }
    return ExitOk;
}

class BootJob : public UnitJob {
public:
    explicit BootJob(const BootPlan &plan) : plan_(plan) {}

    void run(UnitSession &session) override;

private:
    // How far the unit has come, for the word on where it stands when the
    // run ends early.
    enum class Stage { Untouched, Entering, InBootloader, Writing, Written, Leaving, Left };

    const Invocation &inv() const { return s_->inv(); }
    Output &out() { return s_->out(); }
    bool enter();
    bool leave();
    QString readSoftwareVersion(bool probe);
    void writeRun(const QVector<QByteArray> &payloads, bool showProgress);
    std::optional<QByteArray> readEeprom();
    std::optional<QByteArray> readConfig();
    void verify(const QByteArray &eeprom, const QByteArray &config);
    bool openBackup();
    bool saveHex(const QByteArray &hex);
    bool cut() const { return s_->stopped() || s_->portLost() || s_->status() == ExitNoAnswer; }
    void tellWhereItStands();
    bool toStdout() const {
        return inv().values.value(QStringLiteral("out")) == QLatin1String("-");
    }
    QString outName() const {
        return toStdout() ? QStringLiteral("standard output") : saveFile_.fileName();
    }

    const BootPlan &plan_;
    UnitSession *s_ = nullptr;
    QSaveFile saveFile_;
    Stage stage_ = Stage::Untouched;
    int answered_ = 0;  // payloads of the write answered, in order
    int confirmed_ = 0; // those whose answer confirmed them
};

bool BootJob::enter() {
    // The bootloader's answer to 0x33 carries nothing the window shows; a unit
    // that stays silent is found out by the version read that follows.
    Exchange start;
    start.what = QStringLiteral("to the bootloader start");
    start.probe = true;
    const int sentBefore = s_->payloadsSent();
    const bool started =
        s_->exchange(zq::boot::command(zq::boot::StartBootloader), start).has_value();
    if (s_->payloadsSent() > sentBefore)
        stage_ = Stage::Entering;
    if (!started && cut())
        return false;
    const auto version = s_->exchange(zq::boot::command(zq::boot::ReadVersion),
                                      harmless(QStringLiteral("to the bootloader's version read")));
    if (!version)
        return false;
    const Printed printed = bootAnswer(*version);
    out().answer(printed);
    if (printed.failed) {
        out().complain(QStringLiteral("the bootloader did not start"));
        s_->failed(ExitFailed);
        return false;
    }
    stage_ = Stage::InBootloader;
    return true;
}

bool BootJob::leave() {
    stage_ = Stage::Leaving;
    // The unit answers 0xCC also once its program runs, so asking again is harmless.
    const auto a = s_->exchange(zq::boot::command(zq::boot::StartUserProgram),
                                harmless(QStringLiteral("to leaving the bootloader")));
    if (!a)
        return false;
    if (!handled(*a).bootloaderModeOff) {
        out().answer(bootAnswer(*a));
        s_->failed(ExitFailed);
        return false;
    }
    stage_ = Stage::Left;
    out().result(QStringLiteral("left"),
                 QStringLiteral("Bootloader left; the unit's program runs"));
    return true;
}

// The application's software version, as the console shows it. `probe`: a
// single short try, and silence is no failure.
QString BootJob::readSoftwareVersion(bool probe) {
    Exchange how;
    if (probe) {
        how.what = QStringLiteral("to the software version read before the bootloader");
        how.probe = true;
        how.waitMs = qMin(inv().timeoutMs, kVersionProbeMs);
    } else {
        how = harmless(QStringLiteral("to the software version read after the bootloader"));
    }
    const auto answer = s_->exchange(zq::console::readSoftwareVersion(), how);
    if (!answer)
        return QString();
    const Printed printed = consoleAnswer(inv().edition, *answer);
    out().answer(printed);
    return versionText(printed);
}

void BootJob::writeRun(const QVector<QByteArray> &payloads, bool showProgress) {
    stage_ = Stage::Writing;
    QElapsedTimer clock;
    clock.start();
    const qint64 lineBytesBefore = s_->lineBytes();
    const int reportsBefore = s_->reports();
    const int retriesBefore = s_->summary().retries;
    const int total = payloads.size();
    int errors = 0;
    for (int i = 0; i < total; ++i) {
        const QString which = QStringLiteral("payload %1 of %2 (%3)")
                                  .arg(i + 1)
                                  .arg(total)
                                  .arg(writePayloadText(payloads[i]));
        const auto a = s_->exchange(payloads[i], harmless(QStringLiteral("to ") + which));
        if (!a) {
            out().endProgress();
            return;
        }
        // Judged from the status text alone; the printable form is built only
        // for the answers that are shown, which keeps each exchange short.
        ++answered_;
        const auto h = handled(*a);
        if (h.setsStatus && isFailureText(h.status)) {
            if (++errors <= kShownErrorAnswers) {
                out().answer(bootAnswer(*a));
                out().complain(QStringLiteral("the unit refused ") + which);
            }
        } else {
            ++confirmed_;
        }
        if (showProgress)
            out().progress(i + 1, total, s_->lineBytes() - lineBytesBefore);
    }
    out().endProgress();
    stage_ = Stage::Written;
    const int reports = s_->reports() - reportsBefore;
    const int retries = s_->summary().retries - retriesBefore;
    QString text =
        QStringLiteral("Wrote %1 payloads (%2 bytes on the line) in %3 s: %4 error answers")
            .arg(total)
            .arg(s_->lineBytes() - lineBytesBefore)
            .arg(clock.elapsed() / double(zq::kMsPerSecond), 0, 'f', 2)
            .arg(errors);
    if (reports > 0)
        text += QStringLiteral(", %1 unit reports").arg(reports);
    if (retries > 0)
        text += QStringLiteral(", %1 retries").arg(retries);
    out().result(QStringLiteral("written"), text, errors > 0,
                 {{QStringLiteral("error_answers"), errors},
                  {QStringLiteral("unit_reports"), reports},
                  {QStringLiteral("retries"), retries}});
    if (errors > 0)
        s_->failed(ExitFailed);
}

std::optional<QByteArray> BootJob::readEeprom() {
    // One ReadEeprom brings several runs. A damaged or missing one is not
    // asked for on its own: the whole read is asked again once the line is
    // back in step, so that no run of the earlier read is taken for the new.
    EepromReadBack readBack;
    const bool read = s_->readRuns(
        zq::boot::command(zq::boot::ReadEeprom), harmless(QStringLiteral("to the EEPROM read")),
        [&](const QByteArray &run) {
            const Printed printed = bootAnswer(run);
            if (printed.failed) {
                out().answer(printed);
                s_->failed(ExitFailed);
                return UnitSession::Take::Refused;
            }
            readBack.add(handled(run));
            return readBack.complete() ? UnitSession::Take::Done : UnitSession::Take::More;
        });
    if (!read)
        return std::nullopt;
    return readBack.bytes();
}

std::optional<QByteArray> BootJob::readConfig() {
    const auto a = s_->exchange(zq::boot::command(zq::boot::ReadConfig),
                                harmless(QStringLiteral("to the configuration read")));
    if (!a)
        return std::nullopt;
    const QByteArray config = configFromAnswer(handled(*a));
    if (config.size() != zq::boot::kConfigSize) {
        out().answer(bootAnswer(*a));
        s_->failed(ExitFailed);
        return std::nullopt;
    }
    return config;
}

void BootJob::verify(const QByteArray &eeprom, const QByteArray &config) {
    QStringList mismatches;
    if (!eeprom.isEmpty()) {
        const auto read = readEeprom();
        if (!read)
            return;
        const int at = firstMismatch(eeprom, *read);
        if (at >= 0)
            mismatches << eepromMismatchText(at, quint8(eeprom[at]), quint8(read->at(at)));
    }
    if (!config.isEmpty()) {
        const auto read = readConfig();
        if (!read)
            return;
        const int at = firstMismatch(config, *read);
        if (at >= 0)
            mismatches << configMismatchText(at, quint8(config.at(at)), quint8(read->at(at)));
    }
    QStringList parts;
    if (!eeprom.isEmpty())
        parts << QStringLiteral("EEPROM (%1 bytes)").arg(eeprom.size());
    if (!config.isEmpty())
        parts << QStringLiteral("configuration (%1 bytes)").arg(config.size());
    if (mismatches.isEmpty()) {
        out().result(QStringLiteral("verified"),
                     QStringLiteral("Verified: %1 read back as written").arg(parts.join(" and ")));
        return;
    }
    for (const QString &m : qAsConst(mismatches))
        out().result(QStringLiteral("mismatch"), QStringLiteral("Verify failed: ") + m, true);
    s_->failed(ExitFailed);
}

bool BootJob::openBackup() {
    if (toStdout())
        return true;
    // The file appears only once it is complete.
    saveFile_.setFileName(inv().outFile(s_->port()));
    if (saveFile_.open(QIODevice::WriteOnly))
        return true;
    out().complain(
        QStringLiteral("cannot write %1: %2").arg(saveFile_.fileName(), saveFile_.errorString()));
    s_->failed(ExitUsage);
    return false;
}

bool BootJob::saveHex(const QByteArray &hex) {
    if (toStdout() ? Screen::writeData(hex)
                   : saveFile_.write(hex) == hex.size() && saveFile_.commit())
        return true;
    out().complain(toStdout() ? QStringLiteral("cannot write to standard output")
                              : QStringLiteral("cannot write %1: %2")
                                    .arg(saveFile_.fileName(), saveFile_.errorString()));
    s_->failed(ExitFailed);
    return false;
}

void BootJob::tellWhereItStands() {
    const QString leaveHint = QStringLiteral("'zqctl bootloader leave' starts its program");
    QString text;
    switch (stage_) {
    case Stage::Untouched:
    case Stage::Left:
        if (!s_->stopped())
            return;
        text = stage_ == Stage::Left ? QStringLiteral("the unit's program runs")
                                     : QStringLiteral("nothing was changed on the unit");
        break;
    case Stage::Entering:
        text = QStringLiteral("the unit may be in its bootloader; ") + leaveHint;
        break;
    case Stage::InBootloader:
    case Stage::Written:
        text = (stage_ == Stage::Written ? QStringLiteral("the unit confirmed every payload of "
                                                          "the write; ")
                                         : QString()) +
               QStringLiteral("the unit stays in its bootloader; ") + leaveHint;
        break;
    case Stage::Writing: {
        const QVector<QByteArray> &payloads = plan_.payloads;
        text = QStringLiteral("the write is incomplete");
        if (answered_ > 0 && answered_ <= payloads.size())
            text += QStringLiteral(" after payload %1 of %2 (%3)")
                        .arg(answered_)
                        .arg(payloads.size())
                        .arg(writePayloadText(payloads[answered_ - 1]));
        text += QStringLiteral(": the unit confirmed %1 of %2 payloads; it stays in its "
                               "bootloader, and 'zqctl %3' with the same file again recovers it")
                    .arg(confirmed_)
                    .arg(payloads.size())
                    .arg(QLatin1String(inv().command->name));
        break;
    }
    case Stage::Leaving:
        text = QStringLiteral("the unit may still be in its bootloader; ") + leaveHint;
        break;
    }
    if (s_->stopped())
        text = QStringLiteral("stopped by %1: ").arg(stopSignalName()) + text;
    out().complain(text);
}

void BootJob::run(UnitSession &session) {
    s_ = &session;
    const Action action = inv().command->action;
    if (isBackup(action) && !openBackup())
        return;
    const bool firmware = action == Action::FirmwareWrite;
    if (action == Action::BootloaderLeave) {
        stage_ = Stage::InBootloader;
        if (!leave() && cut())
            tellWhereItStands();
        return;
    }
    if (firmware)
        session.summary().versionBefore = readSoftwareVersion(true);
    if (cut() || !enter()) {
        if (cut())
            tellWhereItStands();
        return;
    }

    const QVector<QByteArray> &payloads = plan_.payloads;
    switch (action) {
    case Action::FirmwareWrite:
        writeRun(payloads, true);
        if (!cut() && inv().has(QStringLiteral("verify")))
            verify(eepromFromPayloads(payloads), configFromPayloads(payloads));
        break;
    case Action::EepromWrite:
    case Action::ConfigWrite:
        // A restore is always read back: the backup it came from is the only copy.
        writeRun(payloads, false);
        if (!cut())
            verify(action == Action::EepromWrite ? eepromFromPayloads(payloads) : QByteArray(),
                   action == Action::ConfigWrite ? configFromPayloads(payloads) : QByteArray());
        break;
    case Action::EepromRead:
        if (const auto eeprom = readEeprom(); eeprom && saveHex(eepromHex(*eeprom)))
            out().result(
                QStringLiteral("saved"),
                QStringLiteral("EEPROM: %1 bytes saved to %2").arg(eeprom->size()).arg(outName()));
        break;
    case Action::ConfigRead:
        if (const auto config = readConfig(); config && saveHex(configHex(*config)))
            out().result(QStringLiteral("saved"),
                         QStringLiteral("Configuration: %1 bytes saved to %2")
                             .arg(config->size())
                             .arg(outName()));
        break;
    case Action::BootloaderStart:
    case Action::BootloaderLeave:
        break;
    case Action::Ports:
    case Action::HexInfo:
    case Action::Version:
    case Action::Info:
    case Action::Diagnosis:
    case Action::FlashStatus:
    case Action::EepromStatus:
    case Action::CalibrationStatus:
    case Action::Calibration:
    case Action::Flash:
    case Action::ReadTrigger:
    case Action::SetTrigger:
    case Action::SaveTriggers:
    case Action::OutputMode:
    case Action::EnergyLevel:
    case Action::ReadEnergyLevels:
    case Action::SaveEnergyLevels:
    case Action::SequenceStart:
    case Action::SequenceStop:
    case Action::Standby:
    case Action::Reset:
    case Action::ChargeVoltage:
    case Action::ResetMemory:
    case Action::Calibrate:
        return; // not the bootloader's; never planned here
    }

    if (cut()) {
        tellWhereItStands();
        return;
    }
    if (session.status() != ExitOk && isWrite(action)) {
        // Starting a program whose write went wrong could leave the unit
        // unreachable; the bootloader stays up for another try.
        out().complain(QStringLiteral("staying in the bootloader after the errors above; "
                                      "'zqctl bootloader leave' starts the program"));
        return;
    }
    const bool stay = inv().has(QStringLiteral("stay")) || action == Action::BootloaderStart;
    if (stay)
        return;
    if (leave()) {
        if (firmware)
            session.summary().versionAfter = readSoftwareVersion(false);
    } else if (cut()) {
        tellWhereItStands();
    }
}

} // namespace

int prepareBootloaderCommand(const Invocation &inv, Output &out, BootPlan *plan) {
    const Action action = inv.command->action;
    if (isBackup(action)) {
        if (inv.values.value(QStringLiteral("out")) == QLatin1String("-")) {
            // Standard output then carries the file alone.
            out.screen().keepStdoutForData();
            return ExitOk;
        }
        // Every unit's file is tried now, so that a wrong path is refused
        // before any unit is touched.
        for (const QString &port : inv.ports) {
            QString error;
            if (!checkOutputFile(inv.outFile(port), &error)) {
                out.complain(error);
                return ExitUsage;
            }
            QSaveFile file(inv.outFile(port));
            if (!file.open(QIODevice::WriteOnly)) {
                out.complain(
                    QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
                return ExitUsage;
            }
            file.cancelWriting();
        }
        return ExitOk;
    }
    if (!isWrite(action))
        return ExitOk;
    QByteArray bytes;
    QString error;
    if (!readInputFile(inv.args.value(0), kMaxHexFileBytes, &bytes, &error)) {
        out.complain(error);
        return ExitUsage;
    }
    PICProgram program;
    if (const int refused = loadImage(inv, out, bytes, program); refused != ExitOk)
        return refused;
    if (action == Action::FirmwareWrite) {
        plan->payloads = zq::boot::programWriteSequence(program);
    } else if (action == Action::EepromWrite) {
        int named = 0;
        plan->payloads = zq::boot::eepromWriteSequence(eepromFromImage(program, &named));
        if (named < zq::boot::kEepromSize)
            out.complain(QStringLiteral("%1 names %2 of the 1024 EEPROM addresses; the others are "
                                        "written as 0")
                             .arg(inv.args.value(0))
                             .arg(named));
    } else {
        plan->payloads = {zq::boot::configWritePayload(program.configBytes())};
    }
    return ExitOk;
}

std::unique_ptr<UnitJob> bootloaderJob(const BootPlan &plan) {
    return std::make_unique<BootJob>(plan);
}

} // namespace zqctl
