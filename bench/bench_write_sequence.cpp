// Times reading a full-size HEX image and building its bootloader write
// sequence (1018 payloads), the work done when "Write Program" is confirmed.
// Usage: bench_write_sequence [runs]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "BootloaderProtocol.h"
#include "DebugCapture.h"
#include "Files.h"
#include "FullImage.h"
#include "PICProgram.h"

namespace {

constexpr int kDefaultRuns = 21;
constexpr double kSequenceAimMs = 10.0;

double medianMs(std::vector<qint64> nanoseconds) {
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return nanoseconds[nanoseconds.size() / 2] / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(DebugCapture::dropDebugLines); // each PICProgram logs its end
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : kDefaultRuns;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.hex"));
    const QByteArray image = FullImage().file;
    if (!dir.isValid() || !writeFile(path, image)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    std::vector<qint64> readTimes;
    std::vector<qint64> sequenceTimes;
    int payloads = 0;
    int words = 0;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        PICProgram program;
        timer.start();
        const int result = program.readHexFile(path);
        readTimes.push_back(timer.nsecsElapsed());
        if (result != 0) {
            std::fprintf(stderr, "the image did not read\n");
            return 1;
        }
        words = program.programWords().size();

        timer.start();
        const QVector<QByteArray> sequence = zq::boot::programWriteSequence(program);
        sequenceTimes.push_back(timer.nsecsElapsed());
        payloads = sequence.size();
    }

    const double sequenceMs = medianMs(sequenceTimes);
    std::printf("command: %s %d\n", argv[0], runs);
    std::printf("image: %d bytes of HEX, %d program words, %d runs, medians:\n", int(image.size()),
                words, runs);
    std::printf("(a) readHexFile           %8.3f ms\n", medianMs(readTimes));
    std::printf("(b) programWriteSequence  %8.3f ms for %d payloads (aim < %.0f ms: %s)\n",
                sequenceMs, payloads, kSequenceAimMs,
                sequenceMs < kSequenceAimMs ? "met" : "MISSED");
    return 0;
}
