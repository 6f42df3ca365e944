#pragma once
// The link's frame format: 0F 0F N payload marker [checksum] AA.
// Pure code: no threads, no port, no widgets. The link thread (uart) and the
// simulated unit both build and parse frames through this file.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace zq {

constexpr quint8 kStartByte = 0x0F;
constexpr quint8 kEndByte = 0xAA;
constexpr quint8 kChecksumMarker = 0xFF;   // a checksum byte follows
constexpr quint8 kNoChecksumMarker = 0x00; // what we write when none follows
constexpr int kMaxPayloadLength = 255;
constexpr int kMaxFrameLength = kMaxPayloadLength + 6; // with checksum

// Two's complement of the 8-bit sum, so that payload + checksum add up to 0.
quint8 payloadChecksum(const quint8 *payload, int length);

// Writes the frame for `payload` into `out` (room for kMaxFrameLength bytes)
// and returns its length; 0 for an empty payload, which is never framed.
qint16 buildFrame(const quint8 *payload, quint8 length, bool withChecksum, quint8 *out);
QByteArray buildFrame(const QByteArray &payload, bool withChecksum);

// Receiver state machine. The field names and the values of rFrameCounter are
// those the unit's documentation uses, so diagnostics read the same.
class FrameReceiver {
public:
    enum State : quint8 {
        WaitStart1 = 0,
        WaitStart2 = 1,
        WaitLength = 2,
        WaitMarker = 3,
        WaitChecksum = 4,
        WaitEnd = 5,
        Stopped = 6, // during delivery, and after a bad end byte until reset()
        InPayload = 99,
    };

    // The oldest unit firmware (edition 1) expects the host to say nothing
    // about bad frames, drop the rest of the read and reset the link.
    enum class ErrorPolicy { Report, DropBatchAndReset };

    struct Sink {
        // A complete payload; `buffer` is rBuffer and is valid during the call only.
        std::function<void(quint8 length, quint8 *buffer)> payload;
        std::function<void(const QString &line)> diagnostic;
    };

    explicit FrameReceiver(ErrorPolicy policy = ErrorPolicy::Report) : policy_(policy) {}

    // Parses one batch in order. Returns false when, under DropBatchAndReset,
    // an error stopped the batch: the caller must reset the link.
    bool feed(const quint8 *bytes, int count, const Sink &sink);
    bool feed(const QByteArray &bytes, const Sink &sink) {
        return feed(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size(), sink);
    }

    // Back to waiting for a frame (the link reset).
    void reset();

    ErrorPolicy policy() const { return policy_; }

    quint8 rFrameCounter = WaitStart1;
    quint8 rLength = 0;
    quint8 rBuffer[kMaxPayloadLength] = {};
    quint8 rIndex = 0;
    quint8 rChecksum = 0;

private:
    ErrorPolicy policy_;
};

} // namespace zq
