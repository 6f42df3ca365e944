#include "HexWriter.h"

#include "HexRecord.h"

namespace zqctl {

QByteArray intelHex(quint16 upper, const QByteArray &bytes) {
    QByteArray upperBytes;
    upperBytes.append(char(upper >> 8));
    upperBytes.append(char(upper & 0xFF));
    QByteArray out = zq::hex::record(zq::hex::ExtendedLinearAddress, 0, upperBytes);
    for (int at = 0; at < bytes.size(); at += kHexRecordBytes)
        out += zq::hex::record(zq::hex::DataRecord, quint16(at), bytes.mid(at, kHexRecordBytes));
    out += zq::hex::record(zq::hex::EndOfFileRecord, 0, {});
    return out;
}

} // namespace zqctl
