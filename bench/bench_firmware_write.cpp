// The whole firmware write as the user runs it: the firmware window writing a
// full 64 KiB image to zq-sim.
//   (a) building the 1018 payloads from the image (median of many runs)
//   (b) the window's write against zq-sim --baud 115200, beside the line's
//       minimum for the same frames and answers (10 bits a byte), with where
//       the time beyond it goes: our side (answer in -> next frame out) and
//       the unit's side (frame out -> answer in, less the line time)
//   (c) the same write unpaced over the pseudo-terminal
//
//   bench_firmware_write [paced-runs=3] [unpaced-runs=5] [zq-sim path] [link edition=5]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "BootloaderProtocol.h"
#include "BootloaderWindow.h"
#include "DebugCapture.h"
#include "Files.h"
#include "FullImage.h"
#include "PICProgram.h"
#include "ProcessUse.h"
#include "RawPort.h"
#include "SimProcess.h"
#include "frame.h"

namespace {

constexpr int kBaud = 115200;
constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop
constexpr int kFrameOverheadBytes = 5; // 0F 0F N ... marker AA, no checksum
constexpr int kAnswerPayloadBytes = 2; // code and status, to every write payload
constexpr int kSequenceRuns = 21;
constexpr int kPacedRuns = 3;
constexpr int kUnpacedRuns = 5;
constexpr int kEdition = 5; // the link habits of the program that ships the window
constexpr int kStartMs = 5000;
constexpr int kWriteLimitMs = 60000;
constexpr double kAimPercent = 3.0;
const QString kDoneStatus = QStringLiteral("Status : Writing Config -> OK");

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct WriteRun {
    double seconds = 0;
    double ourSideSeconds = 0;  // last answer byte read -> next frame written
    double unitSideSeconds = 0; // frame written -> last answer byte read
};

// One window on a fresh zq-sim; returns the timing of each write.
std::vector<WriteRun> timeWrites(const QString &sim, const QStringList &simArgs,
                                 const QString &hexPath, int runs, int edition) {
    std::vector<WriteRun> results;
    SimProcess unit;
    if (!unit.start(simArgs, sim)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(sim));
        return results;
    }
    QSerialPort port(unit.path());
    // The window's link goes with the next deferred deletion, before the port.
    const auto dropLink =
        qScopeGuard([] { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); });
    if (!port.open(QIODevice::ReadWrite))
        return results;
    // Connected before the window's link, so the stamps come before its handling.
    qint64 lastReadNs = 0, lastWriteNs = 0;
    QElapsedTimer clock;
    clock.start();
    WriteRun run;
    QObject::connect(&port, &QSerialPort::readyRead, [&] { lastReadNs = clock.nsecsElapsed(); });
    QObject::connect(&port, &QSerialPort::bytesWritten, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastReadNs > lastWriteNs) {
            run.unitSideSeconds += (lastReadNs - lastWriteNs) / 1e9;
            run.ourSideSeconds += (now - lastReadNs) / 1e9;
        }
        lastWriteNs = now;
    });

    BootloaderWindow window(nullptr, &port, edition);
    window.openFileDialog = [&](const QString &, const QString &, const QString &) {
        return hexPath;
    };
    window.confirmDialog = [](const QString &, const QString &) { return true; };
    auto *status = window.topLevel()->findChild<QLabel *>("status_label");
    window.startBL();
    if (!waitUntil([&] { return status->text().startsWith("Status : Reading Version"); }, kStartMs))
        return results;
    window.browse();
    for (int i = 0; i < runs; ++i) {
        window.analyzeHexFile(); // also a status that is not kDoneStatus
        run = WriteRun();
        const qint64 start = clock.nsecsElapsed();
        // The first frame has no answer before it: its hand-over counts as ours.
        lastReadNs = start;
        lastWriteNs = start - 1;
        window.writeProg();
        if (!waitUntil([&] { return status->text() == kDoneStatus && !window.isSending(); },
                       kWriteLimitMs))
            break;
        run.seconds = (clock.nsecsElapsed() - start) / 1e9;
        run.unitSideSeconds += (lastReadNs - lastWriteNs) / 1e9; // the last exchange
        results.push_back(run);
    }
    return results;
}

// The same frames from a bare client: no link thread, no Qt, no window; one
// blocking write and read per exchange. What it takes beyond the line is the
// simulator's and the pseudo-terminal's share, measured in the same run.
double bareClientSeconds(const QString &sim, const QVector<QByteArray> &sequence) {
    SimProcess unit;
    if (!unit.start({"--baud", QString::number(kBaud)}, sim))
        return 0;
    const int fd = openRaw(QFile::encodeName(unit.path()).constData());
    const auto exchange = [fd](const QByteArray &payload) {
        const QByteArray frame = zq::buildFrame(payload, false);
        return exchangeRaw(fd, frame.constData(), size_t(frame.size()),
                           kAnswerPayloadBytes + kFrameOverheadBytes);
    };
    QElapsedTimer t;
    bool ok = exchange(zq::boot::command(zq::boot::StartBootloader));
    t.start();
    for (const QByteArray &payload : sequence)
        ok = ok && exchange(payload);
    const double seconds = t.nsecsElapsed() / 1e9;
    ::close(fd);
    return ok ? seconds : 0;
}

void printPaced(const WriteRun &r, double minimumS, qint64 lineBytes, int frames) {
    const double extra = r.seconds - minimumS;
    std::printf("(b) write at %d baud (zq-sim --baud %d): %.3f s; line minimum %.3f s for %lld "
                "bytes; ratio %.4f (%+.2f %%, aim within %.0f %%: %s)\n",
                kBaud, kBaud, r.seconds, minimumS, lineBytes, r.seconds / minimumS,
                100 * extra / minimumS, kAimPercent,
                100 * extra / minimumS <= kAimPercent ? "met" : "MISSED");
    std::printf("    beyond the line: %.1f ms, %.1f us a frame: our side (answer in -> next frame "
                "out) %.1f us, unit side (frame out -> answer in, less the line time) %.1f us\n",
                1e3 * extra, 1e6 * extra / frames, 1e6 * r.ourSideSeconds / frames,
                1e6 * (r.unitSideSeconds - minimumS) / frames);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(DebugCapture::dropDebugLines);
    const int pacedRuns = argc > 1 ? qMax(1, atoi(argv[1])) : kPacedRuns;
    const int unpacedRuns = argc > 2 ? qMax(1, atoi(argv[2])) : kUnpacedRuns;
    const QString sim =
        argc > 3 ? QString::fromLocal8Bit(argv[3]) : qEnvironmentVariable("ZQ_SIM", ZQ_SIM_PATH);
    const int edition = argc > 4 ? atoi(argv[4]) : kEdition;

    QTemporaryDir dir;
    const QString hexPath = dir.filePath("full.hex");
    if (!writeFile(hexPath, FullImage().file))
        return 1;
    PICProgram program;
    if (program.readHexFile(hexPath) != 0)
        return 1;

    std::vector<double> buildMs;
    QVector<QByteArray> sequence;
    for (int i = 0; i < kSequenceRuns; ++i) {
        QElapsedTimer t;
        t.start();
        sequence = zq::boot::programWriteSequence(program);
        buildMs.push_back(t.nsecsElapsed() / 1e6);
    }
    // Each payload goes out in a frame and comes back as a two-byte answer in one.
    qint64 lineBytes = 0;
    for (const QByteArray &payload : qAsConst(sequence))
        lineBytes += payload.size() + kAnswerPayloadBytes + 2 * kFrameOverheadBytes;
    const double minimumS = lineBytes * kBitsPerByte / kBaud;

    std::printf("command: %s %d %d %s %d\n", argv[0], pacedRuns, unpacedRuns, qPrintable(sim),
                edition);
    std::printf("(a) programWriteSequence: %.3f ms for %d payloads (median of %d)\n",
                median(buildMs), sequence.size(), kSequenceRuns);

    std::vector<WriteRun> paced =
        timeWrites(sim, {"--baud", QString::number(kBaud)}, hexPath, pacedRuns, edition);
    std::vector<WriteRun> unpaced = timeWrites(sim, {}, hexPath, unpacedRuns, edition);
    const double bareS = bareClientSeconds(sim, sequence);
    if (paced.empty() || unpaced.empty() || bareS == 0) {
        std::fprintf(stderr, "a write did not finish\n");
        return 1;
    }
    const auto bySeconds = [](const WriteRun &x, const WriteRun &y) {
        return x.seconds < y.seconds;
    };
    std::sort(paced.begin(), paced.end(), bySeconds);
    std::sort(unpaced.begin(), unpaced.end(), bySeconds);
    printPaced(paced[paced.size() / 2], minimumS, lineBytes, sequence.size());
    std::printf("    median of %zu paced runs; fastest %.3f s, slowest %.3f s\n", paced.size(),
                paced.front().seconds, paced.back().seconds);
    std::printf("    a bare client (no link, no Qt) with the same frames: %.3f s, %.1f us a frame "
                "beyond the line (%+.2f %%): the simulator's and the pseudo-terminal's share\n",
                bareS, 1e6 * (bareS - minimumS) / sequence.size(),
                100 * (bareS - minimumS) / minimumS);
    const WriteRun &u = unpaced[unpaced.size() / 2];
    std::printf("(c) write unpaced over a pseudo-terminal: %.3f s, median of %zu (%.1f us a "
                "frame: our side %.1f us, unit side %.1f us)\n",
                u.seconds, unpaced.size(), 1e6 * u.seconds / sequence.size(),
                1e6 * u.ourSideSeconds / sequence.size(),
                1e6 * u.unitSideSeconds / sequence.size());
    return 0;
}
