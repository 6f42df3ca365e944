#include "uart.h"

#include <QDebug>
#include <QSerialPort>

#include <atomic>
#include <chrono>
#include <cstring>
#include <utility>

#include <poll.h>

namespace {
std::atomic<int> answerWaitMs{uart::kAnswerWaitMs};
// Why the port was lost when the device itself went away: after reads that
// return nothing the port's own error text names something unrelated.
const QString hungUp = QStringLiteral("the device hung up");
} // namespace

UartPayload makeUartPayload(const QByteArray &bytes, bool withChecksum) {
    UartPayload entry;
    entry.length = quint8(qMin(bytes.size(), zq::kMaxPayloadLength));
    entry.withChecksum = withChecksum;
    entry.data = new quint8[qMax<int>(entry.length, 1)];
    std::memcpy(entry.data, bytes.constData(), entry.length);
    return entry;
}

void uart::setAnswerWait(int ms) {
    answerWaitMs = ms;
}

uart::uart(QSerialPort *port, int edition)
    : port(port), edition(edition),
      frames(edition == 1 ? zq::FrameReceiver::ErrorPolicy::DropBatchAndReset
                          : zq::FrameReceiver::ErrorPolicy::Report) {
    connect(port, &QSerialPort::readyRead, this, &uart::readFrame);
    connect(this, &uart::receivedFrameError, this, &uart::resetUartQueue);
    connect(this, &uart::writeSignal, this, &uart::writeUart);
    connect(port, &QSerialPort::errorOccurred, this, &uart::portError);
    connect(&hangUpCheck, &QTimer::timeout, this, &uart::checkHangUp);
    hangUpCheck.start(kHangUpCheckMs);
    start();
}

uart::~uart() {
    requestInterruption();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        answerCondition.notify_one();
    }
    wait();
    {
        // The link thread's last act was releasing this lock, so taking it
        // orders the clean-up after it in a way the thread sanitizer can see.
        std::lock_guard<std::mutex> lock(queueMutex);
        for (const UartPayload &entry : std::as_const(uartQueue))
            delete[] entry.data;
        uartQueue.clear();
    }
    qDebug() << "Destroy uart";
}

bool uart::enqueuePayload(UartPayload entry) {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        if (portGone || uartQueue.size() >= kQueueLimit) {
            delete[] entry.data;
            return false;
        }
        uartQueue.enqueue(entry);
    }
    if (QThread::currentThread() == thread())
        sendNextIfIdle();
    else
        QMetaObject::invokeMethod(this, &uart::sendNextIfIdle, Qt::QueuedConnection);
    return true;
}

int uart::queuedCount() const {
    std::lock_guard<std::mutex> lock(queueMutex);
    return uartQueue.size();
}

bool uart::isIdle() const {
    std::lock_guard<std::mutex> lock(queueMutex);
    return !inFlight && uartQueue.isEmpty();
}

bool uart::isPortLost() const {
    std::lock_guard<std::mutex> lock(queueMutex);
    return portGone;
}

qint64 uart::msSinceSent() const {
    std::lock_guard<std::mutex> lock(queueMutex);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 sentAt)
        .count();
}

// Takes the first entry and frames it; the frame is then in flight until its
// answer, a reset or the answer deadline. An empty entry is taken and dropped
// (an empty frame comes back): it is never framed.
QByteArray uart::takeNextFrameLocked(bool *wakeLinkThread) {
    const UartPayload entry = uartQueue.dequeue();
    quint8 frame[zq::kMaxFrameLength];
    const qint16 count = zq::buildFrame(entry.data, entry.length, entry.withChecksum, frame);
    delete[] entry.data;
    if (count == 0)
        return QByteArray();
    inFlight = true;
    sentAt = std::chrono::steady_clock::now();
    answerDeadline = sentAt + std::chrono::milliseconds(answerWaitMs.load());
    *wakeLinkThread = linkThreadIdle;
    return QByteArray(reinterpret_cast<const char *>(frame), count);
}

void uart::sendNextIfIdle() {
    for (;;) {
        QByteArray frame;
        bool wakeLinkThread = false;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            if (inFlight || uartQueue.isEmpty())
                return;
            frame = takeNextFrameLocked(&wakeLinkThread);
        }
        emit entryTaken();
        if (frame.isEmpty())
            continue;
        emit writeSignal(frame);
        if (wakeLinkThread) // after the write: the frame goes first, the deadline keeper after
            answerCondition.notify_one();
        // One line per byte, each a system call: written after the frame, so
        // they overlap its time on the line instead of delaying it.
        if (edition >= 4) {
            qDebug() << "Send : ";
            for (const char byte : frame)
                qDebug() << int(quint8(byte));
        }
        return;
    }
}

// The answer wait. Whatever ends it (an answer, a reset, the deadline), the
// entry is done: a frame left unanswered is not sent again.
void uart::run() {
    std::unique_lock<std::mutex> lock(queueMutex);
    while (!isInterruptionRequested()) {
        if (!inFlight) {
            linkThreadIdle = true;
            answerCondition.wait(lock);
            linkThreadIdle = false;
        } else if (std::chrono::steady_clock::now() < answerDeadline) {
            answerCondition.wait_until(lock, answerDeadline);
        } else {
            inFlight = false;
            QMetaObject::invokeMethod(this, &uart::answerWaitEnded, Qt::QueuedConnection);
        }
    }
    lock.unlock();
    qDebug() << "Thread stoped";
}

void uart::resetUartQueue() {
    frames.reset();
    readFault = ReadFault::None;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        for (const UartPayload &entry : std::as_const(uartQueue))
            delete[] entry.data;
        uartQueue.clear();
        inFlight = false; // the link thread finds it so at its deadline
    }
    emit queueCleared();
}

void uart::answerWaitEnded() {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        if (inFlight) // another frame went out meanwhile; its own end will say so
            return;
    }
    emit answerMissed();
    emit answerLost(readFault, msSinceSent());
    emit lineFreed();
    sendNextIfIdle();
}

void uart::deliverPayload(quint8 length, quint8 *buffer) {
    readFault = ReadFault::None;
    emit receivedData(length, buffer);
    {
        // After the handlers have returned: the line is free. The link thread
        // needs no wake-up; it finds this at its deadline.
        std::lock_guard<std::mutex> lock(queueMutex);
        inFlight = false;
    }
    emit lineFreed();
    sendNextIfIdle();
}

// A device that went away shows as a resource error, or (a pseudo-terminal
// whose other end closed, a serial adapter hung up) as reads that return
// nothing for good: the port's read notifier then fires without end, a busy
// loop in the GUI thread. Either way the port is closed, which quiets it
// until the start window opens it again.
void uart::portError(QSerialPort::SerialPortError error) {
    if (portGone)
        return;
    if (error == QSerialPort::ResourceError)
        losePort(port->errorString());
    else if ((error == QSerialPort::ReadError || error == QSerialPort::WriteError) &&
             ++failuresInARow >= kFailuresForLoss)
        losePort(hungUp);
}

void uart::checkHangUp() {
    if (portGone || !port->isOpen())
        return;
    pollfd line{int(port->handle()), 0, 0};
    if (::poll(&line, 1, 0) == 1 && (line.revents & POLLHUP))
        losePort(hungUp);
}

void uart::losePort(const QString &reason) {
    hangUpCheck.stop();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        portGone = true;
    }
    if (port->isOpen())
        port->close();
    // Said before the queue goes, so that a window can tell what was cut short.
    emit portLost(reason);
    resetUartQueue();
}

void uart::readFrame() {
    const QByteArray bytes = port->readAll();
    if (bytes.isEmpty()) {
        qDebug().noquote() << "Reading Serial Port error : " + port->errorString();
        return;
    }
    failuresInARow = 0;
    zq::FrameReceiver::Sink sink;
    sink.payload = [this](quint8 length, quint8 *buffer) { deliverPayload(length, buffer); };
    sink.fault = [this](const zq::FrameReceiver::Fault &fault) {
        noteReadFault(fault.damage);
        qDebug().noquote() << fault.line;
    };
    const zq::FrameReceiver::Fed fed = frames.feed(bytes, sink);
    if (fed)
        return;
    // Edition 1: the reset that follows ends the frame in flight unanswered.
    noteReadFault(fed.stoppedBy);
    bool frameInFlight = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        frameInFlight = inFlight;
    }
    if (frameInFlight)
        emit answerLost(readFault, msSinceSent());
    emit receivedFrameError();
}

// Noise does not hide a worse fault seen since the last answer.
void uart::noteReadFault(ReadFault fault) {
    if (fault != ReadFault::Noise || readFault == ReadFault::None)
        readFault = fault;
}

void uart::writeUart(const QByteArray &frame) {
    // A port closed after a resource error takes nothing: a failed write.
    const qint64 written = port->isOpen() ? port->write(frame) : -1;
    if (written != frame.size())
        qDebug().noquote() << "Writing Serial Port error : " + port->errorString();
    // QSerialPort otherwise leaves the bytes in its buffer until the next
    // turn of the event loop; the unit should see the frame now.
    if (port->isOpen())
        port->flush();
}
