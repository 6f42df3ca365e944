#pragma once
// Where zqctl's words go: answers and results on standard output (text or one
// JSON object per line), complaints, warnings and the progress line on
// standard error. With several units, a line of text starts with the unit's
// port, a terminal shows one progress line per unit, and in JSON the answers
// and results are gathered into one object per unit at the end (see Units.h)
// while the unit's reports, which a unit can send without end, go out as they
// come and are counted. An output that closes (a pipe into `head`) is said
// once on standard error; the work on the units goes on.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QString>
#include <QStringList>

#include "Printed.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace zqctl {

struct UnitSummary;

// Standard output and standard error, shared by the units of a run. Every
// call takes the lock, so lines of different units never mix.
class Screen {
public:
    Screen(bool json, int units);

    bool json() const { return json_; }
    bool severalUnits() const { return progress_.size() > 1; }
    bool terminal() const { return terminal_; }
    // Standard output carries a file (`--out -`): answers and results go to
    // standard error instead, so that the file stays whole.
    void keepStdoutForData() { results_ = stderr; }
    // The file itself, on standard output.
    static bool writeData(const QByteArray &bytes);

    // Lines of results (standard output) or of complaints (standard error).
    void print(bool complaint, const QStringList &lines);
    // The progress line of unit `slot`. On a terminal the lines are redrawn in
    // place below everything else; otherwise each goes out as a line.
    void progress(int slot, const QString &line, bool now);
    // Unit `slot` is done with its progress line; once every unit is, the
    // lines stay on the terminal as they are.
    void endProgress(int slot);

private:
    void eraseProgressLocked();
    void drawProgressLocked();
    void putLocked(FILE *stream, const QStringList &lines);

    std::mutex mutex_;
    const bool json_;
    const bool terminal_; // standard error is a terminal
    FILE *results_ = stdout;
    bool resultsClosed_ = false;    // writing the results failed once: they are dropped
    std::vector<QString> progress_; // per unit; empty until its first line
    std::vector<bool> ended_;
    int drawnLines_ = 0; // progress lines on the terminal now
    QElapsedTimer lastDraw_;
};

// One unit's voice. Without a port (a single unit) the lines need no name and
// have none; with one, they start with "PORT: " so that the lines of several
// units can be told apart.
class Output {
public:
    Output(Screen &screen, int slot = 0, const QString &port = QString());

    // An answer of the unit, as text lines or one JSON object.
    void answer(const Printed &printed);
    // A frame the unit sent that answers nothing that was asked (its own
    // error report, a late answer): a warning line, or a JSON object
    // {"report": "unit", ...}.
    void report(const Printed &printed);
    // A result of zqctl's own ("Wrote 1018 payloads ..."), labelled `kind` in JSON.
    void result(const QString &kind, const QString &text, bool failed = false,
                const QJsonObject &extra = QJsonObject());
    // A problem, a refusal or a warning, always on standard error as "zqctl: text".
    void complain(const QString &text);

    // The progress line of a long write: percent, payloads, line speed, time left.
    void progress(int done, int total, qint64 lineBytes);
    void endProgress();

    bool json() const { return screen_.json(); }
    Screen &screen() { return screen_; }
    // With several units in JSON, the unit's closing object: its summary, the
    // answers and results a single-unit run would have printed ("events"), and
    // its complaints (the first kKeptComplaints; "more_complaints" counts the rest).
    QJsonObject closing(const UnitSummary &summary) const;

    static constexpr int kKeptComplaints = 50;

private:
    void emitJson(const QJsonObject &object);
    QStringList prefixed(const QStringList &lines) const;

    Screen &screen_;
    const int slot_;
    const QString prefix_; // "PORT: " or empty
    const bool gather_;    // several units in JSON
    QJsonArray events_;
    QStringList complaints_;
    int moreComplaints_ = 0;
    QElapsedTimer started_;
    int lastTenth_ = -1;
};

} // namespace zqctl
