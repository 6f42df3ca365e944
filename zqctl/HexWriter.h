#pragma once
// Intel HEX files of the unit's EEPROM and configuration bytes, at the PIC18
// addresses the firmware window reads them from (EEPROM at 0xF00000,
// configuration at 0x300000), so a backup opens in the window as well.

#include <QByteArray>
#include <QtGlobal>

#include "Pic18Memory.h"

namespace zqctl {

constexpr int kHexRecordBytes = 16;

// An extended linear address record for `upper`, data records of at most
// kHexRecordBytes bytes from address 0, and the end-of-file record.
QByteArray intelHex(quint16 upper, const QByteArray &bytes);

inline QByteArray eepromHex(const QByteArray &eeprom) {
    return intelHex(zq::pic18::kEepromSpace, eeprom);
}
inline QByteArray configHex(const QByteArray &config) {
    return intelHex(zq::pic18::kConfigSpace, config);
}

} // namespace zqctl
