#pragma once
// One unit's run: its link, its voice, and how it went. The exchange of a
// payload for its paired answer lives here, with the one rule about asking
// again: a lost or unreadable answer is asked for again, up to --retries
// times, only where sending the command twice cannot do harm.

#include <QByteArray>
#include <QString>

#include "CommandLine.h"
#include "ExitCode.h"
#include "Output.h"
#include "Summary.h"
#include "UnitLink.h"

#include <optional>

namespace zqctl {

class UnitSession {
public:
    enum class Repeat { Never, Harmless };
    // Which of the windows' texts the unit's reports are shown in.
    enum class Texts { Console, Bootloader };

    // `port` is the unit's --port; `log` may be null.
    UnitSession(const Invocation &inv, const QString &port, Output &out, FrameLog *log,
                Texts texts);

    // Opens the port; on failure says why and the outcome is "no answer".
    bool open();

    // Sends `payload` and returns the answer that repeats its code, asking
    // again where `repeat` allows. Without one, the loss has been told (what
    // the answer was awaited for: "to payload 5 of 1018", "from the unit", and
    // `consequence` after it) and the outcome is "no answer".
    std::optional<QByteArray> ask(const QByteArray &payload, Repeat repeat, const QString &what,
                                  const QString &consequence = QString());

    // After a wait that ended without the answer, at try `tries`: true when one
    // more try is allowed (it is said and counted); otherwise the loss is told.
    bool tryAgain(const UnitLink::Arrival &lost, Repeat repeat, int tries, const QString &what,
                  const QString &consequence = QString());

    // The port failed: says so, and the outcome is "no answer".
    void portFailed();

    // Records the worst outcome: no answer outranks a failure.
    void failed(int code) { summary_.exitCode = qMax(summary_.exitCode, code); }
    int status() const { return summary_.exitCode; }

    const Invocation &inv() const { return inv_; }
    const QString &port() const { return port_; }
    Output &out() { return out_; }
    UnitLink &link() { return link_; }
    // Counters and versions so far; the caller adds the time.
    UnitSummary &summary();

private:
    const Invocation &inv_;
    const QString port_;
    Output &out_;
    UnitLink link_;
    const Texts texts_;
    UnitSummary summary_;
};

} // namespace zqctl
