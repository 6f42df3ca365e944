// Link round trip: one-byte command and its two-byte answer through uart over
// a pseudo-terminal, against a raw C ping-pong over the same kind of
// pseudo-terminal with the same answering peer, measured in the same run.
// Also the CPU an idle connected link uses.
//
//   build/bench/bench_link [exchanges=2000] [idle-seconds=10]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <unistd.h>
#include <vector>

#include "PeerThread.h"
#include "ProcessUse.h"
#include "Pty.h"
#include "frame.h"
#include "uart.h"

namespace {

// The unit: answers each frame at once with [code, 0].
QList<QByteArray> answerAtOnce(const QByteArray &payload) {
    return {payload.left(1) + QByteArray(1, '\0')};
}

// The command of every exchange, the one-byte version request without a
// checksum; its answer frame is 0F 0F 02 0D 00 00 AA.
const QByteArray &requestFrame() {
    static const QByteArray frame = [] {
        const quint8 payload = 0x0D;
        quint8 bytes[zq::kMaxFrameLength];
        const qint16 n = zq::buildFrame(&payload, 1, false, bytes);
        return QByteArray(reinterpret_cast<const char *>(bytes), n);
    }();
    return frame;
}
constexpr int kAnswerFrameBytes = 7;

void openOn(QSerialPort &port, const Pty &pty) {
    port.setPortName(pty.slavePath());
    port.open(QIODevice::ReadWrite);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<double> rawPingPong(int exchanges) {
    Pty pty;
    PeerThread peer(pty.masterFd(), answerAtOnce);
    std::vector<double> us;
    QElapsedTimer t;
    const QByteArray &frame = requestFrame();
    for (int i = 0; i < exchanges; ++i) {
        t.start();
        (void)!::write(pty.slaveFd(), frame.constData(), size_t(frame.size()));
        int got = 0;
        char buf[64];
        while (got < kAnswerFrameBytes) {
            pollfd p{pty.slaveFd(), POLLIN, 0};
            ::poll(&p, 1, 1000);
            const ssize_t r = ::read(pty.slaveFd(), buf, sizeof buf);
            if (r > 0)
                got += int(r);
        }
        us.push_back(t.nsecsElapsed() / 1000.0);
    }
    return us;
}

// The same exchange on a bare QSerialPort driven by the event loop, with
// nothing of ours in between: the floor for any Qt program on this machine.
std::vector<double> qtPingPong(int exchanges) {
    Pty pty;
    PeerThread peer(pty.masterFd(), answerAtOnce);
    QSerialPort port;
    openOn(port, pty);
    int got = 0;
    QObject::connect(&port, &QSerialPort::readyRead, [&] { got += int(port.readAll().size()); });
    std::vector<double> us;
    QElapsedTimer t;
    for (int i = 0; i < exchanges; ++i) {
        got = 0;
        t.start();
        port.write(requestFrame());
        port.flush();
        while (got < kAnswerFrameBytes)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        us.push_back(t.nsecsElapsed() / 1000.0);
    }
    return us;
}

std::vector<double> linkRoundTrip(int exchanges) {
    Pty pty;
    PeerThread peer(pty.masterFd(), answerAtOnce);
    QSerialPort port;
    openOn(port, pty);
    std::vector<double> us;
    {
        uart link(&port, 3); // edition 3: no per-byte "Send : " lines in the figure
        bool answered = false;
        QObject::connect(&link, &uart::receivedData, [&] { answered = true; });
        QElapsedTimer t;
        for (int i = 0; i < exchanges; ++i) {
            answered = false;
            t.start();
            link.enqueuePayload(makeUartPayload(QByteArray(1, 0x0D)));
            while (!answered)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            us.push_back(t.nsecsElapsed() / 1000.0);
        }
    }
    return us;
}

double idleCpuPercent(int seconds) {
    Pty pty;
    QSerialPort port;
    openOn(port, pty);
    uart link(&port, 5);
    const IdleUse use = runIdle(seconds * 1000);
    return 100.0 * use.cpuSeconds / use.wallSeconds;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? atoi(argv[1]) : 2000;
    const int idleSeconds = argc > 2 ? atoi(argv[2]) : 10;

    rawPingPong(200); // warm-up
    qtPingPong(200);
    linkRoundTrip(200);
    const double raw = median(rawPingPong(exchanges));
    const double qt = median(qtPingPong(exchanges));
    const double link = median(linkRoundTrip(exchanges));
    std::printf("link round trip, one-byte command + two-byte answer, %d exchanges (median)\n",
                exchanges);
    std::printf("  raw C ping-pong over a pty : %8.1f us\n", raw);
    std::printf("  bare QSerialPort loop      : %8.1f us\n", qt);
    std::printf("  uart over a pty            : %8.1f us\n", link);
    std::printf("  ratio uart / raw           : %8.2f   (aim: <= 1.5)\n", link / raw);
    std::printf("  ratio uart / bare Qt loop  : %8.2f\n", link / qt);
    const double idle = idleCpuPercent(idleSeconds);
    std::printf("idle connected link, %d s      : %8.3f %% of one core (aim: < 1 %%)\n",
                idleSeconds, idle);
    std::printf("command: %s %d %d\n", argv[0], exchanges, idleSeconds);
    return 0;
}
