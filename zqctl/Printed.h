#pragma once
// What zqctl prints for an answer of the unit: the console's (or the firmware
// window's) own text, without the time stamp and without the leading " : "
// (console) or "Status : " (firmware window), one line per message; or the same
// as one JSON object. Also whether the text reports a failure.

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

namespace zqctl {

struct Printed {
    QStringList lines;
    QJsonObject json; // {"code", "payload", "lines", "failed"} and "label" for a label answer
    bool failed = false;
};

// Decoded exactly as the console of `edition` decodes it.
Printed consoleAnswer(int edition, const QByteArray &payload);
// Judged exactly as the firmware window judges it; an answer that only fills a
// table or switches the mode off prints nothing and has no failure.
Printed bootAnswer(const QByteArray &payload);

// The version that a software-version answer tells ("5-0/21-5"), or empty.
QString versionText(const Printed &printed);

// True when a console or firmware-window text reports an error or a failed
// flash or check: "Error", "ERROR", "don't match", "unknown", an error report...
bool isFailureText(const QString &text);

// "0x0300": `value` in upper-case hex digits, at least `digits` of them, as
// addresses and byte values are shown in zqctl's messages.
QString hexNumber(qint64 value, int digits);

// "0D 01 02": how payloads and frames are shown in logs and JSON.
QString hexBytes(const QByteArray &bytes);

// hexBytes with each byte of the access code shown as "**", wherever the code
// appears: how frames are written into the --log file.
QString logHex(const QByteArray &bytes);

// A line of zqctl's own (a summary, a verification result) as a JSON object.
QJsonObject noteJson(const QString &kind, const QString &text, bool failed);

} // namespace zqctl
