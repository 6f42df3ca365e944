#pragma once
// Payloads and frames written out in tests: as hex digits the way traces
// show them (spaces allowed), as a list of byte values, or as the console's
// log of received messages writes them.

#include <QByteArray>

#include <initializer_list>

inline QByteArray hex(const char *digits) {
    return QByteArray::fromHex(digits);
}

inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// The payload of a line of ReceivedMessages.txt, "=> <date>: b0|b1|...|" in
// decimal; empty for a line without one.
inline QByteArray loggedPayload(const QByteArray &line) {
    const int start = line.lastIndexOf(": ");
    QByteArray payload;
    if (start < 0)
        return payload;
    for (const QByteArray &b : line.mid(start + 2).split('|'))
        if (!b.isEmpty())
            payload.append(char(b.toInt()));
    return payload;
}
