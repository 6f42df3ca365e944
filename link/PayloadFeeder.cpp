#include "PayloadFeeder.h"

#include "uart.h"

PayloadFeeder::PayloadFeeder(uart *link, QObject *parent) : QObject(parent), link_(link) {
    connect(link, &uart::entryTaken, this, &PayloadFeeder::topUp, Qt::QueuedConnection);
    connect(link, &uart::queueCleared, this, &PayloadFeeder::onQueueCleared);
}

bool PayloadFeeder::start(QVector<QByteArray> payloads) {
    if (isRunning())
        return false;
    payloads_ = std::move(payloads);
    next_ = 0;
    topUp();
    return true;
}

void PayloadFeeder::abandon() {
    if (!isRunning())
        return;
    payloads_.clear();
    next_ = 0;
    emit abandoned();
}

void PayloadFeeder::onQueueCleared() {
    abandon();
}

void PayloadFeeder::topUp() {
    if (!link_ || !isRunning())
        return;
    const int before = next_;
    while (next_ < payloads_.size() && link_->queuedCount() < uart::kQueueLimit)
        // There was room, so a refusal means the link sends nothing more (its
        // port is gone): the rest would vanish the same way.
        if (!link_->enqueuePayload(makeUartPayload(payloads_.at(next_++)))) {
            abandon();
            return;
        }
    if (next_ == before)
        return;
    emit progress(next_, payloads_.size());
    if (next_ == payloads_.size()) {
        payloads_.clear();
        next_ = 0;
        emit finished();
    }
}
