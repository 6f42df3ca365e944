#pragma once
// Turns one answer of the unit's application firmware into what the console
// shows: message bodies for the message area, or the new text of one
// information label. Pure: the window adds the time stamp, the log line and
// the cursor and scroll handling. An answer is judged by its code, its length
// and its status byte alone; nothing is remembered between answers.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QDateTime;

namespace zq::console {

enum class InfoLabel {
    None,
    FlashCounter,
    FlashRequest,
    ChargeVoltage,
    Temperature,
    SoftwareVersion
};

struct DecodedAnswer {
    // Message bodies without the time-stamp prefix, each ending with "\n".
    QStringList messages;
    InfoLabel label = InfoLabel::None;
    QString labelText; // the label's whole new text
    // The calibration answers of 1 or 2 bytes leave the view where it was.
    bool scrollToBottom = true;
};

// Reads data[0] .. data[length - 1] and nothing beyond. A length of 0 (or a
// null buffer) is the empty payload.
DecodedAnswer decodeAnswer(int edition, const quint8 *data, int length);

// counts x 0.301 V, printed in general format with 6 significant digits.
QString formatVoltage(int counts);

// The ReceivedMessages.txt line of a payload, without its line end.
QString receivedLogLine(const QString &prefix, const quint8 *data, int length);
// The ReceivedMessages.txt line, without its line end, that marks where
// `payloads` payloads from `since` on could not be written, and why. It
// holds no "|", so that it cannot be read as a payload.
QString receivedLogGapLine(const QString &prefix, int payloads, const QDateTime &since,
                           const QString &reason);

// "=> " and the local date and time in text-date form, taken once per payload.
QString timeStampPrefix(const QDateTime &now);

} // namespace zq::console
