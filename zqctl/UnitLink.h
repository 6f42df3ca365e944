#pragma once
// zqctl's end of the serial line to one unit: the port, the frame receiver and
// the --log file. It sends a payload and hands over the frames that come, one
// at a time; which of them answers what is the session's business (UnitSession.h),
// which owns the link and is the only one to use it. After a frame, checksum
// or end-byte error the receiver is reset at once, so the next frame is read.
//
// The calls block (the port's own waits, no event loop), so a command reads as
// a plain sequence of send and wait, and each unit of a multi-unit run can
// have a thread of its own. The windows' link (`uart`) frees the line on any
// answer, whatever its code, since a window shows every answer that comes;
// this one must not, since a run trusts an answer only when it can only be
// the answer to its own payload.

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
    // Refuses anything but a regular file: a FIFO would hold zqctl up before
    // anything is sent, and a device is not a log.
    bool open(const QString &path, QString *error);
    bool isOpen() const { return file_.isOpen(); }
    void line(const QString &text);
    // Told once, at the first line that cannot be written; the log is then closed.
    std::function<void(const QString &why)> onFailure;

private:
    std::mutex mutex_;
    QFile file_;
    QString path_;
};

// Diagnostics of the libraries go to the log when there is one; warnings to
// standard error. Standard output stays for answers alone.
void installMessageHandler(FrameLog *log);

// The device a --port names: a device path as given, or the path of a port
// name from the system's list; empty when the name is not listed.
QString portDevicePath(const QString &port);
// What tells one device from another whatever path names it (a symlink, a
// by-id path, "/dev//pts/./3"); empty when the path cannot be looked at.
QString deviceIdentity(const QString &devicePath);

class UnitLink {
public:
    // What came from the unit.
    struct Incoming {
        enum Kind {
            Frame,      // a sound frame: `payload`
            Damaged,    // a whole frame, damaged at its end: `payload`, `damage` says how
            Nothing,    // the wait ran out
            PortFailed, // see portError()
        } kind = Nothing;
        QByteArray payload;
        QString damage;
    };

    // `logPrefix` starts each of this link's log lines (the port, with several units).
    UnitLink(FrameLog *log, const QString &logPrefix);

    // Opens a device path or a port name from the system's list, 8N1.
    bool open(const QString &port, int baud, QString *error);

    // Frames `payload` (no checksum, as the windows send it) and writes it.
    bool send(const QByteArray &payload);
    // The next frame, within `waitMs` (0: only what has come already).
    Incoming next(int waitMs);
    // Part of a frame has come and the rest is awaited.
    bool midFrame() const { return receiver_.midFrame(); }
    // Drops what the port holds and any frame begun.
    void dropInput();

    qint64 lineBytes() const { return bytesWritten_ + bytesRead_; } // both directions
    QString portError() const { return portError_; }

private:
    void take(const QByteArray &bytes);
    void logFrame(char direction, const QByteArray &bytes, const QString &note = QString());
    Incoming portFailed(const QString &what);

    FrameLog *log_;
    const QString logPrefix_;
    QSerialPort port_;
    zq::FrameReceiver receiver_{zq::FrameReceiver::ErrorPolicy::ReportAndRestart};
    zq::FrameReceiver::Sink sink_;
    QByteArray logPending_; // bytes of the frame being received, for the log
    QQueue<Incoming> inbox_;
    qint64 bytesWritten_ = 0;
    qint64 bytesRead_ = 0;
    QString portError_;
};

} // namespace zqctl
