#include "Printed.h"

#include <QJsonArray>

#include "AnswerDecoder.h"
#include "BootloaderProtocol.h"
#include "ConsoleCommand.h"

namespace zqctl {

namespace {

// The words by which the console and the firmware window tell a failure. The
// unit's own error report reads "Receiving Error -> ..."; flash answers of the
// older editions and the flash status tell a missed flash without "Error".
const char *const kFailureMarkers[] = {
    "Error",  "ERROR",  "error",  "don't match", "unknown",     "Unknown", "incorrect",
    "Failed", "Missed", "missed", "not Ready",   "Low Voltage", "Overrun", "empty buffer",
};

const char *labelName(zq::console::InfoLabel label) {
    using L = zq::console::InfoLabel;
    switch (label) {
    case L::FlashCounter:
        return "flash-counter";
    case L::FlashRequest:
        return "flash-request";
    case L::ChargeVoltage:
        return "charge-voltage";
    case L::Temperature:
        return "temperature";
    case L::SoftwareVersion:
        return "software-version";
    case L::None:
        break;
    }
    return "";
}

QString chopped(QString text, const QString &prefix) {
    if (text.startsWith(prefix))
        text.remove(0, prefix.size());
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

Printed finish(Printed p, const QByteArray &payload) {
    for (const QString &line : qAsConst(p.lines))
        p.failed = p.failed || isFailureText(line);
    p.json.insert(QStringLiteral("code"),
                  payload.isEmpty() ? QJsonValue() : QJsonValue(int(quint8(payload[0]))));
    p.json.insert(QStringLiteral("payload"), hexBytes(payload));
    p.json.insert(QStringLiteral("lines"), QJsonArray::fromStringList(p.lines));
    p.json.insert(QStringLiteral("failed"), p.failed);
    return p;
}

} // namespace

bool isFailureText(const QString &text) {
    for (const char *marker : kFailureMarkers) {
        if (text.contains(QLatin1String(marker)))
            return true;
    }
    return false;
}

QString hexNumber(qint64 value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString hexBytes(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString logHex(const QByteArray &bytes) {
    const QByteArray code =
        QByteArray::fromRawData(zq::console::kAccessCode, zq::console::kAccessCodeLength);
    QStringList out;
    out.reserve(bytes.size());
    for (const char b : bytes)
        out << QString::fromLatin1(QByteArray(1, b).toHex().toUpper());
    for (int at = bytes.indexOf(code); at >= 0; at = bytes.indexOf(code, at + code.size())) {
        for (int k = 0; k < code.size(); ++k)
            out[at + k] = QStringLiteral("**");
    }
    return out.join(QLatin1Char(' '));
}

Printed consoleAnswer(int edition, const QByteArray &payload) {
    const auto decoded = zq::console::decodeAnswer(
        edition, reinterpret_cast<const quint8 *>(payload.constData()), payload.size());
    Printed p;
    if (decoded.label != zq::console::InfoLabel::None) {
        p.lines << decoded.labelText;
        p.json.insert(QStringLiteral("label"), QLatin1String(labelName(decoded.label)));
    }
    for (const QString &message : decoded.messages)
        p.lines << chopped(message, QStringLiteral(" : "));
    return finish(p, payload);
}

Printed bootAnswer(const QByteArray &payload) {
    const auto answer = zq::boot::handleAnswer(
        reinterpret_cast<const quint8 *>(payload.constData()), payload.size());
    Printed p;
    if (answer.setsStatus)
        p.lines << chopped(answer.status, QStringLiteral("Status : "));
    return finish(p, payload);
}

QString versionText(const Printed &printed) {
    if (printed.json.value(QStringLiteral("label")) != QLatin1String("software-version"))
        return QString();
    return printed.lines.value(0).section(QStringLiteral(" : "), 1);
}

QJsonObject noteJson(const QString &kind, const QString &text, bool failed) {
    return QJsonObject{{QStringLiteral("result"), kind},
                       {QStringLiteral("lines"), QJsonArray{text}},
                       {QStringLiteral("failed"), failed}};
}

} // namespace zqctl
