#include "HexWriter.h"

namespace zqctl {

namespace {

enum RecordType : quint8 { DataRecord = 0x00, EndOfFile = 0x01, ExtendedLinearAddress = 0x04 };

QByteArray record(quint8 type, quint16 address, const QByteArray &data) {
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char b : qAsConst(bytes))
        sum = quint8(sum + quint8(b));
    bytes.append(char(quint8(0x100 - sum)));
    return ':' + bytes.toHex().toUpper() + '\n';
}

} // namespace

QByteArray intelHex(quint16 upper, const QByteArray &bytes) {
    QByteArray upperBytes;
    upperBytes.append(char(upper >> 8));
    upperBytes.append(char(upper & 0xFF));
    QByteArray out = record(ExtendedLinearAddress, 0, upperBytes);
    for (int at = 0; at < bytes.size(); at += kHexRecordBytes)
        out += record(DataRecord, quint16(at), bytes.mid(at, kHexRecordBytes));
    out += record(EndOfFile, 0, {});
    return out;
}

} // namespace zqctl
