#include "uart.h"

#include <QDebug>
#include <QSerialPort>

#include <atomic>
#include <chrono>
#include <cstring>

namespace {
std::atomic<int> answerWaitMs{uart::kAnswerWaitMs};
}

UartPayload makeUartPayload(const QByteArray &bytes, bool withChecksum) {
    UartPayload entry;
    entry.length = quint8(qMin(bytes.size(), zq::kMaxPayloadLength));
    entry.withChecksum = withChecksum;
    entry.data = new quint8[qMax<int>(entry.length, 1)];
    std::memcpy(entry.data, bytes.constData(), entry.length);
    return entry;
}

void uart::setAnswerWait(int ms) { answerWaitMs = ms; }

uart::uart(QSerialPort *port, int edition)
    : port(port), edition(edition),
      frames(edition == 1 ? zq::FrameReceiver::ErrorPolicy::DropBatchAndReset
                          : zq::FrameReceiver::ErrorPolicy::Report) {
    connect(port, &QSerialPort::readyRead, this, &uart::readFrame);
    connect(this, &uart::receivedFrameError, this, &uart::resetUartQueue);
    connect(this, &uart::writeSignal, this, &uart::writeUart);
    // A resource error means the device went away (a unit unplugged, its
    // pseudo-terminal closed). Every write then fails at once and the port's
    // write notifier fires without end, a busy loop in the GUI thread; closed,
    // the port is quiet until the start window opens it again.
    connect(port, &QSerialPort::errorOccurred, this, [port](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError && port->isOpen())
            port->close();
    });
    start();
}

uart::~uart() {
    requestInterruption();
    {
        std::lock_guard<std::mutex> lock(waitMutex);
        answerArrived = true;
        answerCondition.notify_one();
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queueCondition.notify_one();
    }
    wait();
    {
        // The sender's last act was releasing this lock, so taking it orders
        // the clean-up after the sender in a way the thread sanitizer can see.
        std::lock_guard<std::mutex> lock(queueMutex);
        for (const UartPayload &entry : qAsConst(uartQueue))
            delete[] entry.data;
        uartQueue.clear();
    }
    qDebug() << "Destroy uart";
}

void uart::enqueuePayload(UartPayload entry) {
    std::lock_guard<std::mutex> lock(queueMutex);
    if (uartQueue.size() >= kQueueLimit) {
        delete[] entry.data; // dropped without a word, as the unit's tools always did
        return;
    }
    uartQueue.enqueue(entry);
    queueCondition.notify_one();
}

int uart::queuedCount() const {
    std::lock_guard<std::mutex> lock(queueMutex);
    return uartQueue.size();
}

void uart::run() {
    quint8 frame[zq::kMaxFrameLength];
    for (;;) {
        UartPayload entry;
        {
            std::unique_lock<std::mutex> lock(queueMutex);
            queueCondition.wait(lock,
                                [this] { return !uartQueue.isEmpty() || isInterruptionRequested(); });
            if (isInterruptionRequested())
                break;
            entry = uartQueue.dequeue();
        }
        emit entryTaken();
        const qint16 count = zq::buildFrame(entry.data, entry.length, entry.withChecksum, frame);
        delete[] entry.data;
        if (count == 0)
            continue; // an empty payload is never framed

        std::unique_lock<std::mutex> lock(waitMutex);
        answerArrived = false;
        lock.unlock();
        emit writeSignal(QByteArray(reinterpret_cast<const char *>(frame), count));
        // The frame's debug lines cost a system call each; written while the
        // frame is on its way they overlap the line time instead of delaying
        // every frame (the answer, if it comes meanwhile, is remembered).
        if (edition >= 4) {
            qDebug() << "Send : ";
            for (int i = 0; i < count; ++i)
                qDebug() << int(frame[i]);
        }
        lock.lock();
        // Whatever ends the wait, the entry is done: a time-out is not retried.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(answerWaitMs.load());
        answerCondition.wait_until(lock, deadline,
                                   [this] { return answerArrived || isInterruptionRequested(); });
        answerArrived = false;
    }
    qDebug() << "Thread stoped";
}

void uart::endAnswerWait() {
    std::lock_guard<std::mutex> lock(waitMutex);
    answerArrived = true;
    answerCondition.notify_one();
}

void uart::resetUartQueue() {
    frames.reset();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        for (const UartPayload &entry : qAsConst(uartQueue))
            delete[] entry.data;
        uartQueue.clear();
    }
    emit queueCleared();
    endAnswerWait();
}

void uart::deliverPayload(quint8 length, quint8 *buffer) {
    emit receivedData(length, buffer);
    endAnswerWait(); // after the handlers have returned
}

void uart::readFrame() {
    const QByteArray bytes = port->readAll();
    if (bytes.isEmpty()) {
        qDebug().noquote() << "Reading Serial Port error : " + port->errorString();
        return;
    }
    zq::FrameReceiver::Sink sink;
    sink.payload = [this](quint8 length, quint8 *buffer) { deliverPayload(length, buffer); };
    sink.diagnostic = [](const QString &line) { qDebug().noquote() << line; };
    if (!frames.feed(bytes, sink))
        emit receivedFrameError();
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
