#pragma once
// Payloads and frames written out in tests: as hex digits the way traces
// show them (spaces allowed), or as a list of byte values.

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
