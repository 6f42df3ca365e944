#pragma once
// One unit's run: its link, its voice, and how it went. The session owns the
// link, and a job talks to its unit only through it: the exchange (a payload
// and the answer that repeats its code), the multi-frame read (a payload that
// several frames answer) and the barrier. It keeps the rules of the line:
//
// - One payload is on the line at a time.
// - After a lost or unreadable answer nothing is sent until the line is back
//   in step: it is let fall quiet for as long as the lost answer was awaited,
//   what came meanwhile is dropped, and a barrier goes out, a harmless request
//   whose code differs from everything that may still be on its way, so that
//   its answer can only be its own. The unit answers in order: once the
//   barrier's answer has come, nothing sent before it can still answer.
// - The payload is then sent again, up to --retries times, only where sending
//   it twice cannot do harm.
// - An answer that comes after its wait ran out is still its payload's own:
//   when it reports an error, the payload failed.
// - Frames that answer nothing that was asked (the unit's error reports) are
//   shown and counted, and never taken for an answer; when they are all that
//   came instead of an answer, the loss says so.

#include <QBitArray>
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include "CommandLine.h"
#include "ExitCode.h"
#include "Output.h"
#include "Printed.h"
#include "Summary.h"
#include "UnitLink.h"

#include <functional>
#include <optional>

namespace zqctl {

class UnitSession {
public:
    enum class Repeat { Never, Harmless };
    // Which of the windows' texts the unit's frames are shown in.
    enum class Texts { Console, Bootloader };

    // One exchange as the job sees it.
    struct Exchange {
        // What the answer is awaited for, as the messages say it: "to payload
        // 5 of 1018 (block 0x0400)", "from the unit".
        QString what;
        Repeat repeat = Repeat::Never;
        QString consequence; // said after a loss that ends the exchange
        int waitMs = 0;      // 0: --timeout
        bool probe = false;  // a loss is neither said nor a failure
        // False: the unit does not answer it; what comes within waitMs is shown.
        bool answered = true;
    };
    // What a multi-frame read makes of each of its frames.
    enum class Take { More, Done, Refused };

    // `port` is the unit's --port; `log` may be null.
    UnitSession(const Invocation &inv, const QString &port, Output &out, FrameLog *log,
                Texts texts);

    // Opens the port; on failure says why and the outcome is "no answer".
    bool open();

    // Sends `payload` once the line is in step and returns its answer; without
    // one, the loss has been told (unless a probe) and nothing more is on the line.
    std::optional<QByteArray> exchange(const QByteArray &payload, const Exchange &how);
    // Sends `payload` and hands every frame with its code to `take` until it
    // says Done (true) or Refused (false). A lost or damaged frame asks again
    // for the whole read, where `how` allows.
    bool readRuns(const QByteArray &payload, const Exchange &how,
                  const std::function<Take(const QByteArray &)> &take);
    // Brings the line back in step: quiet, dropped, and a barrier answered.
    bool barrier();

    // Records the worst outcome: no answer outranks a failure.
    void failed(int code) { summary_.exitCode = qMax(summary_.exitCode, code); }
    int status() const { return summary_.exitCode; }
    // A signal asked to stop, and nothing more was sent.
    bool stopped() const { return stopped_; }
    // The port failed or never opened (said): nothing more can be sent.
    bool portLost() const { return portLost_; }
    qint64 lineBytes() const { return link_.lineBytes(); }
    // Payloads that went out (barriers aside), tries included.
    int payloadsSent() const { return payloadsSent_; }
    int reports() const { return reports_; }

    const Invocation &inv() const { return inv_; }
    const QString &port() const { return port_; }
    Output &out() { return out_; }
    // Counters and versions so far; the caller adds the time.
    UnitSummary &summary();

private:
    struct Wait {
        enum End { Answer, Damaged, Nothing, PortFailed } end = Nothing;
        QByteArray payload;
        QString why;
    };
    // What came instead of the answers of one exchange.
    struct Instead {
        int count = 0;
        Printed last;
        qint64 slowestLateMs = 0; // the latest of its late answers
    };

    bool sendPayload(const QByteArray &payload);
    Wait await(int code, int waitMs, bool forExchange);
    // A loss; true when the payload is to be sent again.
    bool lost(const Wait &wait, int code, const Exchange &how, int waitMs);
    void beginExchange();
    bool settle();
    void heard(const QByteArray &payload, bool forExchange);
    Printed printed(const QByteArray &payload) const;
    QString lossText(const Wait &wait, const QString &what, int waitMs) const;
    QString insteadText() const;
    QString lateText() const;
    void portFailed();

    const Invocation &inv_;
    const QString port_;
    Output &out_;
    UnitLink link_;
    const Texts texts_;
    UnitSummary summary_;
    int reports_ = 0;
    int payloadsSent_ = 0;
    bool stopped_ = false;
    bool portLost_ = false;

    // The line's state: in step, or not since a loss.
    bool inStep_ = true;
    int staleCode_ = -1;         // the lost payload's code, whose answer may still come
    QString staleWhat_;          // and what it was awaited for
    bool staleSilent_ = false;   // its late answers are not worth a word (a probe, a read's runs)
    int staleWaitMs_ = 0;        // how long it was awaited
    int lostWaitMs_ = 0;         // the last lost wait: the line's quiet time
    QList<int> staleBarriers_;   // barriers whose answers were lost since
    QElapsedTimer sentClock_;    // since the last payload went out
    QElapsedTimer barrierClock_; // since the last barrier went out
    std::optional<QByteArray>
        lateFailure_;     // a late answer of the lost payload that reports an error
    QBitArray sentCodes_; // codes of the payloads sent (barriers aside)
    Instead instead_;
    int retriesUsed_ = 0; // of the exchange under way, barriers' included
    int triesLost_ = 0;   // tries of its payload that got no answer
};

} // namespace zqctl
