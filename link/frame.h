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

// What spoilt bytes read from the line: bytes outside a frame (noise), a
// payload whose checksum does not match, a frame without its end byte.
enum class FrameDamage : quint8 { None, Noise, Checksum, EndByte };

// Receiver state machine. The field names and the values of rFrameCounter are
// the unit firmware's own, so that a diagnostic names the same state on both
// ends of the line.
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

    // What a fault does to the rest of the bytes:
    // - Report: the fault goes to the sink and parsing goes on from the
    //   receiver's state: a checksum mismatch holds it, waiting for the right
    //   byte; a bad end byte stops it until reset(). The windows' link.
    // - DropBatchAndReset: nothing is reported, the rest of the batch is
    //   dropped and feed() says why; the caller resets the link. The oldest
    //   unit firmware (edition 1) expects that of the host.
    // - ReportAndRestart: the fault goes to the sink and the receiver waits
    //   for the next frame at once, as the unit itself does, so that a frame
    //   right behind a damaged one in the same read is not lost.
    enum class ErrorPolicy { Report, DropBatchAndReset, ReportAndRestart };

    struct Fault {
        FrameDamage damage;
        QString line; // the diagnostic, as the log shows it
        // The damaged frame's payload as far as it came (whole for Checksum
        // and EndByte, empty for Noise); valid during the call only.
        const quint8 *payload;
        quint8 length;
    };

    struct Sink {
        // A complete payload; `buffer` is rBuffer and is valid during the call only.
        std::function<void(quint8 length, quint8 *buffer)> payload;
        std::function<void(const Fault &fault)> fault;
    };

    // What feed() did with a batch: true when it parsed all of it; under
    // DropBatchAndReset false at a fault, with the damage that stopped it.
    struct Fed {
        FrameDamage stoppedBy = FrameDamage::None;
        explicit operator bool() const { return stoppedBy == FrameDamage::None; }
    };

    explicit FrameReceiver(ErrorPolicy policy = ErrorPolicy::Report) : policy_(policy) {}

    // Parses one batch in order.
    Fed feed(const quint8 *bytes, int count, const Sink &sink);
    Fed feed(const QByteArray &bytes, const Sink &sink) {
        return feed(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size(), sink);
    }

    // Back to waiting for a frame (the link reset).
    void reset();

    // Part of a frame has come and the rest is awaited (or the receiver
    // waits for a reset).
    bool midFrame() const { return rFrameCounter != WaitStart1; }

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
