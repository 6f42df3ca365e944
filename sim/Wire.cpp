#include "Wire.h"

namespace zq::sim {

namespace {
constexpr qint64 kNsPerSecond = 1000000000;
constexpr int kAllPercent = 100;
} // namespace

bool FaultInjector::roll(int percent) {
    if (percent <= 0)
        return false;
    if (percent >= kAllPercent)
        return true;
    return int(random_() % kAllPercent) < percent;
}

bool FaultInjector::loseCommand(int number) {
    // The percentage is drawn for every frame while it is on, so that naming
    // frames does not change which others a seed loses.
    const bool byShare = roll(faults_.losePercent);
    return byShare || faults_.lostFrames.count(number) > 0;
}

QByteArray FaultInjector::frame(const QByteArray &payload) {
    QByteArray out;
    out.reserve(faults_.noiseBytes + payload.size() + 6);
    for (int i = 0; i < faults_.noiseBytes; ++i) {
        // Any byte but the start byte, so the noise never opens a frame.
        quint8 b = quint8(random_() % 255);
        if (b >= kStartByte)
            ++b;
        out.append(char(b));
    }
    const bool corrupt = roll(faults_.corruptChecksumPercent);
    const bool badEnd = roll(faults_.badEndPercent);
    QByteArray f = buildFrame(payload, faults_.withChecksum || corrupt);
    if (corrupt)
        f[f.size() - 2] = char(quint8(f.at(f.size() - 2)) ^ kChecksumCorruption);
    if (badEnd)
        f[f.size() - 1] = char(kBadEndByte);
    out.append(f);
    return out;
}

qint64 LineClock::nextByteEnd(qint64 readyNs) {
    if (baud_ <= 0)
        return readyNs;
    if (readyNs > freeAtNs_) { // the line was idle: a new busy stretch starts
        epochNs_ = readyNs;
        bytesSinceEpoch_ = 0;
    }
    ++bytesSinceEpoch_;
    // `baud` bytes take exactly kBitsPerByte seconds: move the epoch on by whole
    // periods so the multiplication below never grows large.
    if (bytesSinceEpoch_ >= baud_) {
        epochNs_ += kBitsPerByte * kNsPerSecond;
        bytesSinceEpoch_ -= baud_;
    }
    freeAtNs_ = epochNs_ + bytesSinceEpoch_ * kBitsPerByte * kNsPerSecond / baud_;
    return freeAtNs_;
}

Responder::Responder(Unit &unit, const Faults &faults)
    : unit_(unit), faults_(faults), injector_(faults), rxClock_(faults.baud),
      txClock_(faults.baud) {
    sink_.payload = [this](quint8 length, quint8 *buffer) {
        payloadReceived(QByteArray(reinterpret_cast<const char *>(buffer), length),
                        currentByteEndNs_);
    };
    sink_.fault = [this](const FrameReceiver::Fault &) { ++stats_.frameErrors; };
}

void Responder::start(qint64 nowNs) {
    if (faults_.errorReportIntervalMs > 0)
        nextReportNs_ = nowNs + faults_.errorReportIntervalMs * kNsPerMs;
}

void Responder::receive(const char *data, int count, qint64 nowNs) {
    const auto *bytes = reinterpret_cast<const quint8 *>(data);
    // A byte at a time: each has its own arrival time on a paced line, and a
    // frame counts from when its last byte arrived.
    for (int i = 0; i < count; ++i) {
        currentByteEndNs_ = rxClock_.nextByteEnd(nowNs);
        receiver_.feed(bytes + i, 1, sink_);
    }
}

void Responder::payloadReceived(const QByteArray &payload, qint64 atNs) {
    const int number = ++frameNumber_;
    if (injector_.loseCommand(number)) {
        ++stats_.framesLost;
        if (onLost)
            onLost(payload);
        return;
    }
    ++stats_.framesReceived;
    const QList<QByteArray> answers =
        faults_.failedFrames.count(number) && !payload.isEmpty()
            ? QList<QByteArray>{QByteArray(1, payload.at(0)) + char(StatusIncorrectCommand)}
            : unit_.handle(payload);
    if (onExchange)
        onExchange(payload, answers);
    if (faults_.neverAnswer)
        return;
    for (const QByteArray &answer : answers) {
        if (injector_.dropNext()) {
            ++stats_.answersDropped;
            continue;
        }
        ++stats_.answersSent;
        const auto late = faults_.lateAnswerMs.find(number);
        const int delayMs =
            late != faults_.lateAnswerMs.end() ? late->second : faults_.answerDelayMs;
        schedule(atNs + delayMs * kNsPerMs, injector_.frame(answer));
    }
}

void Responder::schedule(qint64 readyNs, const QByteArray &bytes) {
    // A frame on the line is never interrupted; the others wait in ready order.
    auto it = queue_.begin();
    if (it != queue_.end() && frontNextDueNs_ != kNever)
        ++it;
    while (it != queue_.end() && it->readyNs <= readyNs)
        ++it;
    queue_.insert(it, Pending{readyNs, bytes});
}

QByteArray Responder::takeDue(qint64 nowNs) {
    while (nextReportNs_ <= nowNs) {
        ++stats_.errorReportsSent;
        schedule(nextReportNs_, injector_.frame(Unit::unsolicitedErrorReport()));
        nextReportNs_ += faults_.errorReportIntervalMs * kNsPerMs;
    }
    QByteArray out;
    while (!queue_.empty()) {
        Pending &front = queue_.front();
        if (!txClock_.paced()) {
            if (front.readyNs > nowNs)
                break;
            out.append(front.bytes);
            queue_.pop_front();
            continue;
        }
        if (frontNextDueNs_ == kNever) {
            if (front.readyNs > nowNs)
                break;
            frontNextDueNs_ = txClock_.nextByteEnd(front.readyNs);
        }
        // A byte is handed over when its stop bit would have left the line.
        while (frontOffset_ < front.bytes.size() && frontNextDueNs_ <= nowNs) {
            out.append(front.bytes.at(frontOffset_++));
            if (frontOffset_ < front.bytes.size())
                frontNextDueNs_ = txClock_.nextByteEnd(frontNextDueNs_);
        }
        if (frontOffset_ < front.bytes.size())
            break;
        queue_.pop_front();
        frontOffset_ = 0;
        frontNextDueNs_ = kNever;
    }
    return out;
}

qint64 Responder::nextEventNs() const {
    qint64 next = nextReportNs_;
    if (!queue_.empty())
        next = qMin(next, frontNextDueNs_ != kNever ? frontNextDueNs_ : queue_.front().readyNs);
    return next;
}

} // namespace zq::sim
