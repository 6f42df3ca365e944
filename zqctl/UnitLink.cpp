#include "UnitLink.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSerialPortInfo>

#include "AnswerText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zqctl {

namespace {

// A frame of at most 261 bytes always fits the pseudo-terminal's or the
// driver's buffer; this only bounds a port that stopped taking bytes.
constexpr int kWriteWaitMs = 5000;
constexpr int kLogFileMode = 0600;

FrameLog *messageLog = nullptr;

void handleMessage(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        std::fprintf(stderr, "zqctl: %s\n", qPrintable(text));
        return;
    }
    if (messageLog)
        messageLog->line(QStringLiteral("# ") + text);
}

} // namespace

bool FrameLog::open(const QString &path, QString *error) {
    // Created private before anything is written; an existing log keeps its mode.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, kLogFileMode);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file_.errorString();
        return false;
    }
    return true;
}

void FrameLog::line(const QString &text) {
    // The time is taken under the lock as well: the lines stay in time order,
    // and the C library's time-zone state is never read by two threads at once.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.isOpen())
        return;
    file_.write(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ")).toUtf8() +
        text.toUtf8() + '\n');
    file_.flush();
}

void installMessageHandler(FrameLog *log) {
    messageLog = log;
    qInstallMessageHandler(handleMessage);
}

UnitLink::UnitLink(FrameLog *log, const QString &logPrefix)
    : log_(log && log->isOpen() ? log : nullptr), logPrefix_(logPrefix) {
    sink_.payload = [this](quint8 length, quint8 *buffer) {
        logFrame('<', logPending_);
        logPending_.clear();
        inbox_.enqueue({QByteArray(reinterpret_cast<const char *>(buffer), length), QString()});
    };
    sink_.diagnostic = [this](const QString &why) {
        logFrame('<', logPending_, why);
        logPending_.clear();
        resetReceiver_ = true;
        // A whole frame came, damaged at its end: an answer the caller may ask
        // for again. Bytes that open no frame (noise) are for the log only.
        if (receiver_.rFrameCounter == zq::FrameReceiver::WaitChecksum ||
            receiver_.rFrameCounter == zq::FrameReceiver::WaitEnd) {
            const QString damage = receiver_.rFrameCounter == zq::FrameReceiver::WaitChecksum
                                       ? QStringLiteral("a checksum error")
                                       : QStringLiteral("a bad end byte");
            inbox_.enqueue(
                {QByteArray(reinterpret_cast<const char *>(receiver_.rBuffer), receiver_.rIndex),
                 damage});
        }
    };
}

bool UnitLink::open(const QString &port, int baud, QString *error) {
    if (!port.contains(QLatin1Char('/'))) {
        // A bare name must be one the system lists, as the start window shows them.
        bool listed = false;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            listed = listed || info.portName() == port;
        if (!listed) {
            *error =
                QStringLiteral("no serial port named '%1'; 'zqctl ports' lists them").arg(port);
            return false;
        }
    }
    port_.setPortName(port);
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot open %1: %2").arg(port, port_.errorString());
        return false;
    }
    // What came before the port was opened answers nothing of this run (a
    // run cut short leaves its answers behind): it could only be mispaired.
    port_.clear(QSerialPort::Input);
    return true;
}

void UnitLink::logFrame(char direction, const QByteArray &bytes, const QString &note) {
    if (!log_)
        return;
    QString text = logPrefix_ + QLatin1Char(direction) + QLatin1Char(' ') + logHex(bytes);
    if (!note.isEmpty())
        text += QStringLiteral(" (") + note + QLatin1Char(')');
    log_->line(text);
}

bool UnitLink::portFailed(const QString &what) {
    portError_ = what + QStringLiteral(": ") + port_.errorString();
    return false;
}

bool UnitLink::send(const QByteArray &payload) {
    const QByteArray frame = zq::buildFrame(payload, false);
    logFrame('>', frame);
    if (!port_.isOpen() || port_.write(frame) != frame.size())
        return portFailed(QStringLiteral("writing failed"));
    // The port keeps written bytes until its notifier fires, and there is no
    // event loop here: hand them to the driver now.
    port_.flush();
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(kWriteWaitMs))
            return portFailed(QStringLiteral("writing failed"));
    }
    bytesWritten_ += frame.size();
    return true;
}

void UnitLink::take(const QByteArray &bytes) {
    bytesRead_ += bytes.size();
    // A byte at a time: after a bad end byte the receiver waits for a reset,
    // and a frame in the same read right behind it must not be lost.
    for (const char byte : bytes) {
        if (log_)
            logPending_.append(byte);
        receiver_.feed(reinterpret_cast<const quint8 *>(&byte), 1, sink_);
        if (resetReceiver_) {
            receiver_.reset();
            resetReceiver_ = false;
        }
    }
}

UnitLink::Arrival UnitLink::await(int code, int waitMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        while (!inbox_.isEmpty()) {
            const Frame frame = inbox_.dequeue();
            const bool paired = !frame.payload.isEmpty() && quint8(frame.payload[0]) == code;
            if (paired && frame.damage.isEmpty())
                return {Heard::Answer, frame.payload, QString()};
            if (paired)
                return {Heard::Unreadable, frame.payload, frame.damage};
            if (frame.damage.isEmpty()) {
                ++reports_;
                if (onReport)
                    onReport(frame.payload);
            }
        }
        if (!port_.isOpen()) {
            portFailed(QStringLiteral("the port closed"));
            return {Heard::PortFailed, {}, portError_};
        }
        if (port_.bytesAvailable() > 0) {
            take(port_.readAll());
            continue;
        }
        const qint64 left = waitMs - clock.elapsed();
        if (left <= 0)
            return {};
        if (!port_.waitForReadyRead(int(left))) {
            const QSerialPort::SerialPortError error = port_.error();
            if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) {
                portFailed(QStringLiteral("reading failed"));
                return {Heard::PortFailed, {}, portError_};
            }
            port_.clearError();
        }
    }
}

} // namespace zqctl
