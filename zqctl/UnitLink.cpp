#include "UnitLink.h"

#include <QDateTime>
#include <QEventLoop>
#include <QSerialPortInfo>
#include <QTimer>

#include "AnswerText.h"
#include "PayloadFeeder.h"
#include "uart.h"

#include <cstdio>

namespace zqctl {

namespace {

constexpr int kLinkWaitMarginMs = 1000;

FrameLog *messageLog = nullptr;
// Per thread: the "Send : " block comes from the link's sender thread, other
// diagnostics from the GUI thread, and they may interleave.
thread_local bool sendLines = false; // inside a "Send : " block of per-byte lines

void handleMessage(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        std::fprintf(stderr, "zqctl: %s\n", qPrintable(text));
        return;
    }
    // Editions 4 and 5 print "Send : " and then each frame byte on a line of
    // its own; the log shows the frame on one line instead.
    if (sendLines) {
        bool number = !text.isEmpty();
        for (QChar c : text)
            number = number && c.isDigit();
        if (number)
            return;
    }
    if (text.startsWith(QLatin1String("Send :"))) {
        sendLines = true;
        return;
    }
    sendLines = false;
    if (messageLog)
        messageLog->line(QStringLiteral("# ") + text);
}

} // namespace

bool FrameLog::open(const QString &path) {
    file_.setFileName(path);
    return file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
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

UnitLink::UnitLink(int edition, int answerWaitMs, FrameLog *log) : edition_(edition), log_(log) {
    // zqctl gives up on an answer after answerWaitMs; the link must not give
    // up first, or it would send the next payload and that payload's answer
    // would pass for the lost one.
    uart::setAnswerWait(answerWaitMs + kLinkWaitMarginMs);
}

UnitLink::~UnitLink() {
    delete feeder_;
    delete link_; // stops the sender thread before the port goes
    port_.close();
}

bool UnitLink::open(const QString &port, int baud, QString *error) {
    QString name = port;
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
    port_.setPortName(name);
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // Connected before the link's own reader, so the log sees the bytes first.
    connect(&port_, &QSerialPort::readyRead, this, &UnitLink::logReceived);
    connect(&port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError)
            return;
        portError_ = port_.errorString();
        emit changed();
    });
    if (!port_.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot open %1: %2").arg(port, port_.errorString());
        return false;
    }
    portError_.clear();
    link_ = new uart(&port_, edition_);
    connect(link_, &uart::receivedData, this, [this](quint8 length, quint8 *buffer) {
        // The buffer is the link's and valid during this call only.
        inbox_.enqueue(QByteArray(reinterpret_cast<const char *>(buffer), length));
        emit changed();
    });
    if (log_) {
        // Logged on the sender thread the moment it takes the entry, before the
        // frame is written, so the line always comes before the answer's.
        connect(link_, &uart::entryTaken, this, &UnitLink::logSent, Qt::DirectConnection);
    }
    connect(link_, &uart::writeSignal, this, [this](const QByteArray &frame) {
        ++framesWritten_;
        bytesWritten_ += frame.size();
        emit changed();
    });
    return true;
}

void UnitLink::logReceived() {
    const QByteArray bytes = port_.peek(port_.bytesAvailable());
    bytesRead_ += bytes.size();
    if (!log_)
        return;
    zq::FrameReceiver::Sink sink;
    sink.payload = [this](quint8, quint8 *) {
        log_->line(QStringLiteral("< ") + hexBytes(logPending_));
        logPending_.clear();
    };
    sink.diagnostic = [this](const QString &why) {
        log_->line(QStringLiteral("< ") + hexBytes(logPending_) + QStringLiteral(" (") + why + ')');
        logPending_.clear();
    };
    for (char b : bytes) {
        logPending_.append(b);
        logFrames_.feed(reinterpret_cast<const quint8 *>(&b), 1, sink);
        if (logFrames_.rFrameCounter == zq::FrameReceiver::Stopped)
            logFrames_.reset(); // the link waits for a reset here; the log goes on
    }
}

void UnitLink::logSent() {
    std::lock_guard<std::mutex> lock(unloggedMutex_);
    if (!unlogged_.isEmpty())
        log_->line(QStringLiteral("> ") + hexBytes(zq::buildFrame(unlogged_.dequeue(), false)));
}

void UnitLink::send(const QByteArray &payload) {
    if (log_) {
        std::lock_guard<std::mutex> lock(unloggedMutex_);
        unlogged_.enqueue(payload);
    }
    link_->enqueuePayload(makeUartPayload(payload));
}

void UnitLink::feed(const QVector<QByteArray> &payloads) {
    if (log_) {
        std::lock_guard<std::mutex> lock(unloggedMutex_);
        for (const QByteArray &p : payloads)
            unlogged_.enqueue(p);
    }
    if (!feeder_)
        feeder_ = new PayloadFeeder(link_);
    feeder_->start(payloads);
}

void UnitLink::abandon() {
    if (feeder_)
        feeder_->abandon();
    link_->resetUartQueue();
    std::lock_guard<std::mutex> lock(unloggedMutex_);
    unlogged_.clear();
}

void UnitLink::waitFor(const std::function<bool()> &done, int waitMs) {
    if (done() || portFailed())
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto connection = connect(this, &UnitLink::changed, &loop, [&] {
        if (done() || portFailed())
            loop.quit();
    });
    timer.start(waitMs);
    loop.exec();
    disconnect(connection);
}

std::optional<QByteArray> UnitLink::nextAnswer(int waitMs) {
    waitFor([this] { return !inbox_.isEmpty(); }, waitMs);
    if (inbox_.isEmpty())
        return std::nullopt;
    return inbox_.dequeue();
}

bool UnitLink::waitWritten(int frames, int waitMs) {
    waitFor([&] { return framesWritten_ >= frames; }, waitMs);
    if (framesWritten_ < frames)
        return false;
    port_.flush();
    return port_.bytesToWrite() == 0 || port_.waitForBytesWritten(waitMs);
}

} // namespace zqctl
