#include "Output.h"

#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

namespace zqctl {

namespace {

constexpr qint64 kProgressRedrawMs = 200; // a terminal line redrawn at most this often
constexpr int kMsPerSecond = 1000;

void put(FILE *stream, const QString &line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

Output::Output(bool json) : json_(json), terminal_(::isatty(STDERR_FILENO) == 1) {}

void Output::answer(const Printed &printed) {
    if (json_) {
        put(results_,
            QString::fromUtf8(QJsonDocument(printed.json).toJson(QJsonDocument::Compact)));
        return;
    }
    for (const QString &line : printed.lines)
        put(results_, line);
}

void Output::result(const QString &kind, const QString &text, bool failed) {
    if (json_)
        put(results_,
            QString::fromUtf8(
                QJsonDocument(noteJson(kind, text, failed)).toJson(QJsonDocument::Compact)));
    else
        put(results_, text);
}

bool Output::writeData(const QByteArray &bytes) {
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    return std::fflush(stdout) == 0 && written;
}

void Output::complain(const QString &text) {
    endProgress();
    put(stderr, QStringLiteral("zqctl: ") + text);
}

void Output::progress(int done, int total, qint64 lineBytes) {
    if (!started_.isValid())
        started_.start();
    const qint64 ms = started_.elapsed();
    const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
    // On a terminal the line is redrawn in place; into a file or pipe, one line
    // per tenth keeps a log readable.
    if (terminal_ ? (lastDrawMs_ >= 0 && ms - lastDrawMs_ < kProgressRedrawMs && done < total)
                  : percent / 10 == lastTenth_)
        return;
    lastDrawMs_ = ms;
    lastTenth_ = percent / 10;
    const double seconds = ms / double(kMsPerSecond);
    const double rate = seconds > 0 ? lineBytes / seconds : 0;
    const int left = done > 0 ? int(seconds * (total - done) / done + 0.5) : 0;
    const QString line = QStringLiteral("%1% %2/%3 payloads %4 B/s %5:%6 left")
                             .arg(percent, 3)
                             .arg(done)
                             .arg(total)
                             .arg(qRound64(rate))
                             .arg(left / 60)
                             .arg(left % 60, 2, 10, QLatin1Char('0'));
    const QByteArray bytes = (terminal_ ? "\r" + line + "\x1b[K" : line + '\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void Output::endProgress() {
    if (terminal_ && lastDrawMs_ >= 0)
        std::fputs("\n", stderr);
    lastDrawMs_ = -1;
}

} // namespace zqctl
