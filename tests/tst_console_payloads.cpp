#include <QtTest>

#include "Bytes.h"
#include "Payloads.h"

using namespace zq::console;

namespace {

TriggerSequence sequence(int flashes, std::initializer_list<int> energies,
                         std::initializer_list<int> times) {
    TriggerSequence s;
    s.flashes = flashes;
    int k = 0;
    for (int e : energies)
        s.energies[k++] = quint8(e);
    k = 0;
    for (int t : times)
        s.times[k++] = quint16(t);
    return s;
}

} // namespace

class TestConsolePayloads : public QObject {
    Q_OBJECT
private slots:
    void payload_data();
    void payload();
    void informationPollOrder();
};

void TestConsolePayloads::payload_data() {
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("flash trigger 1") << flash(false) << bytes({4});
    QTest::newRow("flash trigger 2") << flash(true) << bytes({3});
    QTest::newRow("read settings 1") << readTriggerSettings(1) << bytes({8, 1});
    QTest::newRow("read settings 2") << readTriggerSettings(2) << bytes({8, 2});
    QTest::newRow("energy levels") << readEnergyLevels() << bytes({8});
    QTest::newRow("high level") << changeEnergyLevel(true, 200) << bytes({5, 200});
    QTest::newRow("low level") << changeEnergyLevel(false, 7) << bytes({6, 7});
    QTest::newRow("seq start 500 ms") << sequenceTestStart(500, 0) << bytes({9, 10, 0x01, 0xF4, 0});
    QTest::newRow("seq start max")
        << sequenceTestStart(65535, 255) << bytes({9, 10, 0xFF, 0xFF, 255});
    QTest::newRow("seq stop") << sequenceTestStop() << bytes({9, 11});
    QTest::newRow("voltage e1") << writeChargeVoltage(1, 270) << bytes({12, 0x01, 0x0E});
    for (int edition : {2, 5})
        QTest::addRow("voltage e%d", edition)
            << writeChargeVoltage(edition, 270) << bytes({12, 0x01, 0x0E}) + "qebor2751";
    QTest::newRow("reset memory e1") << resetMemory(1) << bytes({2});
    QTest::newRow("reset memory e3") << resetMemory(3) << bytes({2}) + "qebor2751";
    QTest::newRow("standby complete") << standby(true) << bytes({16});
    QTest::newRow("standby partial") << standby(false) << bytes({17});
    QTest::newRow("reset HV") << resetController(ControllerReset::HighVoltage) << bytes({19});
    QTest::newRow("reset COM") << resetController(ControllerReset::Communication) << bytes({20});
    QTest::newRow("reset both") << resetController(ControllerReset::Both) << bytes({21});
    QTest::newRow("trigger 1, 2 flashes")
        << setTriggerSequence(1, sequence(2, {100, 50, 9, 9}, {1000, 300, 9, 9}))
        << bytes({23, 2, 100, 50, 0x03, 0xE8, 0x01, 0x2C});
    QTest::newRow("trigger 1, 1 flash")
        << setTriggerSequence(1, sequence(1, {5, 6, 7, 8}, {0x1234, 1, 1, 1}))
        << bytes({23, 1, 5, 0x12, 0x34});
    QTest::newRow("trigger 2, 4 flashes")
        << setTriggerSequence(2, sequence(4, {1, 2, 3, 255}, {0, 256, 0xABCD, 65535}))
        << bytes({24, 4, 1, 2, 3, 255, 0, 0, 0x01, 0x00, 0xAB, 0xCD, 0xFF, 0xFF});
    QTest::newRow("trigger flashes too many")
        << setTriggerSequence(2, sequence(9, {1, 2, 3, 4}, {5, 6, 7, 8}))
        << bytes({24, 4, 1, 2, 3, 4, 0, 5, 0, 6, 0, 7, 0, 8});
    QTest::newRow("trigger flashes zero")
        << setTriggerSequence(1, sequence(0, {1}, {2})) << bytes({23, 1, 1, 0, 2});
    QTest::newRow("output mode 1") << outputTriggerMode(1) << bytes({25, 1});
    QTest::newRow("calibration level 0") << readCalibrationLevel(0) << bytes({27, 0});
    QTest::newRow("calibration status") << readCalibrationStatus() << bytes({27, 255, 255});
    QTest::newRow("single-byte commands")
        << saveTriggerSettings() + diagnosis() + readFlashStatus() + readEepromStatus() +
               calibrate() + readSoftwareVersion()
        << bytes({7, 14, 18, 22, 26, 13});
}

void TestConsolePayloads::payload() {
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual.toHex(' '), expected.toHex(' '));
}

void TestConsolePayloads::informationPollOrder() {
    const QList<QByteArray> expected{bytes({0}), bytes({1}), bytes({10}), bytes({11})};
    QCOMPARE(informationPoll(), expected);
}

QTEST_APPLESS_MAIN(TestConsolePayloads)
#include "tst_console_payloads.moc"
