// Frame parsing throughput of the receiver: a stream of answer frames of
// typical sizes (2, 5, 9 and 68 bytes of payload, with and without checksum)
// fed in 4 KiB reads, as the port hands them over.
//
//   build/bench/bench_frame [megabytes=200]

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

#include "frame.h"

int main(int argc, char *argv[]) {
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 200;
    QByteArray pattern;
    const int sizes[] = {2, 5, 9, 68};
    for (int i = 0; i < 64; ++i) {
        QByteArray payload(sizes[i % 4], char(i));
        payload[0] = char(i % 28);
        pattern += zq::buildFrame(payload, i % 2);
    }
    QByteArray stream;
    while (stream.size() < (1 << 20))
        stream += pattern;

    zq::FrameReceiver rx;
    qint64 payloads = 0, bytes = 0;
    zq::FrameReceiver::Sink sink;
    sink.payload = [&](quint8 length, quint8 *) { bytes += length, ++payloads; };
    const int kRead = 4096;
    QElapsedTimer t;
    t.start();
    for (int round = 0; round < megabytes; ++round)
        for (int at = 0; at < stream.size(); at += kRead)
            rx.feed(reinterpret_cast<const quint8 *>(stream.constData()) + at,
                    qMin(kRead, stream.size() - at), sink);
    const double seconds = t.nsecsElapsed() / 1e9;
    const double mb = double(megabytes) * stream.size() / 1e6;
    std::printf("frame parsing: %.0f MB in %.3f s = %.0f MB/s, %.1f M frames/s "
                "(115200 baud carries 0.0115 MB/s)\n",
                mb, seconds, mb / seconds, payloads / seconds / 1e6);
    std::printf("command: %s %d\n", argv[0], megabytes);
    return bytes > 0 ? 0 : 1;
}
