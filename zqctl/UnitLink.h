#pragma once
// zqctl's end of the serial line to one unit: the port, the frame receiver and
// the --log file. One payload goes out at a time, and the call waits for the
// answer that repeats its code; whatever else the unit sends meanwhile (its own
// error reports, a late answer) is handed to onReport and never taken for the
// answer. After a frame, checksum or end-byte error the receiver is reset at
// once, so the next frame is read.
//
// The calls block (the port's own waits, no event loop), so a command reads as
// a plain sequence of send and wait, and each unit of a multi-unit run can
// have a thread of its own. The windows' link (`uart`) frees the line on any
// answer, as the windows' documented behaviour wants; this one must not.

#include <QByteArray>
#include <QFile>
#include <QQueue>
#include <QSerialPort>
#include <QString>

#include "frame.h"

#include <functional>
#include <mutex>

namespace zqctl {

// The --log file: frames sent (>) and received (<) and diagnostics (#), each
// line time-stamped, the access code's bytes shown as "**". Created readable
// by its owner only: it holds the unit's traffic. Shared by the units of a
// multi-unit run, so lines are written under a lock.
class FrameLog {
public:
    bool open(const QString &path, QString *error);
    bool isOpen() const { return file_.isOpen(); }
    void line(const QString &text);

private:
    std::mutex mutex_;
    QFile file_;
};

// Diagnostics of the libraries go to the log when there is one; warnings to
// standard error. Standard output stays for answers alone.
void installMessageHandler(FrameLog *log);

class UnitLink {
public:
    // What ended a wait for an answer.
    enum class Heard {
        Answer,     // the paired answer, in `payload`
        Unreadable, // a frame with the right code came damaged; `why` says how
        Nothing,    // the wait ran out
        PortFailed, // see portError()
    };
    struct Arrival {
        Heard heard = Heard::Nothing;
        QByteArray payload;
        QString why;
    };

    // `logPrefix` starts each of this link's log lines (the port, with several units).
    UnitLink(FrameLog *log, const QString &logPrefix);

    // Opens a device path or a port name from the system's list, 8N1.
    bool open(const QString &port, int baud, QString *error);

    // Frames `payload` (no checksum, as the windows send it) and writes it.
    bool send(const QByteArray &payload);
    // Waits up to `waitMs` for the next frame whose code is `code`. Frames with
    // other codes go to onReport on the way; -1 waits for none of them.
    Arrival await(int code, int waitMs);

    // Every well-formed frame that was not the awaited answer.
    std::function<void(const QByteArray &payload)> onReport;

    qint64 lineBytes() const { return bytesWritten_ + bytesRead_; } // both directions
    int reports() const { return reports_; }
    QString portError() const { return portError_; }

private:
    struct Frame {
        QByteArray payload;
        QString damage; // empty for a sound frame
    };
    void take(const QByteArray &bytes);
    void logFrame(char direction, const QByteArray &bytes, const QString &note = QString());
    bool portFailed(const QString &what);

    FrameLog *log_;
    const QString logPrefix_;
    QSerialPort port_;
    zq::FrameReceiver receiver_;
    zq::FrameReceiver::Sink sink_;
    bool resetReceiver_ = false;
    QByteArray logPending_; // bytes of the frame being received, for the log
    QQueue<Frame> inbox_;
    qint64 bytesWritten_ = 0;
    qint64 bytesRead_ = 0;
    int reports_ = 0;
    QString portError_;
};

} // namespace zqctl
