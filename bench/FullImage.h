#pragma once
// The image both firmware benchmarks write: program words at every even
// address 0..0xFFFF, 1024 EEPROM bytes and 14 configuration bytes, as a HEX
// file of 16-byte records (183 124 bytes).

#include <QByteArray>

#include "BootloaderProtocol.h"
#include "HexRecord.h"

namespace bench {

constexpr int kRecordBytes = 16;

inline QByteArray fullImage() {
    QByteArray hex;
    QByteArray data(kRecordBytes, 0);
    for (int address = 0; address < 0x10000; address += kRecordBytes) {
        for (int k = 0; k < kRecordBytes; ++k)
            data[k] = char((address + k) * 7);
        hex += zq::hex::record(0x00, address, data);
    }
    hex += zq::hex::record(0x04, 0, QByteArray::fromHex("00F0"));
    for (int address = 0; address < zq::boot::kEepromSize; address += kRecordBytes) {
        for (int k = 0; k < kRecordBytes; ++k)
            data[k] = char(address + k);
        hex += zq::hex::record(0x00, address, data);
    }
    hex += zq::hex::record(0x04, 0, QByteArray::fromHex("0030"));
    hex += zq::hex::record(0x00, 0, QByteArray::fromHex("112233445566778899AABBCCDDEE"));
    hex += zq::hex::record(0x01, 0, QByteArray());
    return hex;
}

} // namespace bench
