#include "frame.h"

#include <cstring>

namespace zq {

quint8 payloadChecksum(const quint8 *payload, int length) {
    quint8 sum = 0;
    for (int i = 0; i < length; ++i)
        sum = quint8(sum + payload[i]);
    return quint8(0x100 - sum);
}

qint16 buildFrame(const quint8 *payload, quint8 length, bool withChecksum, quint8 *out) {
    if (length == 0)
        return 0;
    int n = 0;
    out[n++] = kStartByte;
    out[n++] = kStartByte;
    out[n++] = length;
    std::memcpy(out + n, payload, length);
    n += length;
    if (withChecksum) {
        out[n++] = kChecksumMarker;
        out[n++] = payloadChecksum(payload, length);
    } else {
        out[n++] = kNoChecksumMarker;
    }
    out[n++] = kEndByte;
    return qint16(n);
}

QByteArray buildFrame(const QByteArray &payload, bool withChecksum) {
    quint8 frame[kMaxFrameLength];
    const int length = qMin(payload.size(), kMaxPayloadLength);
    const qint16 n = buildFrame(reinterpret_cast<const quint8 *>(payload.constData()),
                                quint8(length), withChecksum, frame);
    return QByteArray(reinterpret_cast<const char *>(frame), n);
}

void FrameReceiver::reset() {
    rFrameCounter = WaitStart1;
    rIndex = 0;
    rLength = 0;
}

FrameReceiver::Fed FrameReceiver::feed(const quint8 *bytes, int count, const Sink &sink) {
    const auto frameError = [](int state) {
        return QStringLiteral("Frame error, rFrameCounter = %1").arg(state);
    };
    for (int i = 0; i < count; ++i) {
        const quint8 byte = bytes[i];
        FrameDamage damage = FrameDamage::None;
        int errorState = 0; // the state a frame error names
        switch (rFrameCounter) {
        case WaitStart1:
        case WaitStart2:
            if (byte == kStartByte) {
                rFrameCounter = rFrameCounter == WaitStart1 ? WaitStart2 : WaitLength;
            } else {
                damage = FrameDamage::Noise;
                errorState = rFrameCounter;
            }
            break;
        case WaitLength:
            rLength = byte;
            rChecksum = 0;
            rIndex = 0;
            rFrameCounter = byte != 0 ? InPayload : WaitMarker;
            break;
        case InPayload:
            rBuffer[rIndex++] = byte; // rIndex < rLength <= 255 here
            rChecksum = quint8(rChecksum + byte);
            if (rIndex == rLength) {
                rChecksum = quint8(0x100 - rChecksum);
                rFrameCounter = WaitMarker;
            }
            break;
        case WaitMarker:
            rFrameCounter = byte == kChecksumMarker ? WaitChecksum : WaitEnd;
            break;
        case WaitChecksum:
            if (byte == rChecksum)
                rFrameCounter = WaitEnd;
            else
                damage = FrameDamage::Checksum;
            break;
        case WaitEnd:
            if (byte == kEndByte) {
                rFrameCounter = Stopped; // bytes parsed during delivery are ignored
                if (sink.payload)
                    sink.payload(rIndex, rBuffer);
                rIndex = 0;
                rLength = 0;
                rFrameCounter = WaitStart1;
            } else {
                damage = FrameDamage::EndByte;
                errorState = Stopped;
            }
            break;
        default: // Stopped: only a reset leaves it
            break;
        }
        if (damage == FrameDamage::None)
            continue;

        if (policy_ != ErrorPolicy::DropBatchAndReset && sink.fault) {
            const bool wholeFrame = damage != FrameDamage::Noise;
            const QString line =
                damage == FrameDamage::Checksum
                    ? QStringLiteral(
                          "Checksum error, Calculated checksum = %1; Received checksum = %2")
                          .arg(rChecksum)
                          .arg(byte)
                    : frameError(errorState);
            sink.fault({damage, line, rBuffer, quint8(wholeFrame ? rIndex : 0)});
        }
        if (policy_ == ErrorPolicy::ReportAndRestart)
            reset();
        else if (damage == FrameDamage::EndByte)
            rFrameCounter = Stopped;
        if (policy_ == ErrorPolicy::DropBatchAndReset)
            return {damage};
    }
    return {};
}

} // namespace zq
