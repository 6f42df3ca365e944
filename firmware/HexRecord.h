#pragma once
// One Intel HEX record as tools write it: ':', the byte count, the 16-bit
// address, the type, the data and the two's-complement checksum, in upper-case
// hex digits, ended by a line feed.

#include <QByteArray>

namespace zq::hex {

enum RecordType : int { DataRecord = 0x00, EndOfFileRecord = 0x01, ExtendedLinearAddress = 0x04 };

// Character positions of a record's fields; position 0 holds the ':'. The
// data starts right after the fixed header.
constexpr int kCountPos = 1;
constexpr int kAddressPos = 3;
constexpr int kTypePos = 7;
constexpr int kDataPos = 9;
constexpr int kChecksumChars = 2;
// The longest record: ':' and 5 + 255 bytes as hex digits. No field lies
// past the checksum of a record with 255 data bytes.
constexpr int kMaxRecordChars = kDataPos + 2 * 255 + kChecksumChars;

inline QByteArray record(int type, int address, const QByteArray &data) {
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (const char b : qAsConst(bytes))
        sum = quint8(sum + quint8(b));
    bytes.append(char(quint8(-sum)));
    return ':' + bytes.toHex().toUpper() + '\n';
}

} // namespace zq::hex
