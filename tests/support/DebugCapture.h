#pragma once
// Captures the program's debug lines for comparison as text. Lines come from
// the GUI thread and from the link's sender thread ("Send : ", "Thread
// stoped"), so the list is guarded.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <functional>
#include <mutex>

namespace DebugCapture {

// Decides which lines are kept; by default every one.
using Filter = std::function<bool(QtMsgType, const QString &)>;

struct State {
    std::mutex mutex;
    QStringList lines;
    Filter keep;
};
inline State &state() {
    static State s;
    return s;
}
inline void handler(QtMsgType type, const QMessageLogContext &, const QString &message) {
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.keep || s.keep(type, message))
        s.lines.append(message);
}
inline void install(Filter keep = {}) {
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        state().keep = std::move(keep);
    }
    qInstallMessageHandler(handler);
}
inline QStringList lines() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().lines;
}
inline QStringList take() {
    std::lock_guard<std::mutex> lock(state().mutex);
    QStringList out;
    out.swap(state().lines);
    return out;
}
inline void clear() {
    take();
}
inline bool contains(const QString &line) {
    return lines().contains(line);
}
inline QString last() {
    const QStringList all = lines();
    return all.isEmpty() ? QString() : all.last();
}

// For those that compare no debug lines: drops them (the link prints every
// frame byte), and the offscreen platform's warning about fixed-size windows;
// prints the rest.
inline void dropDebugLines(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtDebugMsg && !message.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace DebugCapture
