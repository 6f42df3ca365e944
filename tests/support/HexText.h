#pragma once
// The stores of a PICProgram as text, for comparing with expected contents.

#include <QStringList>

#include "PICProgram.h"

// "ADDR:WORD ..." in file order, upper-case hex.
inline QString programText(const PICProgram &p) {
    QStringList parts;
    for (const ProgramWord &w : p.programWords())
        parts << QStringLiteral("%1:%2")
                     .arg(quint32(w.address), 4, 16, QChar('0'))
                     .arg(w.word, 4, 16, QChar('0'));
    return parts.join(' ').toUpper();
}

inline QString eepromText(const PICProgram &p) {
    QStringList parts;
    for (const EepromByte &e : p.eepromBytes())
        parts << QStringLiteral("%1:%2")
                     .arg(e.address, 4, 16, QChar('0'))
                     .arg(e.value, 2, 16, QChar('0'));
    return parts.join(' ').toUpper();
}
