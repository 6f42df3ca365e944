#pragma once
// Where zqctl's words go: answers and results on standard output (text or one
// JSON object per line), complaints and the progress line on standard error.

#include <QElapsedTimer>
#include <QString>

#include "AnswerText.h"

#include <cstdio>

namespace zqctl {

class Output {
public:
    explicit Output(bool json);

    // An answer of the unit, as text lines or one JSON object.
    void answer(const Printed &printed);
    // A result of zqctl's own ("Wrote 1018 payloads ..."), labelled `kind` in JSON.
    void result(const QString &kind, const QString &text, bool failed = false);
    // A problem or refusal, always on standard error as "zqctl: text".
    void complain(const QString &text);

    // The progress line of a long write: percent, payloads, line speed, time left.
    void progress(int done, int total, qint64 lineBytes);
    void endProgress();

    bool json() const { return json_; }
    // Standard output carries a file (`--out -`): answers and results go to
    // standard error instead, so that the file stays whole.
    void keepStdoutForData() { results_ = stderr; }
    // The file itself, on standard output.
    static bool writeData(const QByteArray &bytes);

private:
    bool json_;
    FILE *results_ = stdout;
    bool terminal_; // standard error is a terminal: redraw one line in place
    QElapsedTimer started_;
    qint64 lastDrawMs_ = -1;
    int lastTenth_ = -1;
};

} // namespace zqctl
