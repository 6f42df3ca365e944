#include "Output.h"

#include <QJsonDocument>

#include "Summary.h"
#include "TimeUnits.h"

#include <algorithm>
#include <unistd.h>

namespace zqctl {

namespace {

constexpr qint64 kProgressRedrawMs = 200; // terminal lines redrawn at most this often
constexpr int kSecondsPerMinute = 60;

bool put(FILE *stream, const QStringList &lines) {
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + '\n';
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

QString compact(const QJsonObject &object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

Screen::Screen(bool json, int units)
    : json_(json), terminal_(::isatty(STDERR_FILENO) == 1), progress_(size_t(qMax(units, 1))),
      ended_(progress_.size(), false) {}

bool Screen::writeData(const QByteArray &bytes) {
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    return std::fflush(stdout) == 0 && written;
}

void Screen::eraseProgressLocked() {
    if (drawnLines_ == 0)
        return;
    // Up to the first progress line, and everything from there down cleared.
    std::fprintf(stderr, "\x1b[%dA\r\x1b[J", drawnLines_);
    std::fflush(stderr);
    drawnLines_ = 0;
}

void Screen::drawProgressLocked() {
    QStringList lines;
    for (const QString &line : progress_) {
        if (!line.isEmpty())
            lines << line + QStringLiteral("\x1b[K");
    }
    put(stderr, lines);
    drawnLines_ = lines.size();
    lastDraw_.start();
}

void Screen::putLocked(FILE *stream, const QStringList &lines) {
    if (stream != results_ || stream == stderr) {
        put(stream, lines);
        return;
    }
    if (resultsClosed_ || put(stream, lines))
        return;
    // A reader that went away (`| head -3`) must not end the work on a unit.
    resultsClosed_ = true;
    put(stderr, {QStringLiteral("zqctl: standard output is closed; the work on the units goes "
                                "on, and the exit status tells how it ended")});
}

void Screen::print(bool complaint, const QStringList &lines) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool redraw = drawnLines_ > 0;
    eraseProgressLocked();
    putLocked(complaint ? stderr : results_, lines);
    if (redraw)
        drawProgressLocked();
}

void Screen::progress(int slot, const QString &line, bool now) {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_[size_t(slot)] = line;
    if (!terminal_) {
        put(stderr, {line});
        return;
    }
    if (!now && lastDraw_.isValid() && lastDraw_.elapsed() < kProgressRedrawMs)
        return;
    eraseProgressLocked();
    drawProgressLocked();
}

void Screen::endProgress(int slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_[size_t(slot)] = true;
    if (std::find(ended_.begin(), ended_.end(), false) != ended_.end())
        return;
    // Every unit is done: the last lines stay where they are.
    if (terminal_ && drawnLines_ > 0) {
        eraseProgressLocked();
        drawProgressLocked();
    }
    drawnLines_ = 0;
    std::fill(progress_.begin(), progress_.end(), QString());
    std::fill(ended_.begin(), ended_.end(), false);
}

Output::Output(Screen &screen, int slot, const QString &port)
    : screen_(screen), slot_(slot),
      prefix_(port.isEmpty() ? QString() : port + QStringLiteral(": ")),
      gather_(screen.json() && screen.severalUnits()) {}

QStringList Output::prefixed(const QStringList &lines) const {
    if (prefix_.isEmpty())
        return lines;
    QStringList out;
    for (const QString &line : lines)
        out << prefix_ + line;
    return out;
}

void Output::emitJson(const QJsonObject &object) {
    if (gather_)
        events_.append(object);
    else
        screen_.print(false, {compact(object)});
}

void Output::answer(const Printed &printed) {
    if (json())
        emitJson(printed.json);
    else
        screen_.print(false, prefixed(printed.lines));
}

void Output::report(const Printed &printed) {
    if (json()) {
        QJsonObject object = printed.json;
        object.remove(QStringLiteral("failed"));
        object.insert(QStringLiteral("report"), QStringLiteral("unit"));
        // Never gathered: a unit may report without end. With several
        // units, the port tells whose it is.
        if (gather_)
            object.insert(QStringLiteral("port"), prefix_.chopped(2));
        screen_.print(false, {compact(object)});
        return;
    }
    const QString payload = printed.json.value(QStringLiteral("payload")).toString();
    const QString text = printed.lines.isEmpty() ? payload
                                                 : printed.lines.join(QStringLiteral("; ")) +
                                                       QStringLiteral(" (") + payload + ')';
    screen_.print(true,
                  {QStringLiteral("zqctl: ") + prefix_ + QStringLiteral("unit report: ") + text});
}

void Output::result(const QString &kind, const QString &text, bool failed,
                    const QJsonObject &extra) {
    if (!json()) {
        screen_.print(false, prefixed({text}));
        return;
    }
    QJsonObject object = noteJson(kind, text, failed);
    for (auto it = extra.begin(); it != extra.end(); ++it)
        object.insert(it.key(), it.value());
    emitJson(object);
}

void Output::complain(const QString &text) {
    if (gather_ && complaints_.size() < kKeptComplaints)
        complaints_ << text;
    else if (gather_)
        ++moreComplaints_;
    screen_.print(true, {QStringLiteral("zqctl: ") + prefix_ + text});
}

QJsonObject Output::closing(const UnitSummary &summary) const {
    QJsonObject object = summaryJson(summary);
    object.insert(QStringLiteral("events"), events_);
    object.insert(QStringLiteral("complaints"), QJsonArray::fromStringList(complaints_));
    if (moreComplaints_ > 0)
        object.insert(QStringLiteral("more_complaints"), moreComplaints_);
    return object;
}

void Output::progress(int done, int total, qint64 lineBytes) {
    if (!started_.isValid())
        started_.start();
    const qint64 ms = started_.elapsed();
    const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
    // On a terminal the line is redrawn in place; into a file or pipe, one line
    // per tenth keeps a log readable.
    if (!screen_.terminal() && percent / 10 == lastTenth_)
        return;
    lastTenth_ = percent / 10;
    const double seconds = ms / double(zq::kMsPerSecond);
    const double rate = seconds > 0 ? lineBytes / seconds : 0;
    const int left = done > 0 ? int(seconds * (total - done) / done + 0.5) : 0;
    const QString line = QStringLiteral("%1%2% %3/%4 payloads %5 B/s %6:%7 left")
                             .arg(prefix_)
                             .arg(percent, 3)
                             .arg(done)
                             .arg(total)
                             .arg(qRound64(rate))
                             .arg(left / kSecondsPerMinute)
                             .arg(left % kSecondsPerMinute, 2, 10, QLatin1Char('0'));
    screen_.progress(slot_, line, done == total);
}

void Output::endProgress() {
    screen_.endProgress(slot_);
    lastTenth_ = -1;
}

} // namespace zqctl
