#pragma once
// What the simulated unit puts on the serial line, and when: framing, the
// injected faults and the baud-rate pacing. Pure: the caller passes the time
// (nanoseconds on any monotonic clock) and moves the bytes.

#include "Unit.h"

#include <QByteArray>
#include <QList>

#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <set>

#include "frame.h"

namespace zq::sim {

constexpr qint64 kNsPerMs = 1000000;
constexpr qint64 kNever = std::numeric_limits<qint64>::max();
constexpr int kBitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr quint8 kBadEndByte = 0x55;
constexpr quint8 kChecksumCorruption = 0xFF; // xor mask: never leaves the checksum right

// Each switch alone makes the unit misbehave in one way; all off is a sound unit.
struct Faults {
    bool neverAnswer = false;
    int answerDelayMs = 0;
    int dropPercent = 0;            // answers never sent
    bool withChecksum = false;      // answers carry the checksum byte
    int corruptChecksumPercent = 0; // answers sent with a wrong checksum byte
    int badEndPercent = 0;          // answers whose end byte is not 0xAA
    int noiseBytes = 0;             // bytes other than 0x0F before each answer frame
    int errorReportIntervalMs = 0;  // 0: no unsolicited error reports
    int baud = 0;                   // 0: bytes move as fast as the pseudo-terminal
    // Faults on the way to the unit. Frames are numbered from 1 in the order
    // their last byte reaches the unit's end of the line, lost ones included.
    int losePercent = 0;             // command frames lost before the unit sees them
    std::set<int> lostFrames;        // these command frames are lost
    std::map<int, int> lateAnswerMs; // the answers to these frames come this late
    // These frames reach the unit but fail there: it answers [code, 8], the
    // status of a failed write, and changes nothing.
    std::set<int> failedFrames;
    quint32 seed = 1;
};

// Turns answer payloads into wire bytes under the faults. The random choices
// come from a seeded generator, drawn only for the faults that are on, so one
// seed gives the same line on every run.
class FaultInjector {
public:
    explicit FaultInjector(const Faults &faults) : faults_(faults), random_(faults.seed) {}

    // Whether the next answer is lost.
    bool dropNext() { return roll(faults_.dropPercent); }
    // Whether command frame `number` is lost on its way to the unit.
    bool loseCommand(int number);
    // The noise and the frame for one payload.
    QByteArray frame(const QByteArray &payload);

private:
    bool roll(int percent);
    Faults faults_;
    std::mt19937 random_;
};

// Time on a serial line at a fixed baud rate. Each byte's end is computed from
// the start of the current busy stretch, not from the previous byte's rounded
// time, so a long transfer keeps to the rate exactly.
class LineClock {
public:
    explicit LineClock(int baud = 0) : baud_(baud) {}

    bool paced() const { return baud_ > 0; }
    // A byte ready at `readyNs` goes when the line is free; returns the time at
    // which its stop bit ends. Unpaced, that is `readyNs`.
    qint64 nextByteEnd(qint64 readyNs);
    qint64 freeAtNs() const { return freeAtNs_; }

private:
    int baud_;
    qint64 epochNs_ = 0;
    qint64 bytesSinceEpoch_ = 0;
    qint64 freeAtNs_ = std::numeric_limits<qint64>::min();
};

// The unit on its line: bytes from the peer in, timed answer bytes out.
class Responder {
public:
    struct Stats {
        int framesReceived = 0;
        int framesLost = 0;  // good frames the line lost before the unit saw them
        int frameErrors = 0; // bad start, checksum or end bytes from the peer
        int answersSent = 0;
        int answersDropped = 0;
        int errorReportsSent = 0;
    };

    Responder(Unit &unit, const Faults &faults);

    // Starts the schedule of unsolicited error reports at `nowNs`.
    void start(qint64 nowNs);
    // Bytes from the peer, read at `nowNs`. With pacing, a frame counts as
    // received when its last byte would have arrived at the line's rate.
    void receive(const char *data, int count, qint64 nowNs);
    // The bytes whose time has come by `nowNs`, in line order.
    QByteArray takeDue(qint64 nowNs);
    // When takeDue() next has something; kNever when nothing is pending.
    qint64 nextEventNs() const;

    const Stats &stats() const { return stats_; }

    // Called for each received payload with the unit's answers (before faults),
    // for the program's traffic log.
    std::function<void(const QByteArray &payload, const QList<QByteArray> &answers)> onExchange;
    // Called for each command frame the line lost before the unit saw it.
    std::function<void(const QByteArray &payload)> onLost;

private:
    struct Pending {
        qint64 readyNs;
        QByteArray bytes;
    };
    void schedule(qint64 readyNs, const QByteArray &bytes);
    void payloadReceived(const QByteArray &payload, qint64 atNs);

    Unit &unit_;
    Faults faults_;
    FaultInjector injector_;
    // The unit drops a bad frame and listens for the next one at once.
    FrameReceiver receiver_{FrameReceiver::ErrorPolicy::ReportAndRestart};
    FrameReceiver::Sink sink_;
    qint64 currentByteEndNs_ = 0;
    LineClock rxClock_;
    LineClock txClock_;
    std::deque<Pending> queue_; // by ready time; the front may be on the line
    int frontOffset_ = 0;       // bytes of the front already given out
    qint64 frontNextDueNs_ = kNever;
    qint64 nextReportNs_ = kNever;
    int frameNumber_ = 0; // command frames that reached the unit's end of the line
    Stats stats_;
};

} // namespace zq::sim
