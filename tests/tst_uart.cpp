// The serial link against a scripted peer on a pseudo-terminal.
#include <QtTest>

#include <QSerialPort>

#include <memory>

#include "Bytes.h"
#include "DebugCapture.h"
#include "PeerThread.h"
#include "Pty.h"
#include "uart.h"

namespace {} // namespace

class TestUart : public QObject {
    Q_OBJECT

    std::unique_ptr<Pty> pty;
    std::unique_ptr<QSerialPort> port;

    uart *makeLink(int edition = 5) {
        pty = std::make_unique<Pty>();
        port = std::make_unique<QSerialPort>();
        port->setPortName(pty->slavePath());
        if (!port->open(QIODevice::ReadWrite))
            return nullptr;
        return new uart(port.get(), edition);
    }
    static void send(uart *link, std::initializer_list<int> payload) {
        link->enqueuePayload(makeUartPayload(bytes(payload)));
    }

private slots:
    void initTestCase() {
        DebugCapture::install();
        uart::setAnswerWait(1500);
    }
    void cleanup() {
        port.reset();
        pty.reset();
        DebugCapture::take();
        uart::setAnswerWait(1500);
    }

    void oneFrameInFlightInOrder() {
        std::unique_ptr<uart> link(makeLink());
        QVERIFY(link);
        for (int code : {1, 2, 3})
            send(link.get(), {code});
        QCOMPARE(pty->readPayloads(1, 1000), QList<QByteArray>{bytes({1})});
        QCOMPARE(pty->readPayloads(1, 300), QList<QByteArray>()); // still waiting for the answer
        pty->sendPayload(bytes({1, 0}));
        QCOMPARE(pty->readPayloads(1, 1000), QList<QByteArray>{bytes({2})});
        pty->sendPayload(bytes({2, 0}));
        QCOMPARE(pty->readPayloads(1, 1000), QList<QByteArray>{bytes({3})});
    }

    void answersReachTheWindow() {
        std::unique_ptr<uart> link(makeLink());
        QList<QByteArray> got;
        connect(link.get(), &uart::receivedData, this, [&](quint8 length, quint8 *buffer) {
            got.append(QByteArray(reinterpret_cast<char *>(buffer), length));
        });
        pty->write(zq::buildFrame(bytes({13, 1, 2, 17, 3}), true) +
                   zq::buildFrame(bytes({62, 4, 7}), false));
        QTRY_COMPARE(got.size(), 2);
        QCOMPARE(got, (QList<QByteArray>{bytes({13, 1, 2, 17, 3}), bytes({62, 4, 7})}));
    }

    void queueHoldsTwentySix() {
        std::unique_ptr<uart> link(makeLink());
        send(link.get(), {100});
        QCOMPARE(pty->readPayloads(1, 1000).size(), 1); // in flight
        for (int i = 0; i < 26; ++i)
            send(link.get(), {i});
        QVERIFY(!link->enqueuePayload(makeUartPayload(bytes({26})))); // the caller is told
        QCOMPARE(link->queuedCount(), 26);
        QList<QByteArray> sent;
        for (int i = 0; i < 27 && sent.size() < 27; ++i) {
            pty->sendPayload(bytes({0, 0}));
            const QList<QByteArray> next = pty->readPayloads(1, 400);
            if (next.isEmpty())
                break;
            sent += next;
        }
        QCOMPARE(sent.size(), 26);
        for (int i = 0; i < 26; ++i)
            QCOMPARE(sent.at(i), bytes({i}));
    }

    void emptyEntryIsSkipped() {
        std::unique_ptr<uart> link(makeLink());
        link->enqueuePayload(UartPayload{new quint8[1], 0, false});
        send(link.get(), {7});
        QCOMPARE(pty->readPayloads(2, 500), QList<QByteArray>{bytes({7})});
    }

    void resetWhileWaiting() {
        std::unique_ptr<uart> link(makeLink());
        for (int code : {1, 2, 3})
            send(link.get(), {code});
        QCOMPARE(pty->readPayloads(1, 1000).size(), 1);
        link->resetUartQueue();
        QCOMPARE(link->queuedCount(), 0);
        QCOMPARE(pty->readPayloads(1, 500), QList<QByteArray>());
        send(link.get(), {9}); // the sender was released: a new entry goes out at once
        QCOMPARE(pty->readPayloads(1, 500), QList<QByteArray>{bytes({9})});
    }

    void destroyWhileWaiting() {
        uart::setAnswerWait(uart::kAnswerWaitMs);
        uart *link = makeLink();
        send(link, {5});
        QCOMPARE(pty->readPayloads(1, 1000).size(), 1);
        DebugCapture::take();
        QElapsedTimer clock;
        clock.start();
        delete link;
        QVERIFY2(clock.elapsed() < 1000, "destruction must not wait out the answer wait");
        const QStringList log = DebugCapture::take();
        QCOMPARE(log.mid(log.size() - 2), (QStringList{"Thread stoped", "Destroy uart"}));
    }

    // With the real answer wait, answers that race the sender's wait must
    // never cost a full wait each.
    void earlyAnswersDoNotStall() {
        uart::setAnswerWait(uart::kAnswerWaitMs);
        std::unique_ptr<uart> link(makeLink());
        // Answers every frame at once with [code, 0].
        PeerThread peer(pty->masterFd(), [](const QByteArray &payload) {
            return QList<QByteArray>{bytes({payload.isEmpty() ? 0 : quint8(payload[0]), 0})};
        });
        int answers = 0;
        connect(link.get(), &uart::receivedData, this, [&] { ++answers; });
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; round < 10; ++round) {
            for (int i = 0; i < 20; ++i)
                send(link.get(), {i});
            QTRY_COMPARE_WITH_TIMEOUT(answers, (round + 1) * 20, 4000);
        }
        QVERIFY2(clock.elapsed() < uart::kAnswerWaitMs, "an answer was lost to the wait");
    }

    void realAnswerWaitWhenUnitIsSilent() {
        uart::setAnswerWait(uart::kAnswerWaitMs);
        std::unique_ptr<uart> link(makeLink());
        int missed = 0;
        QList<uart::ReadFault> lost;
        connect(link.get(), &uart::answerMissed, this, [&] { ++missed; });
        connect(link.get(), &uart::answerLost, this,
                [&](uart::ReadFault fault, qint64) { lost << fault; });
        send(link.get(), {1});
        send(link.get(), {2});
        QCOMPARE(pty->readPayloads(1, 1000).size(), 1);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(pty->readPayloads(1, 7000), QList<QByteArray>{bytes({2})});
        QVERIFY(clock.elapsed() > 4500);
        QCOMPARE(missed, 1);
        QCOMPARE(lost, QList<uart::ReadFault>{uart::ReadFault::None});
    }

    void sendLines_data() {
        QTest::addColumn<int>("edition");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("edition 5")
            << 5 << QStringList{"Send : ", "15", "15", "1", "13", "0", "170"};
        QTest::newRow("edition 4")
            << 4 << QStringList{"Send : ", "15", "15", "1", "13", "0", "170"};
        QTest::newRow("edition 3") << 3 << QStringList();
    }
    void sendLines() {
        QFETCH(int, edition);
        QFETCH(QStringList, lines);
        std::unique_ptr<uart> link(makeLink(edition));
        DebugCapture::take();
        send(link.get(), {0x0D});
        QCOMPARE(pty->readPayloads(1, 1000).size(), 1);
        QCOMPARE(DebugCapture::take(), lines);
    }

    void diagnostics() {
        std::unique_ptr<uart> link(makeLink(5));
        DebugCapture::take();
        pty->write(bytes({0x55, 0x0F, 0x0F, 1, 4, 0xFF, 0x00}));
        QTRY_COMPARE(DebugCapture::lines(),
                     (QStringList{"Frame error, rFrameCounter = 0",
                                  "Checksum error, Calculated checksum = 252; "
                                  "Received checksum = 0"}));
    }

    // Edition 1: a bad frame resets the receiver and empties the queue at once.
    void editionOneResetsOnBadFrame() {
        std::unique_ptr<uart> link(makeLink(1));
        int delivered = 0;
        QList<uart::ReadFault> lost;
        connect(link.get(), &uart::receivedData, this, [&] { ++delivered; });
        connect(link.get(), &uart::answerLost, this,
                [&](uart::ReadFault fault, qint64) { lost << fault; });
        for (int code : {1, 2, 3})
            send(link.get(), {code});
        QCOMPARE(pty->readPayloads(1, 1000).size(), 1);
        DebugCapture::take();
        pty->write(bytes({0x0F, 0x0F, 1, 4, 0, 0x55, 0x0F, 0x0F, 1, 4, 0, 0xAA}));
        QTRY_COMPARE(link->queuedCount(), 0);
        QCOMPARE(int(link->receiver().rFrameCounter), 0);
        QCOMPARE(delivered, 0); // the rest of that batch was dropped
        QCOMPARE(lost, QList<uart::ReadFault>{uart::ReadFault::EndByte}); // the frame in flight
        QCOMPARE(pty->readPayloads(1, 400), QList<QByteArray>());
        QVERIFY(DebugCapture::take().isEmpty());
        pty->sendPayload(bytes({4, 0})); // the receiver works again
        QTRY_COMPARE(delivered, 1);
    }
};

QTEST_GUILESS_MAIN(TestUart)
#include "tst_uart.moc"
