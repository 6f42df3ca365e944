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

bool FrameReceiver::feed(const quint8 *bytes, int count, const Sink &sink) {
    const bool report = policy_ == ErrorPolicy::Report;
    auto say = [&](const QString &line) {
        if (report && sink.diagnostic)
            sink.diagnostic(line);
    };
    auto frameError = [&](int state) {
        say(QStringLiteral("Frame error, rFrameCounter = %1").arg(state));
        return report; // under the edition-1 policy the batch stops here
    };

    for (int i = 0; i < count; ++i) {
        const quint8 byte = bytes[i];
        switch (rFrameCounter) {
        case WaitStart1:
            if (byte == kStartByte)
                rFrameCounter = WaitStart2;
            else if (!frameError(WaitStart1))
                return false;
            break;
        case WaitStart2:
            if (byte == kStartByte)
                rFrameCounter = WaitLength;
            else if (!frameError(WaitStart2))
                return false;
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
            if (byte == rChecksum) {
                rFrameCounter = WaitEnd;
            } else {
                say(QStringLiteral("Checksum error, Calculated checksum = %1; Received checksum = %2")
                        .arg(rChecksum)
                        .arg(byte));
                if (!report)
                    return false;
            }
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
                const bool goOn = frameError(Stopped);
                rFrameCounter = Stopped;
                if (!goOn)
                    return false;
            }
            break;
        default: // Stopped: only a reset leaves it
            break;
        }
    }
    return true;
}

} // namespace zq
