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
#include "Session.h"

#include <optional>

namespace zqctl {

namespace {

constexpr int kShownErrorAnswers = 10; // the rest are counted, not printed
constexpr double kMsPerSecond = 1000.0;
// The software version is read before the bootloader starts, for the summary.
// A unit already in its bootloader answers with a report instead, so this
// read is tried once and briefly.
constexpr int kVersionProbeMs = 1000;

using Repeat = UnitSession::Repeat;

zq::boot::BootloaderAnswer handled(const QByteArray &answer) {
    return zq::boot::handleAnswer(reinterpret_cast<const quint8 *>(answer.constData()),
                                  answer.size());
}

bool isBackup(const QString &name) {
    return name == QLatin1String("eeprom read") || name == QLatin1String("config read");
}

// Reads the file as the firmware window does, refusing what would not reach
// the unit as the file says unless --force.
int loadImage(const Invocation &inv, Output &out, const QByteArray &bytes, PICProgram &program) {
    const QString name = QString::fromLatin1(inv.command->name);
    const QString file = inv.args.value(0);
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    program.clear();
    const bool read = program.readHex(buffer) == 0;
    const HexReport report = checkHex(bytes, program, read);
    const bool configMatters = name != QLatin1String("eeprom write");
    const bool eepromMatters = name != QLatin1String("config write");
    const bool refuse = report.recordsBroken || (configMatters && report.configUnusable);
    for (const HexProblem &p : report.problems) {
        if ((p.area != HexArea::Config || configMatters) &&
            (p.area != HexArea::Eeprom || eepromMatters) &&
            (p.area != HexArea::Program || name == QLatin1String("firmware write")))
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
    if (eepromMatters && !configMatters && report.eepromBytes == 0) {
        out.complain(QStringLiteral("%1 holds no EEPROM bytes; nothing was sent").arg(file));
        return ExitFailed;
    }
    return ExitOk;
}

class BootRun {
public:
    BootRun(const BootPlan &plan, UnitSession &session)
        : plan_(plan), s_(session), inv_(session.inv()), out_(session.out()),
          name_(QString::fromLatin1(session.inv().command->name)) {}

    void run();

private:
    bool enter();
    bool leave();
    QString readSoftwareVersion(bool once);
    void writeRun(const QVector<QByteArray> &payloads, bool showProgress);
    std::optional<QByteArray> readEeprom();
    std::optional<QByteArray> readConfig();
    void verify(const QByteArray &eeprom, const QByteArray &config);
    bool openBackup();
    bool saveHex(const QByteArray &hex);
    bool toStdout() const { return inv_.values.value(QStringLiteral("out")) == QLatin1String("-"); }
    QString outName() const {
        return toStdout() ? QStringLiteral("standard output") : saveFile_.fileName();
    }

    const BootPlan &plan_;
    UnitSession &s_;
    const Invocation &inv_;
    Output &out_;
    const QString name_;
    QSaveFile saveFile_;
};

bool BootRun::enter() {
    UnitLink &link = s_.link();
    if (!link.send(zq::boot::command(StartBootloader))) {
        s_.portFailed();
        return false;
    }
    // The bootloader's answer to 0x33 carries nothing the window shows; a unit
    // that stays silent is found out by the version read that follows.
    if (link.await(StartBootloader, inv_.timeoutMs).heard == UnitLink::Heard::PortFailed) {
        s_.portFailed();
        return false;
    }
    const auto version = s_.ask(zq::boot::command(ReadVersion), Repeat::Harmless,
                                QStringLiteral("to the bootloader's version read"));
    if (!version)
        return false;
    const Printed printed = bootAnswer(*version);
    out_.answer(printed);
    if (printed.failed) {
        out_.complain(QStringLiteral("the bootloader did not start"));
        s_.failed(ExitFailed);
        return false;
    }
    return true;
}

bool BootRun::leave() {
    // The unit answers 0xCC also once its program runs, so asking again is harmless.
    const auto a = s_.ask(zq::boot::command(StartUserProgram), Repeat::Harmless,
                          QStringLiteral("to leaving the bootloader"));
    if (!a)
        return false;
    if (!handled(*a).bootloaderModeOff) {
        out_.answer(bootAnswer(*a));
        s_.failed(ExitFailed);
        return false;
    }
    out_.result(QStringLiteral("left"), QStringLiteral("Bootloader left; the unit's program runs"));
    return true;
}

// The application's software version, as the console shows it. `once`: a
// single short try, and silence is no failure.
QString BootRun::readSoftwareVersion(bool once) {
    std::optional<QByteArray> answer;
    const QByteArray payload = zq::console::readSoftwareVersion();
    if (once) {
        if (s_.link().send(payload)) {
            const UnitLink::Arrival a =
                s_.link().await(quint8(payload[0]), qMin(inv_.timeoutMs, kVersionProbeMs));
            if (a.heard == UnitLink::Heard::Answer)
                answer = a.payload;
        }
    } else {
        answer = s_.ask(payload, Repeat::Harmless,
                        QStringLiteral("to the software version read after the bootloader"));
    }
    if (!answer)
        return QString();
    const Printed printed = consoleAnswer(inv_.edition, *answer);
    out_.answer(printed);
    return versionText(printed);
}

void BootRun::writeRun(const QVector<QByteArray> &payloads, bool showProgress) {
    QElapsedTimer clock;
    clock.start();
    const qint64 lineBytesBefore = s_.link().lineBytes();
    const int reportsBefore = s_.link().reports();
    const int retriesBefore = s_.summary().retries;
    int errors = 0;
    for (int i = 0; i < payloads.size(); ++i) {
        const auto a = s_.ask(payloads[i], Repeat::Harmless,
                              QStringLiteral("to payload %1 of %2").arg(i + 1).arg(payloads.size()),
                              QStringLiteral("; the write is incomplete"));
        if (!a) {
            out_.endProgress();
            return;
        }
        // Judged from the status text alone; the printable form is built only
        // for the answers that are shown, which keeps each exchange short.
        const auto h = handled(*a);
        if (h.setsStatus && isFailureText(h.status) && ++errors <= kShownErrorAnswers)
            out_.answer(bootAnswer(*a));
        if (showProgress)
            out_.progress(i + 1, payloads.size(), s_.link().lineBytes() - lineBytesBefore);
    }
    out_.endProgress();
    const int reports = s_.link().reports() - reportsBefore;
    const int retries = s_.summary().retries - retriesBefore;
    QString text =
        QStringLiteral("Wrote %1 payloads (%2 bytes on the line) in %3 s: %4 error answers")
            .arg(payloads.size())
            .arg(s_.link().lineBytes() - lineBytesBefore)
            .arg(clock.elapsed() / kMsPerSecond, 0, 'f', 2)
            .arg(errors);
    if (reports > 0)
        text += QStringLiteral(", %1 unit reports").arg(reports);
    if (retries > 0)
        text += QStringLiteral(", %1 retries").arg(retries);
    out_.result(QStringLiteral("written"), text, errors > 0,
                {{QStringLiteral("error_answers"), errors},
                 {QStringLiteral("unit_reports"), reports},
                 {QStringLiteral("retries"), retries}});
    if (errors > 0)
        s_.failed(ExitFailed);
}

std::optional<QByteArray> BootRun::readEeprom() {
    // One ReadEeprom brings several runs. A damaged run is not asked for on
    // its own: the rest of the read still comes, and the whole read is asked
    // again once the unit is quiet, so no run of it is left on the line.
    for (int tries = 1;; ++tries) {
        EepromReadBack readBack;
        UnitLink::Arrival a, damaged;
        if (!s_.link().send(zq::boot::command(ReadEeprom)))
            a.heard = UnitLink::Heard::PortFailed;
        while (a.heard != UnitLink::Heard::PortFailed) {
            a = s_.link().await(ReadEeprom, inv_.timeoutMs);
            if (a.heard == UnitLink::Heard::Unreadable) {
                damaged = a;
                continue;
            }
            if (a.heard != UnitLink::Heard::Answer) {
                if (a.heard == UnitLink::Heard::Nothing &&
                    damaged.heard == UnitLink::Heard::Unreadable)
                    a = damaged; // the read ended; what went wrong was the damaged run
                break;
            }
            const Printed printed = bootAnswer(a.payload);
            if (printed.failed) {
                out_.answer(printed);
                s_.failed(ExitFailed);
                return std::nullopt;
            }
            readBack.add(handled(a.payload));
            if (readBack.complete())
                return readBack.bytes();
        }
        if (!s_.tryAgain(
                a, Repeat::Harmless, tries,
                QStringLiteral("to the EEPROM read (%1 bytes missing)").arg(readBack.missing())))
            return std::nullopt;
    }
}

std::optional<QByteArray> BootRun::readConfig() {
    const auto a = s_.ask(zq::boot::command(ReadConfig), Repeat::Harmless,
                          QStringLiteral("to the configuration read"));
    if (!a)
        return std::nullopt;
    const QByteArray config = configFromAnswer(handled(*a));
    if (config.size() != zq::boot::kConfigSize) {
        out_.answer(bootAnswer(*a));
        s_.failed(ExitFailed);
        return std::nullopt;
    }
    return config;
}

void BootRun::verify(const QByteArray &eeprom, const QByteArray &config) {
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
        out_.result(QStringLiteral("verified"),
                    QStringLiteral("Verified: %1 read back as written").arg(parts.join(" and ")));
        return;
    }
    for (const QString &m : qAsConst(mismatches))
        out_.result(QStringLiteral("mismatch"), QStringLiteral("Verify failed: ") + m, true);
    s_.failed(ExitFailed);
}

bool BootRun::openBackup() {
    if (toStdout())
        return true;
    // The file appears only once it is complete.
    saveFile_.setFileName(inv_.outFile(s_.port()));
    if (saveFile_.open(QIODevice::WriteOnly))
        return true;
    out_.complain(
        QStringLiteral("cannot write %1: %2").arg(saveFile_.fileName(), saveFile_.errorString()));
    s_.failed(ExitUsage);
    return false;
}

bool BootRun::saveHex(const QByteArray &hex) {
    if (toStdout() ? Screen::writeData(hex)
                   : saveFile_.write(hex) == hex.size() && saveFile_.commit())
        return true;
    out_.complain(toStdout() ? QStringLiteral("cannot write to standard output")
                             : QStringLiteral("cannot write %1: %2")
                                   .arg(saveFile_.fileName(), saveFile_.errorString()));
    s_.failed(ExitFailed);
    return false;
}

void BootRun::run() {
    if (isBackup(name_) && !openBackup())
        return;
    if (!s_.open())
        return;
    if (name_ == QLatin1String("bootloader leave")) {
        leave();
        return;
    }
    const bool firmware = name_ == QLatin1String("firmware write");
    if (firmware)
        s_.summary().versionBefore = readSoftwareVersion(true);
    if (!enter())
        return;

    const QVector<QByteArray> &payloads = plan_.payloads;
    if (firmware) {
        writeRun(payloads, true);
        if (s_.status() != ExitNoAnswer && inv_.has(QStringLiteral("verify")))
            verify(eepromFromPayloads(payloads), configFromPayloads(payloads));
    } else if (name_ == QLatin1String("eeprom write") || name_ == QLatin1String("config write")) {
        // A restore is always read back: the backup it came from is the only copy.
        writeRun(payloads, false);
        if (s_.status() != ExitNoAnswer) {
            if (name_.startsWith(QLatin1String("eeprom")))
                verify(eepromFromPayloads(payloads), {});
            else
                verify({}, configFromPayloads(payloads));
        }
    } else if (name_ == QLatin1String("eeprom read")) {
        if (const auto eeprom = readEeprom(); eeprom && saveHex(eepromHex(*eeprom)))
            out_.result(
                QStringLiteral("saved"),
                QStringLiteral("EEPROM: %1 bytes saved to %2").arg(eeprom->size()).arg(outName()));
    } else if (name_ == QLatin1String("config read")) {
        if (const auto config = readConfig(); config && saveHex(configHex(*config)))
            out_.result(QStringLiteral("saved"),
                        QStringLiteral("Configuration: %1 bytes saved to %2")
                            .arg(config->size())
                            .arg(outName()));
    }

    const bool stay =
        inv_.has(QStringLiteral("stay")) || name_ == QLatin1String("bootloader start");
    if (s_.status() == ExitNoAnswer)
        return;
    if (s_.status() != ExitOk && name_.endsWith(QLatin1String(" write"))) {
        // Starting a program whose write went wrong could leave the unit
        // unreachable; the bootloader stays up for another try.
        out_.complain(QStringLiteral("staying in the bootloader after the errors above; "
                                     "'zqctl bootloader leave' starts the program"));
        return;
    }
    if (!stay && leave() && firmware)
        s_.summary().versionAfter = readSoftwareVersion(false);
}

} // namespace

int prepareBootloaderCommand(const Invocation &inv, Output &out, BootPlan *plan) {
    const QString name = QString::fromLatin1(inv.command->name);
    if (isBackup(name)) {
        if (inv.values.value(QStringLiteral("out")) == QLatin1String("-")) {
            // Standard output then carries the file alone.
            out.screen().keepStdoutForData();
            return ExitOk;
        }
        // Every unit's file is tried now, so that a wrong path is refused
        // before any unit is touched.
        for (const QString &port : inv.ports) {
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
    if (!name.endsWith(QLatin1String(" write")))
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
    if (name == QLatin1String("firmware write")) {
        plan->payloads = zq::boot::programWriteSequence(program);
    } else if (name == QLatin1String("eeprom write")) {
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

void runBootloaderCommand(const BootPlan &plan, UnitSession &session) {
    BootRun(plan, session).run();
}

} // namespace zqctl
