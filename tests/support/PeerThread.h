#pragma once
// A unit played on a thread of its own at one end of a pseudo-terminal: each
// payload that arrives in a frame goes to `answer`, and each payload it
// returns goes back at once in a frame of its own (no checksum), so answers
// race the other side's wait for them.

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <thread>

#include <poll.h>
#include <unistd.h>

#include "frame.h"

class PeerThread {
public:
    using Answer = std::function<QList<QByteArray>(const QByteArray &payload)>;

    PeerThread(int fd, Answer answer)
        : fd_(fd), answer_(std::move(answer)), thread_([this] { run(); }) {}
    ~PeerThread() {
        stop_ = true;
        thread_.join();
    }
    PeerThread(const PeerThread &) = delete;
    PeerThread &operator=(const PeerThread &) = delete;

private:
    void run() {
        zq::FrameReceiver rx;
        zq::FrameReceiver::Sink sink;
        sink.payload = [this](quint8 length, quint8 *buffer) {
            const QByteArray payload(reinterpret_cast<const char *>(buffer), length);
            for (const QByteArray &answer : answer_(payload)) {
                const QByteArray frame = zq::buildFrame(answer, false);
                (void)!::write(fd_, frame.constData(), size_t(frame.size()));
            }
        };
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                rx.feed(reinterpret_cast<const quint8 *>(buffer), int(n), sink);
        }
    }

    const int fd_;
    const Answer answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_; // last: it runs on everything above
};
