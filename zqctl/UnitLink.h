#pragma once
// zqctl's end of the serial line: the port, the same `uart` the consoles use,
// an inbox of answers, and the --log file. Calls wait in a local event loop,
// so a command reads as a plain sequence of send and wait.

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QQueue>
#include <QSerialPort>
#include <QVector>

#include "frame.h"

#include <mutex>
#include <optional>

class PayloadFeeder;
class uart;

namespace zqctl {

// The --log file: frames sent and received and the link's diagnostics, each
// line time-stamped. Written from the GUI thread and the link's sender thread,
// under a standard mutex so that the thread sanitizer sees the hand-off.
class FrameLog {
public:
    bool open(const QString &path);
    bool isOpen() const { return file_.isOpen(); }
    void line(const QString &text);

private:
    std::mutex mutex_;
    QFile file_;
};

// Routes the link's debug output: the per-byte "Send : " lines stay out of
// sight (the log has the frames already), other diagnostics go to `log` when
// there is one. Standard output stays for answers alone.
void installMessageHandler(FrameLog *log);

class UnitLink : public QObject {
    Q_OBJECT
public:
    UnitLink(int edition, int answerWaitMs, FrameLog *log);
    ~UnitLink() override;

    // Opens a device path or a port name from the system's list, 8N1.
    bool open(const QString &port, int baud, QString *error);

    void send(const QByteArray &payload);
    // Hands a long run to the link as room frees up (a firmware image).
    void feed(const QVector<QByteArray> &payloads);
    // Stops a run, empties the link's queue and ends its wait for an answer.
    void abandon();

    // The next answer, waiting up to `waitMs`; nothing on a time-out or a port error.
    std::optional<QByteArray> nextAnswer(int waitMs);
    // Waits until `frames` frames in all have gone to the port.
    bool waitWritten(int frames, int waitMs);

    int framesWritten() const { return framesWritten_; }
    qint64 lineBytes() const { return bytesWritten_ + bytesRead_; } // both directions
    bool portFailed() const { return !portError_.isEmpty(); }
    QString portError() const { return portError_; }

signals:
    void changed(); // an answer, a written frame or a port error

private:
    void logReceived();
    void logSent(); // sender thread
    void waitFor(const std::function<bool()> &done, int waitMs);

    const int edition_;
    FrameLog *log_;
    QSerialPort port_;
    uart *link_ = nullptr;
    PayloadFeeder *feeder_ = nullptr;
    QQueue<QByteArray> inbox_;
    int framesWritten_ = 0;
    qint64 bytesWritten_ = 0;
    qint64 bytesRead_ = 0;
    QString portError_;
    // A receiver of our own that splits the received bytes into frames for the log.
    zq::FrameReceiver logFrames_;
    QByteArray logPending_;
    // Payloads handed to the link and not yet taken by its sender, for the log.
    std::mutex unloggedMutex_;
    QQueue<QByteArray> unlogged_;
};

} // namespace zqctl
