#include "Session.h"

namespace zqctl {

UnitSession::UnitSession(const Invocation &inv, const QString &port, Output &out, FrameLog *log,
                         Texts texts)
    : inv_(inv), port_(port), out_(out),
      link_(log, inv.ports.size() > 1 ? port + QLatin1Char(' ') : QString()), texts_(texts) {
    summary_.port = port;
    link_.onReport = [this](const QByteArray &payload) {
        out_.report(texts_ == Texts::Console ? consoleAnswer(inv_.edition, payload)
                                             : bootAnswer(payload));
    };
}

bool UnitSession::open() {
    QString error;
    if (link_.open(port_, inv_.baud, &error))
        return true;
    out_.complain(error);
    failed(ExitNoAnswer);
    return false;
}

UnitSummary &UnitSession::summary() {
    summary_.reports = link_.reports();
    return summary_;
}

void UnitSession::portFailed() {
    out_.complain(QStringLiteral("port error: %1").arg(link_.portError()));
    failed(ExitNoAnswer);
}

bool UnitSession::tryAgain(const UnitLink::Arrival &lost, Repeat repeat, int tries,
                           const QString &what, const QString &consequence) {
    if (lost.heard == UnitLink::Heard::PortFailed) {
        portFailed();
        return false;
    }
    const QString loss =
        lost.heard == UnitLink::Heard::Unreadable
            ? QStringLiteral("the answer %1 came with %2").arg(what, lost.why)
            : QStringLiteral("no answer %1 within %2 ms").arg(what).arg(inv_.timeoutMs);
    if (repeat == Repeat::Harmless && tries <= inv_.retries) {
        ++summary_.retries;
        out_.complain(QStringLiteral("%1; sending it again (retry %2 of %3)")
                          .arg(loss)
                          .arg(tries)
                          .arg(inv_.retries));
        return true;
    }
    out_.complain(loss + (tries > 1 ? QStringLiteral(" (sent %1 times)").arg(tries) : QString()) +
                  consequence);
    failed(ExitNoAnswer);
    return false;
}

std::optional<QByteArray> UnitSession::ask(const QByteArray &payload, Repeat repeat,
                                           const QString &what, const QString &consequence) {
    const int code = payload.isEmpty() ? -1 : quint8(payload[0]);
    for (int tries = 1;; ++tries) {
        UnitLink::Arrival arrival;
        if (link_.send(payload))
            arrival = link_.await(code, inv_.timeoutMs);
        else
            arrival.heard = UnitLink::Heard::PortFailed;
        if (arrival.heard == UnitLink::Heard::Answer)
            return arrival.payload;
        if (!tryAgain(arrival, repeat, tries, what, consequence))
            return std::nullopt;
    }
}

} // namespace zqctl
