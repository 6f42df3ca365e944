#include <QtTest>

#include "AnswerDecoder.h"
#include "Bytes.h"

using namespace zq::console;

Q_DECLARE_METATYPE(InfoLabel)

namespace {

const QList<int> kAll{1, 2, 3, 4, 5};
const QString kMismatch =
    QStringLiteral(" Error -> The received data from the ZQ don't match with the command\n");

DecodedAnswer decode(int edition, const QByteArray &payload) {
    return decodeAnswer(edition, reinterpret_cast<const quint8 *>(payload.constData()),
                        payload.size());
}

void addRows(const QList<int> &editions, const QByteArray &payload, const QStringList &messages,
             InfoLabel label = InfoLabel::None, const QString &labelText = QString(),
             bool scroll = true) {
    QStringList shown;
    for (char byte : payload)
        shown << QString::number(quint8(byte));
    for (int edition : editions) {
        QTest::addRow("e%d [%s]", edition, qPrintable(shown.join(QLatin1Char(','))))
            << edition << payload << messages << label << labelText << scroll;
    }
}

void addMessage(const QList<int> &editions, const QByteArray &payload, const QString &message) {
    addRows(editions, payload, {message});
}

void addLabel(const QByteArray &payload, InfoLabel label, const QString &text) {
    addRows(kAll, payload, {}, label, text);
}

} // namespace

class TestConsoleDecode : public QObject {
    Q_OBJECT
private slots:
    void decodes_data();
    void decodes();
    void neverReadsPastLength();
    void voltage_data();
    void voltage();
    void logLineAndPrefix();
};

void TestConsoleDecode::decodes_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<InfoLabel>("label");
    QTest::addColumn<QString>("labelText");
    QTest::addColumn<bool>("scroll");

    addMessage(kAll, QByteArray(), " : Receiving empty buffer\n");

    // Information labels: every edition.
    addLabel(bytes({0, 1, 2, 3}), InfoLabel::FlashCounter, "Flash Counter : 66051");
    addLabel(bytes({0, 255, 255, 255}), InfoLabel::FlashCounter, "Flash Counter : 16777215");
    addLabel(bytes({0, 1, 2}), InfoLabel::FlashCounter, "Flash Counter : ERROR");
    addLabel(bytes({1, 0, 0, 5}), InfoLabel::FlashRequest, "Flash Request : 5");
    addLabel(bytes({10, 0x01, 0x0E}), InfoLabel::ChargeVoltage, "Charge Voltage : 270 V");
    addLabel(bytes({10, 1}), InfoLabel::ChargeVoltage, "Charge Voltage : ERROR");
    addLabel(bytes({11, 0x2D, 5}), InfoLabel::Temperature,
             QString::fromUtf8("Temperature : -5 °C"));
    addLabel(bytes({11, 0x2B, 25}), InfoLabel::Temperature,
             QString::fromUtf8("Temperature : +25 °C"));
    addLabel(bytes({11, 0x30, 5}), InfoLabel::Temperature, "Temperature : ERROR");
    addLabel(bytes({11, 0x2D}), InfoLabel::Temperature, "Temperature : ERROR");
    addLabel(bytes({13, 1, 2, 17, 3}), InfoLabel::SoftwareVersion, "Software Version : 1-2/17-3");
    addLabel(bytes({13, 1, 2, 17}), InfoLabel::SoftwareVersion, "Software Version : ERROR");

    // Status answers and their per-edition wording.
    addMessage(kAll, bytes({2, 0}), " : Erasing EEPROM OK\n");
    addMessage(kAll, bytes({2, 0, 0}), " : Erasing EEPROM" + kMismatch);
    addMessage({1, 2}, bytes({2, 13}), " : Erasing EEPROM Error -> The response is unknown\n");
    addMessage({3, 4, 5}, bytes({2, 13}), " : Erasing EEPROM Error -> Frame error\n");
    addMessage({3, 4, 5}, bytes({2, 20}), " : Erasing EEPROM Error -> EEPROM error\n");
    addMessage({4, 5}, bytes({3, 0}),
               " : Command Generate Flash with Trigger 2 OK. For more information, read flash "
               "status\n");
    addMessage({4, 5}, bytes({4, 0}),
               " : Command Generate Flash with Trigger 1 OK. For more information, read flash "
               "status\n");
    addMessage({4, 5}, bytes({4, 2}), " : Generate Flash Error -> The response is unknown\n");
    addMessage({1, 2, 3}, bytes({3, 2}), " : High Flash Generated\n");
    addMessage({2, 3}, bytes({3, 19}),
               " : High Flash Error (More information: read flash status)\n");
    addMessage({2, 3}, bytes({4, 19}),
               " : Low Flash Error (More information: read flash status)\n");
    addMessage({2, 3}, bytes({4, 3}), " : Generate Flash Error -> The response is unknown\n");
    addMessage({1}, bytes({3, 3}), " : High Flash Missed\n");
    addMessage({1}, bytes({4, 3}), " : Low Flash Missed\n");
    addMessage({1}, bytes({4, 4}), " : Flash not Ready\n");
    addMessage({1}, bytes({4, 19}), " : Generate Flash Error -> The response is unknown\n");
    addMessage(kAll, bytes({4}), " : Generate Flash" + kMismatch);
    addMessage(kAll, bytes({5, 7}),
               " : Changing High Energy Level Error -> The received command by the ZQ is "
               "incorrect\n");
    addMessage(kAll, bytes({6, 0}), " : Changing Low Energy Level OK\n");
    addMessage(kAll, bytes({7, 0}), " : Energy levels saved\n");
    addMessage({1, 2}, bytes({7, 20}),
               " : Saving Energy Levels Error -> The response is unknown\n");
    addMessage({3, 4, 5}, bytes({7, 20}), " : Saving Energy Levels Error -> EEPROM error\n");
    addMessage(kAll, bytes({9, 10}), " : Sequence Test Started\n");
    addMessage(kAll, bytes({9, 11}), " : Sequence Test Stoped\n");
    addMessage(kAll, bytes({9, 12}), " : Sequence Test Error -> Parameters must be wrong\n");
    addMessage(kAll, bytes({9, 10, 0}), " : Sequence Test" + kMismatch);
    addMessage(kAll, bytes({12, 8}),
               " : Writing Charge Voltage Error -> The received command by the ZQ is incorrect\n");
    addMessage({2, 5}, bytes({16, 0}), " : Complete Standby -> OFF\n");
    addMessage({2, 5}, bytes({16, 16}), " : Complete Standby -> ON\n");
    addMessage({2, 5}, bytes({17, 16}), " : Partial Standby -> ON\n");
    addMessage({4, 5}, bytes({23, 12}),
               " : Setting Sequence Flash of Trigger 1 Error -> Error parameters\n");
    addMessage({4, 5}, bytes({24, 0}), " : Setting Sequence Flash of Trigger 2 OK\n");
    addMessage({4, 5}, bytes({25, 22}),
               " : Setting Output Trigger Mode Error -> Error parameters\n");
    addMessage({5}, bytes({26, 23}), " : Calibration Error -> Error during calibration\n");

    // Flash status: only edition 5 knows the detailed form.
    addMessage({2, 3, 4, 5}, bytes({18, 2}), " : Flash Status -> Flash generated\n");
    addMessage({2, 5}, bytes({18, 18}), " : Flash Status -> Overrun\n");
    addMessage({2, 5}, bytes({18, 0}),
               " : Reading Flash Status Error -> The response is unknown\n");
    addMessage({5}, bytes({18, 2, 0x03, 0xE8, 0, 10, 0x03, 0x20, 50}),
               " : Flash Status -> Flash generated with an energy of: 50J. The voltage before the "
               "flash was of: 301V, after the flash of: 240.8V and the delta voltage was of: "
               "3.01V\n");
    addMessage({5}, bytes({18, 3, 0, 0, 0, 0, 0, 0, 0}), " : Flash Status -> Flash missed\n");
    addMessage({2, 4}, bytes({18, 2, 0x03, 0xE8, 0, 10, 0x03, 0x20, 50}),
               " : Reading Flash Status" + kMismatch);
    addMessage({5}, bytes({18, 4, 0}), " : Reading Flash Status" + kMismatch);

    // Saved trigger settings (editions 4, 5) or energy levels (1 to 3) share code 8.
    addRows({4, 5}, bytes({8, 1, 2, 100, 50, 0x03, 0xE8, 0x01, 0x2C}),
            {" : Trigger = 1 Number of flashes = 2\n",
             " : Energy flash 1 = 100 Time before flash 1 = 1000\n",
             " : Energy flash 2 = 50 Time between flash 1 & 2 = 300\n"});
    addRows({5}, bytes({8, 2, 9, 1, 2, 3, 4, 0, 5, 0, 6, 0, 7, 0xFF, 0xFF}),
            {" : Trigger = 2 Number of flashes = 9\n",
             " : Energy flash 1 = 1 Time before flash 1 = 5\n",
             " : Energy flash 2 = 2 Time between flash 1 & 2 = 6\n",
             " : Energy flash 3 = 3 Time between flash 2 & 3 = 7\n",
             " : Energy flash 4 = 4 Time between flash 3 & 4 = 65535\n"});
    addMessage({4, 5}, bytes({8, 2}),
               " : Reading Saved Trigger Settings Error -> Parameters error\n");
    addMessage({4, 5}, bytes({8, 1, 1, 100, 0}), " : Reading Saved Trigger Settings" + kMismatch);
    addMessage({5}, bytes({8, 1, 0}), " : Reading Saved Trigger Settings" + kMismatch);
    addMessage({1, 2, 3}, bytes({8, 120, 45}),
               " : High Energy Level = 120; Low Energy Level = 45\n");
    addMessage({1, 2, 3}, bytes({8, 120}), " : Reading Energy Levels" + kMismatch);

    addMessage({2, 5}, bytes({14, 1, 2, 3, 4, 5, 255}), " : Diagnosis Result -> 1 2 3 4 5 255\n");
    addMessage({2, 5}, bytes({14, 1, 2, 3, 4, 5}), " : Diagnosis" + kMismatch);
    addMessage({3, 5}, bytes({22, 0, 0}), " : Reading EEPROM Status -> 0 write operation failed\n");
    addMessage({3, 5}, bytes({22, 1, 2}),
               " : Reading EEPROM Status -> 258 write operation failed\n");
    addMessage({3, 5}, bytes({22, 1}), " : Reading EEPROM Status" + kMismatch);

    // Calibration: the short answers leave the view where it was.
    addRows({5}, bytes({27, 25}), {" : Flash calibrated\n"}, InfoLabel::None, {}, false);
    addRows({5}, bytes({27, 24}), {" : Reading Calibration Error -> Error parameters\n"},
            InfoLabel::None, {}, false);
    addRows({5}, bytes({27, 0}), {" : Reading Calibration Error -> Unknown Status\n"},
            InfoLabel::None, {}, false);
    addRows({5}, bytes({27}), {" : Reading Calibration" + kMismatch}, InfoLabel::None, {}, false);
    addMessage({5}, bytes({27, 10, 20, 30}), " : Calibration -> |10|20|30|\n");
    addMessage({5}, bytes({27, 255, 255}), " : Calibration -> |255|255|\n");

    addMessage(kAll, bytes({62, 4, 7}), " : Receiving Error -> Base = 4; Error Num = 7\n");
    addMessage({2, 3, 4, 5}, bytes({62}), " : Receiving unknown Error:\n");
    addMessage({1}, bytes({62, 4}), " : Receiving unknown Error\n");

    // Codes no edition decodes, and those an edition predates.
    const QString unknown = " : Receiving unknown Data\n";
    for (int code : {15, 19, 20, 21, 28, 61, 63, 255}) {
        addMessage(kAll, bytes({code}), unknown);
        addMessage(kAll, bytes({code, 0}), unknown);
    }
    for (int code : {14, 16, 17, 18, 22})
        addMessage({1}, bytes({code, 0}), unknown);
    addMessage({2}, bytes({22, 0, 0}), unknown);
    for (int code : {23, 24, 25})
        addMessage({3}, bytes({code, 0}), unknown);
    addMessage({1, 2, 3, 4}, bytes({26, 0}), unknown);
    addMessage({1, 2, 3, 4}, bytes({27, 25}), unknown);
}

void TestConsoleDecode::decodes() {
    QFETCH(int, edition);
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, messages);
    QFETCH(InfoLabel, label);
    QFETCH(QString, labelText);
    QFETCH(bool, scroll);

    const DecodedAnswer answer = decode(edition, payload);
    QCOMPARE(answer.messages, messages);
    QCOMPARE(answer.label, label);
    QCOMPARE(answer.labelText, labelText);
    QCOMPARE(answer.scrollToBottom, scroll);
}

// Whatever follows a payload in the link's buffer must not change its
// decoding: two buffers that differ only past `length` decode alike.
void TestConsoleDecode::neverReadsPastLength() {
    constexpr int kMaxTried = 16;
    for (int edition : kAll) {
        for (int code = 0; code < 256; ++code) {
            for (int status : {0, 2, 16, 25, 0x2D}) {
                for (int length = 1; length <= kMaxTried; ++length) {
                    quint8 low[kMaxTried + 8], high[kMaxTried + 8];
                    memset(low, 0x00, sizeof low);
                    memset(high, 0xFF, sizeof high);
                    for (int i = 0; i < length; ++i)
                        low[i] = high[i] = quint8(i == 0 ? code : i == 1 ? status : 3 * i);
                    const DecodedAnswer a = decodeAnswer(edition, low, length);
                    const DecodedAnswer b = decodeAnswer(edition, high, length);
                    QCOMPARE(a.messages, b.messages);
                    QCOMPARE(a.labelText, b.labelText);
                    QVERIFY(a.messages.isEmpty() != a.labelText.isEmpty());
                    for (const QString &message : a.messages)
                        QVERIFY2(message.startsWith(" : ") && message.endsWith('\n'),
                                 qPrintable(message));
                }
            }
        }
    }
}

void TestConsoleDecode::voltage_data() {
    QTest::addColumn<int>("counts");
    QTest::addColumn<QString>("text");
    QTest::newRow("1000") << 1000 << "301";
    QTest::newRow("800") << 800 << "240.8";
    QTest::newRow("10") << 10 << "3.01";
    QTest::newRow("1") << 1 << "0.301";
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("65535") << 65535 << "19726";
}

void TestConsoleDecode::voltage() {
    QFETCH(int, counts);
    QFETCH(QString, text);
    QCOMPARE(formatVoltage(counts), text);
}

void TestConsoleDecode::logLineAndPrefix() {
    const quint8 payload[] = {2, 0, 255, 0xEE};
    QCOMPARE(receivedLogLine("P", payload, 2), QString("P: 2|0|"));
    QCOMPARE(receivedLogLine("P", payload, 3), QString("P: 2|0|255|"));
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 2, 9));
    // Day and month names follow the system locale ("Tue Mar" in C); the rest is fixed.
    const QRegularExpression textDate(R"(^=> \S+ \S+ 5 14:02:09 2024$)");
    QVERIFY2(textDate.match(timeStampPrefix(when)).hasMatch(), qPrintable(timeStampPrefix(when)));
}

QTEST_APPLESS_MAIN(TestConsoleDecode)
#include "tst_console_decode.moc"
