#include "UnitLink.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSerialPortInfo>

#include "InputFile.h"
#include "Printed.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
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

// Who should join the dialout group: in a root shell run through sudo that
// is the user who ran sudo, not root; otherwise the user zqctl runs as.
QString userName() {
    const QByteArray sudoUser = qgetenv("SUDO_USER");
    if (::geteuid() == 0 && !sudoUser.isEmpty())
        return QString::fromLocal8Bit(sudoUser);
    if (const passwd *pw = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QStringLiteral("$USER");
}

} // namespace

bool FrameLog::open(const QString &path, QString *error) {
    if (!checkOutputFile(path, error))
        return false;
    // Created private before anything is written; an existing log keeps its mode.
    // Non-blocking, so that a FIFO put there since the check cannot hold zqctl up.
    const int fd =
        ::open(QFile::encodeName(path).constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, kLogFileMode);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = QStringLiteral("cannot write %1: %2")
                     .arg(path, fd < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                       : QStringLiteral("not a regular file; nothing was sent"));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = QStringLiteral("cannot write %1: %2").arg(path, file_.errorString());
        return false;
    }
    path_ = path;
    return true;
}

void FrameLog::line(const QString &text) {
    // The time is taken under the lock as well: the lines stay in time order,
    // and the C library's time-zone state is never read by two threads at once.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.isOpen())
        return;
    const QByteArray bytes =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ")).toUtf8() +
        text.toUtf8() + '\n';
    if (file_.write(bytes) == bytes.size() && file_.flush())
        return;
    // A full disk or a lost mount: said now, while the run goes on without it.
    const QString why = file_.errorString();
    file_.close();
    if (onFailure)
        onFailure(QStringLiteral("cannot write the log %1: %2; the run goes on without it")
                      .arg(path_, why));
}

void installMessageHandler(FrameLog *log) {
    messageLog = log;
    qInstallMessageHandler(handleMessage);
}

QString portDevicePath(const QString &port) {
    if (port.contains(QLatin1Char('/')))
        return port;
    // A bare name must be one the system lists, as the start window shows them.
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.portName() == port)
            return info.systemLocation();
    }
    return QString();
}

QString deviceIdentity(const QString &devicePath) {
    struct stat st {};
    if (devicePath.isEmpty() || ::stat(QFile::encodeName(devicePath).constData(), &st) != 0)
        return QString();
    // A device node is the device it stands for, wherever the node lies.
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("device %1").arg(quint64(st.st_rdev));
    return QStringLiteral("file %1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

UnitLink::UnitLink(FrameLog *log, const QString &logPrefix)
    : log_(log && log->isOpen() ? log : nullptr), logPrefix_(logPrefix) {
    sink_.payload = [this](quint8 length, quint8 *buffer) {
        logFrame('<', logPending_);
        logPending_.clear();
        Incoming in;
        in.kind = Incoming::Frame;
        in.payload = QByteArray(reinterpret_cast<const char *>(buffer), length);
        inbox_.enqueue(in);
    };
    sink_.fault = [this](const zq::FrameReceiver::Fault &fault) {
        logFrame('<', logPending_, fault.line);
        logPending_.clear();
        // A whole frame came, damaged at its end: the session asks for it
        // again. Bytes that open no frame (noise) are for the log only.
        if (fault.damage == zq::FrameDamage::Noise)
            return;
        Incoming in;
        in.kind = Incoming::Damaged;
        in.payload = QByteArray(reinterpret_cast<const char *>(fault.payload), fault.length);
        in.damage = fault.damage == zq::FrameDamage::Checksum ? QStringLiteral("a checksum error")
                                                              : QStringLiteral("a bad end byte");
        inbox_.enqueue(in);
    };
}

bool UnitLink::open(const QString &port, int baud, QString *error) {
    const QString path = portDevicePath(port);
    if (path.isEmpty()) {
        *error = QStringLiteral("no serial port named '%1'; 'zqctl ports' lists them").arg(port);
        return false;
    }
    port_.setPortName(path);
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot open %1: %2").arg(port, port_.errorString());
        if (port_.error() == QSerialPort::PermissionError)
            *error += QStringLiteral("; if no other program is using the port, add yourself to "
                                     "the dialout group with 'sudo adduser %1 dialout', then log "
                                     "in again")
                          .arg(userName());
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

UnitLink::Incoming UnitLink::portFailed(const QString &what) {
    portError_ = what + QStringLiteral(": ") + port_.errorString();
    Incoming in;
    in.kind = Incoming::PortFailed;
    return in;
}

bool UnitLink::send(const QByteArray &payload) {
    const QByteArray frame = zq::buildFrame(payload, false);
    logFrame('>', frame);
    if (!port_.isOpen() || port_.write(frame) != frame.size()) {
        portFailed(QStringLiteral("writing failed"));
        return false;
    }
    // The port keeps written bytes until its notifier fires, and there is no
    // event loop here: hand them to the driver now.
    port_.flush();
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(kWriteWaitMs)) {
            portFailed(QStringLiteral("writing failed"));
            return false;
        }
    }
    bytesWritten_ += frame.size();
    return true;
}

void UnitLink::take(const QByteArray &bytes) {
    bytesRead_ += bytes.size();
    // A byte at a time, so that the log pairs each frame and each fault with
    // the bytes that made it.
    for (const char byte : bytes) {
        if (log_)
            logPending_.append(byte);
        receiver_.feed(reinterpret_cast<const quint8 *>(&byte), 1, sink_);
    }
}

void UnitLink::dropInput() {
    if (port_.isOpen()) {
        take(port_.readAll()); // logged, then dropped with the rest
        port_.clear(QSerialPort::Input);
    }
    if (log_ && !logPending_.isEmpty())
        logFrame('<', logPending_, QStringLiteral("dropped"));
    logPending_.clear();
    receiver_.reset();
    inbox_.clear();
}

UnitLink::Incoming UnitLink::next(int waitMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (!inbox_.isEmpty())
            return inbox_.dequeue();
        if (!port_.isOpen())
            return portFailed(QStringLiteral("the port closed"));
        if (port_.bytesAvailable() > 0) {
            take(port_.readAll());
            continue;
        }
        const qint64 left = waitMs - clock.elapsed();
        if (left <= 0)
            return {};
        if (!port_.waitForReadyRead(int(left))) {
            const QSerialPort::SerialPortError error = port_.error();
            if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
                return portFailed(QStringLiteral("reading failed"));
            port_.clearError();
        }
    }
}

} // namespace zqctl
