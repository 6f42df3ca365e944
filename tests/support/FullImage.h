#pragma once
// A full firmware image, for the tests and benchmarks that write one: a byte
// at every program address a write covers (0x0300 to 0xFFFF), the first 600
// EEPROM bytes and the 14 configuration bytes, each byte a function of its
// address, so that a block lost or put in the wrong place shows in the unit's
// memories. Together with the HEX file, what the unit holds after the write.

#include <QByteArray>

#include "HexRecord.h"

struct FullImage {
    static constexpr int kFirstWritten = 0x0300; // the bootloader's own words lie below
    static constexpr int kEepromGiven = 600;     // the write sends 0 for the rest

    QByteArray file;    // Intel HEX, 16-byte records
    QByteArray program; // the unit's 64 KiB, 0xFF where the write leaves its own erased words
    QByteArray eeprom;  // all 1024 bytes
    QByteArray config = QByteArray::fromHex("00220F0E00810085000F00C0000F");

    FullImage() : program(0x10000, char(0xFF)), eeprom(1024, '\0') {
        // Each 64-byte block starts from another value, so that no two neighbours are alike.
        for (int a = kFirstWritten; a < program.size(); ++a)
            program[a] = char((a >> 6) * 7 + (a & 0x3F));
        for (int a = 0; a < kEepromGiven; ++a)
            eeprom[a] = char(a * 13 + 1);
        constexpr int kRecordBytes = 16;
        file += zq::hex::record(4, 0, QByteArray::fromHex("0000"));
        for (int a = kFirstWritten; a < program.size(); a += kRecordBytes)
            file += zq::hex::record(0, a, program.mid(a, kRecordBytes));
        file += zq::hex::record(4, 0, QByteArray::fromHex("00F0"));
        for (int a = 0; a < kEepromGiven; a += kRecordBytes)
            file += zq::hex::record(0, a, eeprom.mid(a, qMin(kRecordBytes, kEepromGiven - a)));
        file += zq::hex::record(4, 0, QByteArray::fromHex("0030"));
        file += zq::hex::record(0, 0, config) + zq::hex::record(1, 0, QByteArray());
    }
};
