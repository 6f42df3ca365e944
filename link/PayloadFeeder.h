#pragma once
// Feeds a long run of payloads (a firmware image is over a thousand) into a
// link whose queue holds only uart::kQueueLimit entries: it tops the queue up
// each time the link takes an entry to send, so every payload goes out in order,
// the line never idles while payloads are pending, and the GUI thread never
// blocks. A link reset abandons what is left.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QVector>

class uart;

class PayloadFeeder : public QObject {
    Q_OBJECT
public:
    explicit PayloadFeeder(uart *link, QObject *parent = nullptr);

    // Starts feeding `payloads`; refuses (returns false) while a run is going.
    bool start(QVector<QByteArray> payloads);
    // Drops what has not been handed to the link yet.
    void abandon();

    bool isRunning() const { return next_ < payloads_.size(); }
    int handedOver() const { return next_; }
    int total() const { return payloads_.size(); }

signals:
    void progress(int handedOver, int total);
    void finished();  // the last payload was handed to the link
    void abandoned(); // a link reset, a link that took nothing more, or abandon() cut the run short

private slots:
    void topUp();
    void onQueueCleared();

private:
    QPointer<uart> link_;
    QVector<QByteArray> payloads_;
    int next_ = 0;
};
