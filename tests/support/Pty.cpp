#include "Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty() {
    char name[256] = {};
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slave_ = slave;
    slavePath_ = QString::fromLocal8Bit(name);
}

Pty::~Pty() {
    hangUp();
}

void Pty::hangUp() {
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

bool Pty::write(const QByteArray &bytes) {
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 10);
            continue;
        }
        done += int(n);
    }
    return true;
}

bool Pty::sendPayload(const QByteArray &payload, bool withChecksum) {
    return write(zq::buildFrame(payload, withChecksum));
}

QByteArray Pty::read(int timeoutMs, int minBytes) {
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (out.size() < minBytes && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 2) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                out.append(buf, int(n));
        }
    }
    return out;
}

void Pty::parse(const QByteArray &bytes) {
    zq::FrameReceiver::Sink sink;
    sink.payload = [this](quint8 length, quint8 *buffer) {
        payloads_.append(QByteArray(reinterpret_cast<const char *>(buffer), length));
    };
    receiver_.feed(bytes, sink);
}

QList<QByteArray> Pty::readPayloads(int count, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (payloads_.size() < count && t.elapsed() < timeoutMs) {
        const QByteArray bytes = read(qMax<qint64>(1, timeoutMs - t.elapsed()), 1);
        parse(bytes);
    }
    return takePayloads();
}

QList<QByteArray> Pty::takePayloads() {
    QList<QByteArray> out;
    out.swap(payloads_);
    return out;
}
