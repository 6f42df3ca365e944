#pragma once
// A pseudo-terminal pair for tests: the program under test opens the slave
// path as its serial port, the test plays the unit on the master side.

#include <QByteArray>
#include <QList>
#include <QString>

#include "frame.h"

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isOpen() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }
    int slaveFd() const { return slave_; }

    // Closes both ends, as an adapter pulled out would: the program's port
    // sees the device go away.
    void hangUp();

    // Writes raw bytes to the program under test.
    bool write(const QByteArray &bytes);
    // Answers with one payload in a frame (no checksum unless asked).
    bool sendPayload(const QByteArray &payload, bool withChecksum = false);

    // Reads what the program wrote, running the Qt event loop meanwhile
    // (the link writes from the GUI thread). Returns after `timeoutMs` or as
    // soon as `minBytes` bytes have arrived.
    QByteArray read(int timeoutMs, int minBytes = 1);

    // Collects whole payloads of frames the program sent, until `count`
    // payloads arrived or `timeoutMs` passed.
    QList<QByteArray> readPayloads(int count, int timeoutMs);
    // Everything parsed so far and not yet returned.
    QList<QByteArray> takePayloads();

private:
    void parse(const QByteArray &bytes);
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up
    QString slavePath_;
    zq::FrameReceiver receiver_;
    QList<QByteArray> payloads_;
};
