// The simulated unit without its transport: what it answers, what it keeps,
// and what its line puts on the wire under each fault.

#include <QBitArray>
#include <QtTest>

#include "Bytes.h"
#include "Unit.h"
#include "Wire.h"

using namespace zq::sim;

namespace {

// Answers written as "04 00 | 3E 01 01"; "" for no answer.
QList<QByteArray> answers(const QString &text) {
    QList<QByteArray> out;
    for (const QString &part : text.split('|', Qt::SkipEmptyParts))
        out << QByteArray::fromHex(part.toLatin1());
    return out;
}

const QByteArray kCode = QByteArrayLiteral("qebor2751");
const QByteArray kWrongCode = QByteArrayLiteral("qebor2750");

QByteArray ask(Unit &unit, const QByteArray &payload) {
    const QList<QByteArray> a = unit.handle(payload);
    return a.size() == 1 ? a.first() : QByteArray("<" + QByteArray::number(a.size()) + " answers>");
}

constexpr qint64 kMs = 1000000;

} // namespace

class TestSimUnit : public QObject {
    Q_OBJECT
private slots:
    void freshAnswers_data();
    void freshAnswers();
    void readsBackAsWritten_data();
    void readsBackAsWritten();
    void countersCountFlashes_data();
    void countersCountFlashes();
    void standbyToggles();
    void bootloaderMemory();
    void bootloaderRefuses_data();
    void bootloaderRefuses();
    void noiseNeverStartsAFrame();
    void dropShareIsSeeded();
    void namedFrameFaults();
    void answerDelay();
    void pacedExchangeSchedule();
    void lineClockDoesNotDrift();
    void errorReportsOnSchedule();
    void badFrameDoesNotDeafenUnit();
};

void TestSimUnit::freshAnswers_data() {
    QTest::addColumn<QString>("editions");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const char *editions, const QByteArray &p, const char *a) {
        QTest::newRow(name) << QString(editions) << p << QString(a);
    };
    row("flash counter", "12345", hex("00"), "00 00 00 00");
    row("request counter", "12345", hex("01"), "01 00 00 00");
    row("charge voltage 270", "12345", hex("0A"), "0A 01 0E");
    row("temperature", "12345", hex("0B"), "0B 2B 19");
    row("version ed 5", "5", hex("0D"), "0D 05 00 15 05");
    row("save", "12345", hex("07"), "07 00");
    row("seq test start", "12345", hex("090A01F400"), "09 0A");
    row("seq test stop", "12345", hex("090B"), "09 0B");
    row("seq test period 0", "12345", hex("090A000000"), "09 0C");
    row("enter bootloader", "12345", hex("33"), "33 00");
    row("user program while running", "12345", hex("CC"), "CC 00");
    row("unknown code 63", "12345", hex("3F"), "3E 01 01");
    row("empty payload", "12345", QByteArray(), "3E 01 02");
    row("flash high, old", "123", hex("03"), "03 02");
    row("flash low, old", "123", hex("04"), "04 02");
    row("flash trigger 2", "45", hex("03"), "03 00");
    row("flash trigger 1", "45", hex("04"), "04 00");
    row("high level", "123", hex("0578"), "05 00");
    row("low level", "123", hex("062D"), "06 00");
    row("levels unknown later", "45", hex("0578"), "3E 01 01");
    row("read levels", "123", hex("08"), "08 C8 32");
    row("read trigger 1", "45", hex("0801"), "08 01 01 64 00 00");
    row("read trigger 3", "45", hex("0803"), "08 0C");
    row("voltage, no code, ed 1", "1", hex("0C010E"), "0C 00");
    row("voltage without code", "2345", hex("0C010E"), "0C 08");
    row("voltage with code", "2345", hex("0C010E") + kCode, "0C 00");
    row("voltage wrong code", "2345", hex("0C010E") + kWrongCode, "0C 08");
    row("voltage 301 V", "2345", hex("0C012D") + kCode, "0C 08");
    row("reset memory, ed 1", "1", hex("02"), "02 00");
    row("reset memory without code", "2345", hex("02"), "02 0D");
    row("reset memory wrong code", "2345", hex("02") + kWrongCode, "02 0D");
    row("reset memory", "2345", hex("02") + kCode, "02 00");
    row("diagnosis unknown", "1", hex("0E"), "3E 01 01");
    row("diagnosis", "2345", hex("0E"), "0E 00 00 00 00 19 00");
    row("standby unknown", "1", hex("10"), "3E 01 01");
    row("complete standby on", "2345", hex("10"), "10 10");
    row("partial standby on", "2345", hex("11"), "11 10");
    row("flash status unknown", "1", hex("12"), "3E 01 01");
    row("flash status, no flash yet", "2345", hex("12"), "12 03");
    row("reset controllers unknown", "1", hex("13"), "3E 01 01");
    row("reset HV controller", "2345", hex("13"), "");
    row("EEPROM status unknown", "12", hex("16"), "3E 01 01");
    row("EEPROM status", "345", hex("16"), "16 00 00");
    row("set trigger unknown", "123", hex("170164 0000"), "3E 01 01");
    row("set trigger 1", "45", hex("170164 0000"), "17 00");
    row("set trigger n=5", "45", hex("1805 0000000000 00000000000000000000"), "18 0C");
    row("set trigger short", "45", hex("18026432 03E8"), "18 0C");
    row("output mode 1", "45", hex("1901"), "19 00");
    row("output mode 2", "45", hex("1902"), "19 16");
    row("calibrate unknown", "1234", hex("1A"), "3E 01 01");
    row("calibrate", "5", hex("1A"), "1A 00");
    row("calibration status", "5", hex("1BFFFF"), "1B 19");
    row("calibration level 10", "5", hex("1B0A"), "1B 0A 00 20");
    row("calibration bad", "5", hex("1BFF00"), "1B 18");
}

void TestSimUnit::freshAnswers() {
    QFETCH(QString, editions);
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    for (QChar e : editions) {
        Unit unit(e.digitValue());
        QCOMPARE(unit.handle(payload), answers(expected));
    }
}

void TestSimUnit::readsBackAsWritten_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("resetRestores"); // the memory reset brings back the factory value
    QTest::newRow("trigger 1, two flashes") << 5 << hex("17 02 64 32 03E8 012C") << hex("0801")
                                            << hex("08 01 02 64 32 03E8 012C") << true;
    QTest::newRow("trigger 2, four flashes")
        << 4 << hex("18 04 0A 14 1E FF 0001 0002 FFFF 1234") << hex("0802")
        << hex("08 02 04 0A 14 1E FF 0001 0002 FFFF 1234") << true;
    QTest::newRow("trigger 2 leaves trigger 1")
        << 5 << hex("18 01 0A 0001") << hex("0801") << hex("08 01 01 64 0000") << true;
    QTest::newRow("refused sequence keeps the old one")
        << 5 << hex("17 02 64 32 03E8") << hex("0801") << hex("08 01 01 64 0000") << true;
    QTest::newRow("high level") << 3 << hex("05 78") << hex("08") << hex("08 78 32") << true;
    QTest::newRow("low level") << 1 << hex("06 2D") << hex("08") << hex("08 C8 2D") << true;
    QTest::newRow("voltage 300 V")
        << 5 << hex("0C 012C") + kCode << hex("0A") << hex("0A 012C") << false;
    QTest::newRow("voltage 200 V, ed 1")
        << 1 << hex("0C 00C8") << hex("0A") << hex("0A 00C8") << false;
    QTest::newRow("refused voltage")
        << 5 << hex("0C 0136") + kCode << hex("0A") << hex("0A 010E") << false;
    QTest::newRow("output mode in diagnosis")
        << 4 << hex("19 01") << hex("0E") << hex("0E 00 00 00 00 19 01") << true;
    QTest::newRow("seq test in diagnosis")
        << 2 << hex("09 0A 0064 05") << hex("0E") << hex("0E 00 00 00 01 19 00") << false;
}

void TestSimUnit::readsBackAsWritten() {
    QFETCH(int, edition);
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, expected);
    QFETCH(bool, resetRestores);
    Unit unit(edition);
    unit.handle(write);
    QCOMPARE(ask(unit, read), expected);

    unit.handle(edition == 1 ? hex("02") : hex("02") + kCode);
    Unit factory(edition);
    QCOMPARE(ask(unit, read), resetRestores ? ask(factory, read) : expected);
}

void TestSimUnit::countersCountFlashes_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("flashStatus");
    QTest::addColumn<QByteArray>("flashes");
    QTest::addColumn<QByteArray>("requests");
    // Edition 5 reports the last flash: 270 V = 897 counts (0x0381) before,
    // trigger 2, a drop of 1 + 40 / 4 = 11 counts, 886 (0x0376) after, 40 J.
    QTest::newRow("ed 5, 3 + 1 flashes")
        << 5 << hex("17 03 64 32 28 0000 0000 0000") << hex("12 02 0381 02 0B 0376 28")
        << hex("00 000007") << hex("01 000003");
    QTest::newRow("ed 4") << 4 << hex("07") << hex("12 02") << hex("00 000003") << hex("01 000003");
    QTest::newRow("ed 3") << 3 << hex("0578") << hex("12 02") << hex("00 000003")
                          << hex("01 000003");
    QTest::newRow("ed 1, no flash status")
        << 1 << hex("07") << hex("3E 01 01") << hex("00 000003") << hex("01 000003");
}

void TestSimUnit::countersCountFlashes() {
    QFETCH(int, edition);
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, flashStatus);
    QFETCH(QByteArray, flashes);
    QFETCH(QByteArray, requests);
    Unit unit(edition);
    unit.handle(setup);
    unit.handle(hex("18 01 28 0000")); // trigger 2: one flash of 40 (editions 4, 5)
    unit.handle(hex("04"));
    unit.handle(hex("04"));
    unit.handle(hex("03"));
    QCOMPARE(ask(unit, hex("00")), flashes);
    QCOMPARE(ask(unit, hex("01")), requests);
    QCOMPARE(ask(unit, hex("12")), flashStatus);
}

void TestSimUnit::standbyToggles() {
    Unit unit(5);
    QCOMPARE(ask(unit, hex("10")), hex("10 10"));
    QCOMPARE(ask(unit, hex("10")), hex("10 00"));
    QCOMPARE(ask(unit, hex("11")), hex("11 10"));
    QCOMPARE(ask(unit, hex("10")), hex("10 10")); // switching kind keeps it on
    QCOMPARE(unit.standby(), quint8(16));
    QCOMPARE(ask(unit, hex("10")), hex("10 00"));
}

void TestSimUnit::bootloaderMemory() {
    Unit unit(5);
    QCOMPARE(ask(unit, hex("33")), hex("33 00"));
    QVERIFY(unit.inBootloader());
    QCOMPARE(ask(unit, hex("00")), hex("00 01 04")); // the version, not the counter
    QCOMPARE(ask(unit, hex("0A")), hex("3E 02 01"));

    QByteArray block = hex("02 00 FF C0");
    for (int i = 0; i < 64; ++i)
        block.append(char(i));
    QCOMPARE(ask(unit, block), hex("02 00"));
    QCOMPARE(ask(unit, hex("02 00 03 00") + QByteArray(64, char(0x12))), hex("02 00"));
    QCOMPARE(unit.programMemory().size(), 65536);
    QCOMPARE(unit.programMemory().mid(0xFFC0), block.mid(4));
    QCOMPARE(unit.programMemory().mid(0x02FF, 2), hex("FF 12"));
    QCOMPARE(ask(unit, hex("03")), hex("03 00"));
    QCOMPARE(unit.programMemory(), QByteArray(65536, char(0xFF)));

    QCOMPARE(ask(unit, hex("05 02 0010 41 FF")), hex("05 00"));
    QCOMPARE(ask(unit, hex("05 01 03FF 7E")), hex("05 00"));
    const QList<QByteArray> runs = unit.handle(hex("04"));
    QCOMPARE(runs.size(), 5);
    QByteArray whole;
    for (const QByteArray &run : runs) {
        const int n = quint8(run.at(1));
        QVERIFY(n <= 250);
        QCOMPARE(run.size(), n + 4);
        QCOMPARE((quint8(run.at(2)) << 8) | quint8(run.at(3)), whole.size());
        whole += run.mid(4);
    }
    QCOMPARE(whole, unit.eeprom());
    QCOMPARE(whole.size(), 1024);
    QCOMPARE(whole.mid(0x0F, 4), hex("FF 41 FF FF"));
    QCOMPARE(whole.right(1), hex("7E"));

    const QByteArray config = hex("0102030405060708090A0B0C0D0E");
    QCOMPARE(ask(unit, hex("07") + config), hex("07 00"));
    QCOMPARE(ask(unit, hex("06")), hex("06") + config);

    QCOMPARE(ask(unit, hex("CC")), hex("CC 00"));
    QVERIFY(!unit.inBootloader());
    QCOMPARE(ask(unit, hex("00")), hex("00 000000"));
    QCOMPARE(unit.config(), config); // memory outlives the switch
}

void TestSimUnit::bootloaderRefuses_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray data(64, char(0x55));
    QTest::newRow("block below 0x0300") << hex("02 00 02C0") + data << hex("02 08");
    QTest::newRow("block off boundary") << hex("02 00 0310") + data << hex("02 08");
    QTest::newRow("block short") << hex("02 00 0300") + data.left(63) << hex("02 08");
    QTest::newRow("block byte 1 set") << hex("02 01 0300") + data << hex("02 08");
    QTest::newRow("EEPROM past 1024") << hex("05 02 03FF 0102") << hex("05 08");
    QTest::newRow("EEPROM count 251") << hex("05 FB 0000") + QByteArray(251, 0) << hex("05 08");
    QTest::newRow("EEPROM count mismatch") << hex("05 03 0000 0102") << hex("05 08");
    QTest::newRow("EEPROM header only") << hex("05") << hex("05 08");
    QTest::newRow("config 13 bytes") << hex("07") + QByteArray(13, 0) << hex("07 09");
    QTest::newRow("config 15 bytes") << hex("07") + QByteArray(15, 0) << hex("07 09");
    QTest::newRow("unknown") << hex("01") << hex("3E 02 01");
}

void TestSimUnit::bootloaderRefuses() {
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    Unit unit(5);
    unit.handle(hex("33"));
    const Unit before = unit;
    QCOMPARE(ask(unit, payload), expected);
    QCOMPARE(unit.programMemory(), before.programMemory());
    QCOMPARE(unit.eeprom(), before.eeprom());
    QCOMPARE(unit.config(), before.config());
}

void TestSimUnit::noiseNeverStartsAFrame() {
    Faults f;
    f.noiseBytes = 200;
    f.seed = 3;
    FaultInjector injector(f);
    const QByteArray bytes = injector.frame(hex("0400"));
    QCOMPARE(bytes.size(), 200 + 7);
    QVERIFY(!bytes.left(200).contains(char(0x0F)));
    QCOMPARE(bytes.mid(200), hex("0F0F 02 0400 00 AA"));

    int payloads = 0, diagnostics = 0;
    zq::FrameReceiver receiver;
    receiver.feed(bytes, {[&](quint8, quint8 *) { ++payloads; },
                          [&](const zq::FrameReceiver::Fault &) { ++diagnostics; }});
    QCOMPARE(payloads, 1);
    QCOMPARE(diagnostics, 200);
}

void TestSimUnit::dropShareIsSeeded() {
    auto pattern = [](quint32 seed) {
        Faults f;
        f.dropPercent = 30;
        f.seed = seed;
        FaultInjector injector(f);
        QBitArray dropped(1000);
        for (int i = 0; i < dropped.size(); ++i)
            dropped.setBit(i, injector.dropNext());
        return dropped;
    };
    const QBitArray a = pattern(7);
    QVERIFY2(a.count(true) > 250 && a.count(true) < 350, QByteArray::number(a.count(true)));
    QCOMPARE(pattern(7), a);
    QVERIFY(pattern(8) != a);
}

// Frame 2 is lost before the unit sees it, frame 3 fails in the unit and the
// answer to frame 4 is late.
void TestSimUnit::namedFrameFaults() {
    Unit unit(5);
    Faults f;
    f.lostFrames = {2};
    f.failedFrames = {3};
    f.lateAnswerMs = {{4, 400}};
    Responder r(unit, f);
    const QByteArray frame = zq::buildFrame(hex("0B"), false);
    for (int i = 0; i < 4; ++i)
        r.receive(frame.constData(), frame.size(), 1000 * kMs);
    QCOMPARE(r.stats().framesLost, 1);
    QCOMPARE(r.stats().framesReceived, 3);
    const QByteArray answer = hex("0F0F 03 0B2B19 00 AA");
    QCOMPARE(r.takeDue(1000 * kMs), answer + hex("0F0F 02 0B08 00 AA"));
    QCOMPARE(r.nextEventNs(), 1400 * kMs);
    QCOMPARE(r.takeDue(1400 * kMs), answer);
}

void TestSimUnit::answerDelay() {
    const QByteArray frame = zq::buildFrame(hex("0B"), false);
    Unit unit(5);
    Faults late;
    late.answerDelayMs = 250;
    Responder r(unit, late);
    r.receive(frame.constData(), frame.size(), 1000 * kMs);
    QCOMPARE(r.nextEventNs(), 1250 * kMs);
    QVERIFY(r.takeDue(1250 * kMs - 1).isEmpty());
    QCOMPARE(r.takeDue(1250 * kMs), hex("0F0F 03 0B2B19 00 AA"));
}

// At 9600 baud a byte takes 1e10 / 9600 ns = 1041666.67 ns. The 6-byte frame
// written at once counts as received when its sixth byte ends (6.25 ms); the
// 7 answer bytes then end at 6.25 ms + k * 1041666.67 ns, rounded down.
void TestSimUnit::pacedExchangeSchedule() {
    Faults f;
    f.baud = 9600;
    Unit unit(5);
    Responder r(unit, f);
    const QByteArray frame = zq::buildFrame(hex("04"), false);
    r.receive(frame.constData(), frame.size(), 0);
    QCOMPARE(r.stats().framesReceived, 1);
    QCOMPARE(r.nextEventNs(), qint64(6250000));
    QVERIFY(r.takeDue(6250000).isEmpty());
    QCOMPARE(r.nextEventNs(), qint64(7291666));
    QCOMPARE(r.takeDue(7291665), QByteArray());
    QCOMPARE(r.takeDue(7291666), hex("0F"));
    QCOMPARE(r.takeDue(10416666), hex("0F 02 04"));
    QCOMPARE(r.takeDue(13541665), hex("00 00"));
    QCOMPARE(r.takeDue(13541666), hex("AA"));
    QCOMPARE(r.nextEventNs(), kNever);
}

void TestSimUnit::lineClockDoesNotDrift() {
    LineClock clock(115200);
    qint64 end = 0;
    for (int i = 0; i < 1000000; ++i)
        end = clock.nextByteEnd(0);
    QCOMPARE(end, qint64(86805555555)); // 1e6 * 1e10 / 115200, rounded down once
    // A byte after an idle gap starts a new stretch at its own ready time.
    QCOMPARE(clock.nextByteEnd(end + 5000000), end + 5000000 + 86805);
    QCOMPARE(LineClock(0).nextByteEnd(42), qint64(42));
}

void TestSimUnit::errorReportsOnSchedule() {
    Faults f;
    f.errorReportIntervalMs = 100;
    f.neverAnswer = true; // the reports come all the same
    Unit unit(5);
    Responder r(unit, f);
    r.start(5 * kMs);
    QCOMPARE(r.nextEventNs(), 105 * kMs);
    QVERIFY(r.takeDue(104 * kMs).isEmpty());
    const QByteArray report = hex("0F0F 03 3E0303 00 AA");
    QCOMPARE(r.takeDue(260 * kMs), report + report);
    QCOMPARE(r.nextEventNs(), 305 * kMs);
}

void TestSimUnit::badFrameDoesNotDeafenUnit() {
    Unit unit(5);
    Responder r(unit, Faults{});
    const QByteArray bytes = hex("55 0F0F 01 0B 00 99 0F0F 01 0B FF 00 AA 0F0F 01 0B 00 AA");
    r.receive(bytes.constData(), bytes.size(), 0);
    QCOMPARE(r.stats().framesReceived, 1);
    QCOMPARE(r.takeDue(0), hex("0F0F 03 0B2B19 00 AA"));
}

QTEST_GUILESS_MAIN(TestSimUnit)
#include "tst_sim_unit.moc"
