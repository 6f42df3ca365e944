#pragma once
// The serial link: the only way a window talks to the unit. Windows hand it
// payloads; it frames them and writes them one at a time, each only after the
// unit answered the one before, the link was reset, or the answer wait ran
// out. In the other direction it parses what the port receives and hands
// each complete payload to the window through receivedData.
//
// The port belongs to the GUI thread, so frames are written there: at once
// when a payload arrives on an idle link, and right after the answer that
// frees the line. The link's own thread (run()) keeps the answer wait: when
// it runs out it frees the line and has the GUI thread send the next frame.
// No thread hand-off sits between an answer and the next frame.

#include <QByteArray>
#include <QQueue>
#include <QSerialPort>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "frame.h"

// One transmit entry. `data` is a heap buffer (new quint8[length]) that passes
// to the link with the entry; the link releases it exactly once.
struct UartPayload {
    quint8 *data = nullptr;
    quint8 length = 0;
    bool withChecksum = false;
};

// Copies `bytes` (at most 255) into a fresh entry for enqueuePayload.
UartPayload makeUartPayload(const QByteArray &bytes, bool withChecksum = false);

class uart : public QThread {
    Q_OBJECT
public:
    static constexpr int kAnswerWaitMs = 5000; // one frame in flight at most this long
    static constexpr int kQueueLimit = 26;     // waiting entries; the frame in flight not counted
    // Read or write failures in a row, with nothing read between them, that
    // mean the device is gone even without a resource error.
    static constexpr int kFailuresForLoss = 3;

    // What spoilt bytes read from the port.
    using ReadFault = zq::FrameDamage;

    // `edition` selects the unit generation's link habits: editions 4 and 5
    // print every frame sent; edition 1 drops a bad batch and resets the link.
    explicit uart(QSerialPort *port, int edition = 5);
    ~uart() override;

    // GUI thread. Appends the entry unless kQueueLimit entries already wait,
    // in which case it is dropped (and its buffer released) and false is
    // returned, so that the caller can say so. On an idle link the entry's
    // frame is written before this returns. Once the port is lost every entry
    // is dropped so.
    bool enqueuePayload(UartPayload entry);
    // Entries waiting to be sent.
    int queuedCount() const;
    // No frame in flight and no entry waiting.
    bool isIdle() const;
    // The device went away (portLost): every entry is dropped from then on.
    bool isPortLost() const;

    // Changes the answer wait of every link in the process. The programs keep
    // kAnswerWaitMs; only tests shorten it.
    static void setAnswerWait(int ms);

    // Receiver state (frame format fields rFrameCounter, rLength, rBuffer, rIndex, rChecksum).
    const zq::FrameReceiver &receiver() const { return frames; }

signals:
    void receivedData(quint8 length, quint8 *buffer);
    void receivedFrameError();
    // Every frame, as it goes to the port (GUI thread; connected to writeUart).
    void writeSignal(const QByteArray &frame);
    // An entry left the queue to be sent: there is room for another.
    void entryTaken();
    // resetUartQueue emptied the queue; whoever feeds a long sequence stops.
    void queueCleared();
    // The frame in flight is done (its answer handled, or its answer wait ran
    // out) and no other frame has gone out since: the line is free (GUI thread).
    void lineFreed();
    // The frame in flight got no answer within the answer wait; lineFreed
    // follows (GUI thread).
    void answerMissed();
    // The frame in flight will get no readable answer: its answer wait ran out
    // (right after answerMissed), or in edition 1 a bad frame reset the link.
    // `fault` is what spoilt the bytes read since the last answer (None:
    // nothing came); `sentMsAgo` is how long ago the frame went out.
    void answerLost(uart::ReadFault fault, qint64 sentMsAgo);
    // The device went away (an adapter pulled, a pseudo-terminal closed): the
    // port is closed and nothing more is sent; right after this the queue is
    // emptied (queueCleared). `reason` is the port's own error text. Once.
    void portLost(const QString &reason);

public slots:
    void resetUartQueue();
    void readFrame();
    void writeUart(const QByteArray &frame);

protected:
    void run() override;

private slots:
    // Sends the next waiting entry if no frame is in flight (GUI thread).
    void sendNextIfIdle();
    // The link's thread found the answer wait run out (GUI thread).
    void answerWaitEnded();
    void portError(QSerialPort::SerialPortError error);

private:
    void deliverPayload(quint8 length, quint8 *buffer);
    void noteReadFault(ReadFault fault);
    qint64 msSinceSent() const;
    void losePort(const QString &reason);
    QByteArray takeNextFrameLocked(bool *wakeLinkThread);

    QSerialPort *port;
    const int edition;
    zq::FrameReceiver frames;
    int failuresInARow = 0; // GUI thread
    // What spoilt the bytes read since the last payload was delivered or the
    // receiver was reset (GUI thread). A receiver stopped by a bad end byte or
    // held by a checksum mismatch keeps it until the reset.
    ReadFault readFault = ReadFault::None;

    // Standard (pthread-based) locks rather than QMutex, so that the thread
    // sanitizer sees every hand-off between the GUI thread and the link's thread.
    QQueue<UartPayload> uartQueue;
    mutable std::mutex queueMutex; // guards the queue and the frame in flight
    // The link's thread sleeps here: without end while no frame is in
    // flight, until the answer deadline while one is.
    std::condition_variable answerCondition;
    bool inFlight = false;
    bool portGone = false; // set (GUI thread) once the device went away
    std::chrono::steady_clock::time_point answerDeadline;
    std::chrono::steady_clock::time_point sentAt; // of the frame in flight
    // The link thread waits with no deadline: a new frame in flight must wake
    // it. Otherwise it wakes at its last deadline and finds the new one itself,
    // so a busy line costs no wake-ups.
    bool linkThreadIdle = false;
};
