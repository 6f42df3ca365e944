#include "BootRun.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>

#include "BootImage.h"
#include "BootloaderProtocol.h"
#include "ExitCode.h"
#include "HexChecker.h"
#include "HexWriter.h"
#include "PICProgram.h"
#include "UnitLink.h"

#include <optional>

namespace zqctl {

namespace {

constexpr int kShownErrorAnswers = 10; // the rest are counted, not printed
constexpr double kMsPerSecond = 1000.0;

quint8 codeOf(const QByteArray &answer) {
    return answer.isEmpty() ? 0xFF : quint8(answer[0]);
}

class BootSession {
public:
    BootSession(const Invocation &inv, Output &out, FrameLog *log)
        : inv_(inv), out_(out), link_(inv.edition, inv.timeoutMs, log) {}

    int run();

private:
    // Local preparation: everything that can be refused before the port opens.
    bool prepare();
    bool readFile(const QString &path, QByteArray *bytes);
    bool loadImage(const QByteArray &bytes, PICProgram &program);

    bool enter();
    bool leave();
    void writeRun(const QVector<QByteArray> &payloads, bool showProgress);
    std::optional<QByteArray> readEeprom();
    std::optional<QByteArray> readConfig();
    void verify(const QByteArray &eeprom, const QByteArray &config);
    bool saveHex(const QByteArray &hex);
    bool toStdout() const { return inv_.values.value(QStringLiteral("out")) == QLatin1String("-"); }
    QString outName() const {
        return toStdout() ? QStringLiteral("standard output") : saveFile_.fileName();
    }

    // Records the worst outcome: no answer outranks a failure.
    void failed(int code) { status_ = qMax(status_, code); }
    void noAnswer(const QString &what, const QString &consequence = QString()) {
        out_.complain(link_.portFailed() ? QStringLiteral("port error: %1").arg(link_.portError())
                                         : QStringLiteral("no answer %1 within %2 ms%3")
                                               .arg(what)
                                               .arg(inv_.timeoutMs)
                                               .arg(consequence));
        failed(ExitNoAnswer);
    }
    std::optional<QByteArray> answer(const QString &what) {
        auto a = link_.nextAnswer(inv_.timeoutMs);
        if (!a)
            noAnswer(what);
        return a;
    }

    const Invocation &inv_;
    Output &out_;
    UnitLink link_;
    QString name_;
    int status_ = ExitOk;
    QVector<QByteArray> payloads_; // what a write sends
    QSaveFile saveFile_;
};

bool BootSession::readFile(const QString &path, QByteArray *bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out_.complain(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        status_ = ExitUsage;
        return false;
    }
    *bytes = file.readAll();
    return true;
}

// Reads the file as the firmware window does, refusing what would not reach
// the unit as the file says unless --force.
bool BootSession::loadImage(const QByteArray &bytes, PICProgram &program) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    program.clear();
    const bool read = program.readHex(buffer) == 0;
    const HexReport report = checkHex(bytes, program, read);
    const bool configMatters = name_ != QLatin1String("eeprom write");
    const bool eepromMatters = name_ != QLatin1String("config write");
    const bool refuse = report.recordsBroken || (configMatters && report.configUnusable);
    for (const HexProblem &p : report.problems) {
        if ((p.area != HexArea::Config || configMatters) &&
            (p.area != HexArea::Eeprom || eepromMatters) &&
            (p.area != HexArea::Program || name_ == QLatin1String("firmware write")))
            out_.complain(hexProblemText(p));
    }
    if (!report.analyzable) {
        out_.complain(QStringLiteral("the firmware window cannot analyze %1; nothing was sent")
                          .arg(inv_.args.value(0)));
        status_ = ExitFailed;
        return false;
    }
    if (refuse && !inv_.has(QStringLiteral("force"))) {
        out_.complain(QStringLiteral("refusing to write: the unit would not get what %1 says "
                                     "(--force writes it anyway, as the firmware window would)")
                          .arg(inv_.args.value(0)));
        status_ = ExitFailed;
        return false;
    }
    if (eepromMatters && !configMatters && report.eepromBytes == 0) {
        out_.complain(
            QStringLiteral("%1 holds no EEPROM bytes; nothing was sent").arg(inv_.args.value(0)));
        status_ = ExitFailed;
        return false;
    }
    return true;
}

bool BootSession::prepare() {
    if (name_ == QLatin1String("eeprom read") || name_ == QLatin1String("config read")) {
        // "-" is standard output; then it carries the file alone.
        if (toStdout()) {
            out_.keepStdoutForData();
            return true;
        }
        // Opened now so that a wrong path is refused before the unit is touched;
        // the file appears only once it is complete.
        saveFile_.setFileName(inv_.values.value(QStringLiteral("out")));
        if (!saveFile_.open(QIODevice::WriteOnly)) {
            out_.complain(QStringLiteral("cannot write %1: %2")
                              .arg(saveFile_.fileName(), saveFile_.errorString()));
            status_ = ExitUsage;
            return false;
        }
        return true;
    }
    if (!name_.endsWith(QLatin1String(" write")))
        return true;
    QByteArray bytes;
    PICProgram program;
    if (!readFile(inv_.args.value(0), &bytes) || !loadImage(bytes, program))
        return false;
    if (name_ == QLatin1String("firmware write")) {
        payloads_ = zq::boot::programWriteSequence(program);
    } else if (name_ == QLatin1String("eeprom write")) {
        int named = 0;
        payloads_ = zq::boot::eepromWriteSequence(eepromFromImage(program, &named));
        if (named < zq::boot::kEepromSize)
            out_.complain(QStringLiteral("%1 names %2 of the 1024 EEPROM addresses; the others are "
                                         "written as 0")
                              .arg(inv_.args.value(0))
                              .arg(named));
    } else {
        payloads_ = {zq::boot::configWritePayload(program.configBytes())};
    }
    return true;
}

bool BootSession::enter() {
    link_.send(zq::boot::command(StartBootloader));
    // The bootloader's answer to 0x33 carries nothing the window shows; a unit
    // that stays silent is found out by the version read that follows.
    const auto started = link_.nextAnswer(inv_.timeoutMs);
    if (!started)
        link_.abandon(); // the link would wait on; the version read goes now
    if (started && codeOf(*started) != StartBootloader) {
        const Printed printed = bootAnswer(*started);
        out_.answer(printed);
        if (printed.failed) {
            failed(ExitFailed);
            return false;
        }
    }
    link_.send(zq::boot::command(ReadVersion));
    const auto version = answer(QStringLiteral("to the bootloader's version read"));
    if (!version)
        return false;
    const Printed printed = bootAnswer(*version);
    out_.answer(printed);
    if (printed.failed || codeOf(*version) != ReadVersion) {
        out_.complain(QStringLiteral("the bootloader did not start"));
        failed(ExitFailed);
        return false;
    }
    return true;
}

bool BootSession::leave() {
    link_.send(zq::boot::command(StartUserProgram));
    const auto a = answer(QStringLiteral("to leaving the bootloader"));
    if (!a)
        return false;
    const auto handled =
        zq::boot::handleAnswer(reinterpret_cast<const quint8 *>(a->constData()), a->size());
    if (!handled.bootloaderModeOff) {
        out_.answer(bootAnswer(*a));
        failed(ExitFailed);
        return false;
    }
    out_.result(QStringLiteral("left"), QStringLiteral("Bootloader left; the unit's program runs"));
    return true;
}

void BootSession::writeRun(const QVector<QByteArray> &payloads, bool showProgress) {
    QElapsedTimer clock;
    clock.start();
    const qint64 lineBytesBefore = link_.lineBytes();
    link_.feed(payloads);
    int errors = 0;
    int done = 0;
    while (done < payloads.size()) {
        const auto a = link_.nextAnswer(inv_.timeoutMs);
        if (!a) {
            link_.abandon();
            noAnswer(QStringLiteral("to payload %1 of %2").arg(done + 1).arg(payloads.size()),
                     QStringLiteral("; the write is incomplete"));
            return;
        }
        ++done;
        // Judged from the status text alone; the printable form is built only
        // for the answers that are shown, which keeps each exchange short.
        const auto handled =
            zq::boot::handleAnswer(reinterpret_cast<const quint8 *>(a->constData()), a->size());
        if (handled.setsStatus && isFailureText(handled.status) && ++errors <= kShownErrorAnswers) {
            out_.endProgress();
            out_.answer(bootAnswer(*a));
        }
        if (showProgress)
            out_.progress(done, payloads.size(), link_.lineBytes() - lineBytesBefore);
    }
    out_.endProgress();
    const double seconds = clock.elapsed() / kMsPerSecond;
    out_.result(QStringLiteral("written"),
                QStringLiteral("Wrote %1 payloads (%2 bytes on the line) in %3 s: %4 error answers")
                    .arg(payloads.size())
                    .arg(link_.lineBytes() - lineBytesBefore)
                    .arg(seconds, 0, 'f', 2)
                    .arg(errors),
                errors > 0);
    if (errors > 0)
        failed(ExitFailed);
}

std::optional<QByteArray> BootSession::readEeprom() {
    link_.send(zq::boot::command(ReadEeprom));
    EepromReadBack readBack;
    while (!readBack.complete()) {
        const auto a =
            answer(QStringLiteral("to the EEPROM read (%1 bytes missing)").arg(readBack.missing()));
        if (!a)
            return std::nullopt;
        const auto handled =
            zq::boot::handleAnswer(reinterpret_cast<const quint8 *>(a->constData()), a->size());
        const Printed printed = bootAnswer(*a);
        if (printed.failed) {
            out_.answer(printed);
            failed(ExitFailed);
            return std::nullopt;
        }
        readBack.add(handled);
    }
    return readBack.bytes();
}

std::optional<QByteArray> BootSession::readConfig() {
    link_.send(zq::boot::command(ReadConfig));
    const auto a = answer(QStringLiteral("to the configuration read"));
    if (!a)
        return std::nullopt;
    const QByteArray config = configFromAnswer(
        zq::boot::handleAnswer(reinterpret_cast<const quint8 *>(a->constData()), a->size()));
    if (config.size() != zq::boot::kConfigSize) {
        out_.answer(bootAnswer(*a));
        failed(ExitFailed);
        return std::nullopt;
    }
    return config;
}

void BootSession::verify(const QByteArray &eeprom, const QByteArray &config) {
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
    failed(ExitFailed);
}

bool BootSession::saveHex(const QByteArray &hex) {
    if (toStdout()) {
        if (Output::writeData(hex))
            return true;
        out_.complain(QStringLiteral("cannot write to standard output"));
        failed(ExitFailed);
        return false;
    }
    if (saveFile_.write(hex) == hex.size() && saveFile_.commit())
        return true;
    out_.complain(
        QStringLiteral("cannot write %1: %2").arg(saveFile_.fileName(), saveFile_.errorString()));
    failed(ExitFailed);
    return false;
}

int BootSession::run() {
    name_ = QString::fromLatin1(inv_.command->name);
    if (!prepare())
        return status_;
    QString error;
    if (!link_.open(inv_.port, inv_.baud, &error)) {
        out_.complain(error);
        return ExitNoAnswer;
    }
    if (name_ == QLatin1String("bootloader leave")) {
        leave();
        return status_;
    }
    if (!enter())
        return status_;

    if (name_ == QLatin1String("firmware write")) {
        writeRun(payloads_, true);
        if (status_ != ExitNoAnswer && inv_.has(QStringLiteral("verify")))
            verify(eepromFromPayloads(payloads_), configFromPayloads(payloads_));
    } else if (name_ == QLatin1String("eeprom write") || name_ == QLatin1String("config write")) {
        // A restore is always read back: the backup it came from is the only copy.
        writeRun(payloads_, false);
        if (status_ != ExitNoAnswer) {
            if (name_.startsWith(QLatin1String("eeprom")))
                verify(eepromFromPayloads(payloads_), {});
            else
                verify({}, configFromPayloads(payloads_));
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
    if (status_ == ExitNoAnswer)
        return status_;
    if (status_ != ExitOk && name_.endsWith(QLatin1String(" write"))) {
        // Starting a program whose write went wrong could leave the unit
        // unreachable; the bootloader stays up for another try.
        out_.complain(QStringLiteral("staying in the bootloader after the errors above; "
                                     "'zqctl bootloader leave' starts the program"));
        return status_;
    }
    if (!stay)
        leave();
    return status_;
}

} // namespace

int runBootloaderCommand(const Invocation &inv, Output &out, FrameLog *log) {
    BootSession session(inv, out, log);
    return session.run();
}

} // namespace zqctl
