#pragma once
// The serial link: the only way a window talks to the unit. Windows hand it
// payloads; a sender thread frames them and has them written one at a time,
// waiting for the unit's answer (or a reset, or the answer wait) before the
// next. In the other direction it parses what the port receives and hands
// each complete payload to the window through receivedData.

#include <QByteArray>
#include <QQueue>
#include <QThread>

#include <condition_variable>
#include <mutex>

#include "frame.h"

class QSerialPort;

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

    // `edition` selects the unit generation's link habits: editions 4 and 5
    // print every frame sent; edition 1 drops a bad batch and resets the link.
    explicit uart(QSerialPort *port, int edition = 5);
    ~uart() override;

    // GUI thread. Appends the entry unless kQueueLimit entries already wait,
    // in which case it is dropped silently (and its buffer released).
    void enqueuePayload(UartPayload entry);
    // Entries waiting to be sent.
    int queuedCount() const;

    // Changes the answer wait of every link in the process. The consoles keep
    // kAnswerWaitMs; tests shorten it, and the command-line tool honours its
    // --timeout option.
    static void setAnswerWait(int ms);

    // Receiver state (frame format fields rFrameCounter, rLength, rBuffer, rIndex, rChecksum).
    const zq::FrameReceiver &receiver() const { return frames; }

signals:
    void receivedData(quint8 length, quint8 *buffer);
    void receivedFrameError();
    // Frame bytes from the sender thread to the port's thread, as a copy.
    void writeSignal(const QByteArray &frame);
    // The sender took an entry off the queue: there is room for another.
    void entryTaken();
    // resetUartQueue emptied the queue; whoever feeds a long sequence stops.
    void queueCleared();

public slots:
    void resetUartQueue();
    void readFrame();
    void writeUart(const QByteArray &frame);

protected:
    void run() override;

private:
    void deliverPayload(quint8 length, quint8 *buffer);
    void endAnswerWait();

    QSerialPort *port;
    const int edition;
    zq::FrameReceiver frames;

    // Standard (pthread-based) locks rather than QMutex, so that the thread
    // sanitizer sees every hand-off between the GUI thread and the sender.
    QQueue<UartPayload> uartQueue;
    mutable std::mutex queueMutex;
    std::condition_variable queueCondition; // the sender sleeps here while the queue is empty

    std::mutex waitMutex;
    std::condition_variable answerCondition;
    bool answerArrived = false; // under waitMutex: remembers an answer that beat the wait
};
