#include "UnitSession.h"

#include "BootloaderCommand.h"
#include "ConsoleCommand.h"
#include "Stop.h"

namespace zqctl {

namespace {

// The unit's own error report has the same code in both firmwares.
constexpr int kErrorReportCode = 0x3E;
static_assert(kErrorReportCode == int(zq::console::ErrorReport) &&
                  kErrorReportCode == int(zq::boot::ErrorReport),
              "one code for the error report");
// A line that never falls quiet (a chatty unit) is waited for this many
// quiet times at most; the barrier still decides.
constexpr int kSettleLimit = 4;
// Time to let a frame that has begun come to its end.
constexpr int kFrameEndWaitMs = 20;

// Harmless requests whose answers repeat their codes, in whichever firmware
// may run when a barrier is needed. The first whose code nothing on the way
// may carry is sent.
struct BarrierRequest {
    quint8 code;
    const char *name;
};
// Reads of the application; 0x00 is the bootloader's version read as well.
const BarrierRequest kConsoleBarriers[] = {
    {zq::console::ReadSoftwareVersion, "software version read"},
    {zq::console::ReadFlashCounter, "flash counter read"},
    {zq::console::ReadChargeVoltage, "charge voltage read"},
};
// The version read is the application's flash counter read, should the unit
// not be in its bootloader (yet, or any more). A bootloader start, answered
// by both, goes only when an answer with the version read's code may still
// be on its way.
const BarrierRequest kBootloaderBarriers[] = {
    {zq::boot::ReadVersion, "version read"},
    {zq::boot::StartBootloader, "bootloader start"},
};

// The first barrier whose code nothing on its way may carry; failing that,
// the first that is not the lost payload's.
BarrierRequest chooseBarrier(bool console, int staleCode, const QList<int> &staleBarriers) {
    const BarrierRequest *begin =
        console ? std::begin(kConsoleBarriers) : std::begin(kBootloaderBarriers);
    const BarrierRequest *end =
        console ? std::end(kConsoleBarriers) : std::end(kBootloaderBarriers);
    for (const BarrierRequest *b = begin; b != end; ++b) {
        if (b->code != staleCode && !staleBarriers.contains(b->code))
            return *b;
    }
    for (const BarrierRequest *b = begin; b != end; ++b) {
        if (b->code != staleCode)
            return *b;
    }
    return *begin;
}

int codeOf(const QByteArray &payload) {
    return payload.isEmpty() ? -1 : quint8(payload[0]);
}

} // namespace

UnitSession::UnitSession(const Invocation &inv, const QString &port, Output &out, FrameLog *log,
                         Texts texts)
    : inv_(inv), port_(port), out_(out),
      link_(log, inv.ports.size() > 1 ? port + QLatin1Char(' ') : QString()), texts_(texts),
      sentCodes_(256) {
    summary_.port = port;
}

bool UnitSession::open() {
    QString error;
    if (link_.open(port_, inv_.baud, &error))
        return true;
    out_.complain(error);
    portLost_ = true;
    failed(ExitNoAnswer);
    return false;
}

UnitSummary &UnitSession::summary() {
    summary_.reports = reports_;
    return summary_;
}

void UnitSession::portFailed() {
    out_.complain(QStringLiteral("port error: %1").arg(link_.portError()));
    portLost_ = true;
    failed(ExitNoAnswer);
}

Printed UnitSession::printed(const QByteArray &payload) const {
    return texts_ == Texts::Console ? consoleAnswer(inv_.edition, payload) : bootAnswer(payload);
}

void UnitSession::heard(const QByteArray &payload, bool forExchange) {
    const int code = codeOf(payload);
    if (code >= 0 && code == staleCode_) {
        // The lost payload's own answer, late: one payload was on the line.
        const qint64 ms = sentClock_.elapsed();
        if (!staleSilent_ && instead_.slowestLateMs == 0)
            out_.complain(QStringLiteral("the answer %1 came late, %2 ms after it was sent")
                              .arg(staleWhat_)
                              .arg(ms));
        if (ms > staleWaitMs_)
            instead_.slowestLateMs = qMax(instead_.slowestLateMs, ms);
        if (!staleSilent_ && printed(payload).failed)
            lateFailure_ = payload;
        return;
    }
    if (code >= 0 && staleBarriers_.contains(code)) {
        // A barrier's late answer: nothing in it but how slow the unit is.
        if (barrierClock_.elapsed() > inv_.timeoutMs)
            instead_.slowestLateMs = qMax(instead_.slowestLateMs, barrierClock_.elapsed());
        return;
    }
    const Printed p = printed(payload);
    ++reports_;
    out_.report(p);
    if (code >= 0 && sentCodes_.testBit(code) && p.failed) {
        // An error answer to something of this run that was not awaited any
        // more: which payload failed cannot be known.
        out_.complain(QStringLiteral("an error answer (%1) came while nothing with its code was "
                                     "on the line; what this run wrote cannot be trusted")
                          .arg(hexBytes(payload)));
        failed(ExitFailed);
    }
    if (forExchange) {
        ++instead_.count;
        instead_.last = p;
    }
}

UnitSession::Wait UnitSession::await(int code, int waitMs, bool forExchange) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const UnitLink::Incoming in = link_.next(int(qMax<qint64>(0, waitMs - clock.elapsed())));
        switch (in.kind) {
        case UnitLink::Incoming::Frame:
            if (codeOf(in.payload) == code)
                return {Wait::Answer, in.payload, QString()};
            heard(in.payload, forExchange);
            break;
        case UnitLink::Incoming::Damaged:
            if (codeOf(in.payload) == code)
                return {Wait::Damaged, in.payload, in.damage};
            break; // noise that looked like a frame, or a report: the log has it
        case UnitLink::Incoming::Nothing:
            return {};
        case UnitLink::Incoming::PortFailed:
            return {Wait::PortFailed, {}, QString()};
        }
    }
}

bool UnitSession::settle() {
    QElapsedTimer quiet, total;
    quiet.start();
    total.start();
    const qint64 limitMs = qint64(kSettleLimit) * lostWaitMs_;
    for (;;) {
        const qint64 left = lostWaitMs_ - quiet.elapsed();
        if (total.elapsed() >= limitMs || (left <= 0 && !link_.midFrame()))
            return true;
        const UnitLink::Incoming in = link_.next(int(qMax<qint64>(left, kFrameEndWaitMs)));
        switch (in.kind) {
        case UnitLink::Incoming::Frame:
            heard(in.payload, false);
            // The unit's reports come when they will; anything else is the
            // line still busy with what was sent.
            if (codeOf(in.payload) != kErrorReportCode)
                quiet.restart();
            break;
        case UnitLink::Incoming::Damaged:
            quiet.restart();
            break;
        case UnitLink::Incoming::Nothing:
            break;
        case UnitLink::Incoming::PortFailed:
            portFailed();
            return false;
        }
    }
}

bool UnitSession::barrier() {
    if (portLost_)
        return false;
    if (lostWaitMs_ <= 0)
        lostWaitMs_ = inv_.timeoutMs;
    for (int sent = 1;; ++sent) {
        if (!settle())
            return false;
        link_.dropInput();
        if (stopRequested()) {
            stopped_ = true;
            return false;
        }
        const BarrierRequest chosen =
            chooseBarrier(texts_ == Texts::Console, staleCode_, staleBarriers_);
        if (!link_.send(QByteArray(1, char(chosen.code)))) {
            portFailed();
            return false;
        }
        barrierClock_.start();
        const Wait wait = await(chosen.code, inv_.timeoutMs, false);
        if (wait.end == Wait::Answer) {
            inStep_ = true;
            staleCode_ = -1;
            staleBarriers_.clear();
            return true;
        }
        if (wait.end == Wait::PortFailed) {
            portFailed();
            return false;
        }
        staleBarriers_ << chosen.code;
        const QString barrierWhat =
            QStringLiteral("the %1 (%2) sent to bring the line back in step")
                .arg(QLatin1String(chosen.name), hexBytes(QByteArray(1, char(chosen.code))));
        lostWaitMs_ = inv_.timeoutMs;
        // The retries of the exchange under way: a barrier that is lost is one of them.
        if (retriesUsed_ < inv_.retries && !stopRequested()) {
            ++retriesUsed_;
            ++summary_.retries;
            out_.complain(lossText(wait, QStringLiteral("to ") + barrierWhat, inv_.timeoutMs) +
                          QStringLiteral("; trying again (retry %1 of %2)")
                              .arg(retriesUsed_)
                              .arg(inv_.retries));
            continue;
        }
        // Given up: said with what was lost before it.
        QString text = staleCode_ >= 0 && wait.end == Wait::Nothing
                           ? QStringLiteral("no answer %1 within %2 ms, nor to %3 within %4 ms")
                                 .arg(staleWhat_)
                                 .arg(staleWaitMs_)
                                 .arg(barrierWhat)
                                 .arg(inv_.timeoutMs)
                           : lossText(wait, QStringLiteral("to ") + barrierWhat, inv_.timeoutMs);
        if (sent > 1)
            text += QStringLiteral(" (sent %1 times)").arg(sent);
        out_.complain(text + lateText());
        failed(ExitNoAnswer);
        stopped_ = stopRequested();
        return false;
    }
}

bool UnitSession::sendPayload(const QByteArray &payload) {
    if (portLost_)
        return false;
    if (stopRequested()) {
        stopped_ = true;
        return false;
    }
    if (!link_.send(payload)) {
        portFailed();
        return false;
    }
    sentClock_.start();
    ++payloadsSent_;
    if (!payload.isEmpty())
        sentCodes_.setBit(quint8(payload[0]));
    return true;
}

QString UnitSession::lossText(const Wait &wait, const QString &what, int waitMs) const {
    return wait.end == Wait::Damaged
               ? QStringLiteral("the answer %1 came with %2").arg(what, wait.why)
               : QStringLiteral("no answer %1 within %2 ms").arg(what).arg(waitMs);
}

QString UnitSession::insteadText() const {
    QString text;
    if (instead_.count > 0) {
        const QString shown = instead_.last.lines.join(QStringLiteral("; "));
        text += QStringLiteral("; instead came %1 (%2)")
                    .arg(shown.isEmpty() ? QStringLiteral("a frame") : shown,
                         instead_.last.json.value(QStringLiteral("payload")).toString());
        if (instead_.count > 1)
            text += QStringLiteral(", %1 frames of the unit in all").arg(instead_.count);
        if (texts_ == Texts::Console)
            text += QStringLiteral(": check that the unit runs the firmware of --edition %1")
                        .arg(inv_.edition);
    }
    return text + lateText();
}

QString UnitSession::lateText() const {
    if (instead_.slowestLateMs <= 0)
        return QString();
    return QStringLiteral("; an answer came %1 ms after it was sent: a --timeout above that lets "
                          "the unit answer in time")
        .arg(instead_.slowestLateMs);
}

bool UnitSession::lost(const Wait &wait, int code, const Exchange &how, int waitMs) {
    if (wait.end == Wait::PortFailed) {
        portFailed();
        return false;
    }
    // Nothing more goes out until the line is back in step.
    inStep_ = false;
    staleCode_ = code;
    staleWhat_ = how.what;
    staleSilent_ = how.probe;
    staleWaitMs_ = waitMs;
    lostWaitMs_ = waitMs;
    staleBarriers_.clear();
    lateFailure_.reset();
    if (how.probe)
        return false;
    const QString loss = lossText(wait, how.what, waitMs);
    ++triesLost_;
    if (how.repeat == Repeat::Harmless && retriesUsed_ < inv_.retries && !stopRequested()) {
        ++retriesUsed_;
        ++summary_.retries;
        out_.complain(loss + QStringLiteral("; sending it again once the line is back in step "
                                            "(retry %1 of %2)")
                                 .arg(retriesUsed_)
                                 .arg(inv_.retries));
        return true;
    }
    out_.complain(
        loss + (triesLost_ > 1 ? QStringLiteral(" (sent %1 times)").arg(triesLost_) : QString()) +
        insteadText() + how.consequence);
    failed(ExitNoAnswer);
    stopped_ = stopRequested();
    return false;
}

void UnitSession::beginExchange() {
    instead_ = Instead();
    retriesUsed_ = 0;
    triesLost_ = 0;
}

std::optional<QByteArray> UnitSession::exchange(const QByteArray &payload, const Exchange &how) {
    const int code = codeOf(payload);
    const int waitMs = how.waitMs > 0 ? how.waitMs : inv_.timeoutMs;
    beginExchange();
    for (int tries = 1;; ++tries) {
        if (!inStep_ && !barrier())
            return std::nullopt;
        if (lateFailure_) {
            // The lost answer came after all, and it reports an error.
            const QByteArray late = *lateFailure_;
            lateFailure_.reset();
            if (tries > 1)
                return late; // this payload's own answer: it failed
            out_.complain(QStringLiteral("the answer %1 came late and reports an error: %2")
                              .arg(staleWhat_, printed(late).lines.join(QStringLiteral("; "))));
            failed(ExitFailed);
        }
        if (!sendPayload(payload))
            return std::nullopt;
        if (!how.answered) {
            if (await(-1, waitMs, true).end == Wait::PortFailed) {
                portFailed();
                return std::nullopt;
            }
            return QByteArray();
        }
        const Wait wait = await(code, waitMs, true);
        if (wait.end == Wait::Answer)
            return wait.payload;
        if (!lost(wait, code, how, waitMs))
            return std::nullopt;
    }
}

bool UnitSession::readRuns(const QByteArray &payload, const Exchange &how,
                           const std::function<Take(const QByteArray &)> &take) {
    const int code = codeOf(payload);
    const int waitMs = how.waitMs > 0 ? how.waitMs : inv_.timeoutMs;
    beginExchange();
    for (;;) {
        if (!inStep_ && !barrier())
            return false;
        lateFailure_.reset(); // a late run of a read tells nothing a new read does not
        if (!sendPayload(payload))
            return false;
        Wait wait;
        for (;;) {
            wait = await(code, waitMs, true);
            if (wait.end != Wait::Answer)
                break;
            switch (take(wait.payload)) {
            case Take::Done:
                return true;
            case Take::Refused:
                // Runs of this read may still be on their way.
                inStep_ = false;
                staleCode_ = code;
                staleSilent_ = true;
                staleWaitMs_ = lostWaitMs_ = waitMs;
                return false;
            case Take::More:
                break;
            }
        }
        const bool again = lost(wait, code, how, waitMs);
        // The rest of the read comes while the line falls quiet: not late.
        staleSilent_ = true;
        if (!again)
            return false;
    }
}

} // namespace zqctl
