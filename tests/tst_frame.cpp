// The frame format: building, and the receiver fed in any split.
#include <QtTest>

#include "Bytes.h"
#include "frame.h"

using zq::FrameReceiver;

namespace {
struct Run {
    QList<QByteArray> payloads;
    QStringList diagnostics;
    int resets = 0;
};

// Feeds `stream` split into batches at the given offsets.
Run feedSplit(FrameReceiver &rx, const QByteArray &stream, const QList<int> &cuts) {
    Run run;
    FrameReceiver::Sink sink;
    sink.payload = [&](quint8 length, quint8 *buffer) {
        run.payloads.append(QByteArray(reinterpret_cast<char *>(buffer), length));
    };
    sink.fault = [&](const FrameReceiver::Fault &fault) { run.diagnostics.append(fault.line); };
    int from = 0;
    QList<int> ends = cuts;
    ends.append(stream.size());
    for (int end : ends) {
        if (!rx.feed(stream.mid(from, end - from), sink)) {
            rx.reset();
            ++run.resets;
        }
        from = end;
    }
    return run;
}
} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void build_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("checksum");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("0D plain") << bytes({0x0D}) << false
                                  << bytes({0x0F, 0x0F, 1, 0x0D, 0, 0xAA});
        QTest::newRow("0D checked")
            << bytes({0x0D}) << true << bytes({0x0F, 0x0F, 1, 0x0D, 0xFF, 0xF3, 0xAA});
        QTest::newRow("08 01 checked")
            << bytes({8, 1}) << true << bytes({0x0F, 0x0F, 2, 8, 1, 0xFF, 0xF7, 0xAA});
        QTest::newRow("sum wraps to 0")
            << bytes({0x80, 0x80}) << true << bytes({0x0F, 0x0F, 2, 0x80, 0x80, 0xFF, 0x00, 0xAA});
        QTest::newRow("empty never framed") << QByteArray() << true << QByteArray();
    }
    void build() {
        QFETCH(QByteArray, payload);
        QFETCH(bool, checksum);
        QFETCH(QByteArray, frame);
        QCOMPARE(zq::buildFrame(payload, checksum), frame);
    }

    void longestFrame() {
        const QByteArray payload(255, char(0xAA));
        const QByteArray frame = zq::buildFrame(payload, true);
        QCOMPARE(frame.size(), 261);
        FrameReceiver rx;
        const Run run = feedSplit(rx, frame, {});
        QCOMPARE(run.payloads, QList<QByteArray>{payload});
        QVERIFY(run.diagnostics.isEmpty());
    }

    // Every split point of a stream of two frames (one with checksum, with
    // payload bytes equal to the frame's own markers) delivers both, whole.
    void everySplit() {
        const QByteArray a = bytes({0x0F, 0xFF, 0xAA, 0x00});
        const QByteArray b = bytes({0x3E, 4, 7});
        const QByteArray stream = zq::buildFrame(a, true) + zq::buildFrame(b, false);
        for (int i = 0; i <= stream.size(); ++i) {
            for (int j = i; j <= stream.size(); j += 3) {
                FrameReceiver rx;
                const Run run = feedSplit(rx, stream, {i, j});
                QCOMPARE(run.payloads, (QList<QByteArray>{a, b}));
                QVERIFY2(run.diagnostics.isEmpty(), qPrintable(run.diagnostics.join('|')));
            }
        }
    }

    void receive_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("payloads");
        QTest::addColumn<QStringList>("diagnostics");
        QTest::addColumn<int>("stateAfter");
        const QString frameErr = QStringLiteral("Frame error, rFrameCounter = %1");
        QTest::newRow("empty payload, no checksum")
            << bytes({0x0F, 0x0F, 0, 0, 0xAA}) << QList<QByteArray>{QByteArray()} << QStringList()
            << 0;
        QTest::newRow("empty payload, checksum 0")
            << bytes({0x0F, 0x0F, 0, 0xFF, 0, 0xAA}) << QList<QByteArray>{QByteArray()}
            << QStringList() << 0;
        QTest::newRow("noise before a frame")
            << bytes({0x55, 0x01, 0x0F, 0x0F, 1, 4, 0, 0xAA}) << QList<QByteArray>{bytes({4})}
            << QStringList{frameErr.arg(0), frameErr.arg(0)} << 0;
        QTest::newRow("noise between start bytes")
            << bytes({0x0F, 0x55, 0x0F, 1, 4, 0, 0xAA}) << QList<QByteArray>{bytes({4})}
            << QStringList{frameErr.arg(1)} << 0;
        QTest::newRow("other marker means no checksum")
            << bytes({0x0F, 0x0F, 1, 4, 0x37, 0xAA}) << QList<QByteArray>{bytes({4})}
            << QStringList() << 0;
        QTest::newRow("bad end byte stops until reset")
            << bytes({0x0F, 0x0F, 1, 4, 0, 0x55, 0x0F, 0x0F, 1, 3, 0, 0xAA}) << QList<QByteArray>()
            << QStringList{frameErr.arg(6)} << 6;
        QTest::newRow("checksum mismatch, then the right byte")
            << bytes({0x0F, 0x0F, 1, 0x0D, 0xFF, 0x00, 0x01, 0xF3, 0xAA})
            << QList<QByteArray>{bytes({0x0D})}
            << QStringList{QStringLiteral(
                               "Checksum error, Calculated checksum = 243; Received checksum = 0"),
                           QStringLiteral(
                               "Checksum error, Calculated checksum = 243; Received checksum = 1")}
            << 0;
        QTest::newRow("frame cut short waits")
            << bytes({0x0F, 0x0F, 3, 1, 2}) << QList<QByteArray>() << QStringList() << 99;
    }
    void receive() {
        QFETCH(QByteArray, stream);
        QFETCH(QList<QByteArray>, payloads);
        QFETCH(QStringList, diagnostics);
        QFETCH(int, stateAfter);
        FrameReceiver rx;
        const Run run = feedSplit(rx, stream, {});
        QCOMPARE(run.payloads, payloads);
        QCOMPARE(run.diagnostics, diagnostics);
        QCOMPARE(int(rx.rFrameCounter), stateAfter);
    }

    void stateDuringDelivery() {
        FrameReceiver rx;
        int seen = -1;
        FrameReceiver::Sink sink;
        sink.payload = [&](quint8, quint8 *) { seen = rx.rFrameCounter; };
        rx.feed(bytes({0x0F, 0x0F, 1, 4, 0, 0xAA}), sink);
        QCOMPARE(seen, 6);
        QCOMPARE(int(rx.rFrameCounter), 0);
    }

    // The oldest firmware's policy: silent, the rest of the batch dropped, reset asked.
    void dropBatchPolicy_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<int>("payloadsFromFirst");
        QTest::newRow("bad start byte") << bytes({0x55, 0x0F, 0x0F, 1, 4, 0, 0xAA}) << 0;
        QTest::newRow("bad end byte")
            << bytes({0x0F, 0x0F, 1, 4, 0, 0x55, 0x0F, 0x0F, 1, 3, 0, 0xAA}) << 0;
        QTest::newRow("checksum") << bytes({0x0F, 0x0F, 1, 4, 0xFF, 0, 0x0F, 0x0F, 1, 3, 0, 0xAA})
                                  << 0;
        QTest::newRow("good frame first")
            << bytes({0x0F, 0x0F, 1, 4, 0, 0xAA, 0x55, 0x0F, 0x0F, 1, 3, 0, 0xAA}) << 1;
    }
    void dropBatchPolicy() {
        QFETCH(QByteArray, first);
        QFETCH(int, payloadsFromFirst);
        FrameReceiver rx(FrameReceiver::ErrorPolicy::DropBatchAndReset);
        const QByteArray second = zq::buildFrame(bytes({13}), false);
        const Run run = feedSplit(rx, first + second, {first.size()});
        QCOMPARE(run.resets, 1);
        QVERIFY(run.diagnostics.isEmpty());
        QCOMPARE(run.payloads.size(), payloadsFromFirst + 1);
        QCOMPARE(run.payloads.last(), bytes({13}));
    }
};

QTEST_APPLESS_MAIN(TestFrame)
#include "tst_frame.moc"
