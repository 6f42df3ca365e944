// The frame receiver under both error policies, fed in random splits, plus a
// round trip: any payload framed by us must come back whole in any split.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    // The first byte chooses the receiver's policy, and its bit 1 the checksum
    // of the round trip below: every pairing of the two occurs.
    using Policy = zq::FrameReceiver::ErrorPolicy;
    const Policy policies[] = {Policy::Report, Policy::DropBatchAndReset, Policy::ReportAndRestart};
    const Policy policy = policies[data[0] % 3];
    const int chunk = 1 + (data[1] % 64);
    const quint8 *bytes = data + 2;
    const int count = int(size - 2);

    // Arbitrary bytes: never crash, never deliver more than 255 bytes.
    zq::FrameReceiver rx(policy);
    zq::FrameReceiver::Sink sink;
    sink.payload = [](quint8 length, quint8 *buffer) {
        volatile quint8 sum = 0;
        for (int i = 0; i < length; ++i)
            sum = quint8(sum + buffer[i]);
    };
    sink.fault = [](const zq::FrameReceiver::Fault &fault) {
        if (fault.line.isEmpty())
            abort();
    };
    for (int at = 0; at < count; at += chunk) {
        if (!rx.feed(bytes + at, qMin(chunk, count - at), sink))
            rx.reset();
    }

    // Round trip of the input as a payload.
    const int length = qMin(count, zq::kMaxPayloadLength);
    if (length == 0)
        return 0;
    quint8 frame[zq::kMaxFrameLength];
    const qint16 n = zq::buildFrame(bytes, quint8(length), data[0] & 2, frame);
    zq::FrameReceiver back;
    int delivered = 0;
    zq::FrameReceiver::Sink check;
    check.payload = [&](quint8 got, quint8 *buffer) {
        if (got != length || std::memcmp(buffer, bytes, size_t(length)) != 0)
            abort();
        ++delivered;
    };
    check.fault = [](const zq::FrameReceiver::Fault &) { abort(); };
    for (int at = 0; at < n; at += chunk)
        back.feed(frame + at, qMin(chunk, n - at), check);
    if (delivered != 1)
        abort();
    return 0;
}
