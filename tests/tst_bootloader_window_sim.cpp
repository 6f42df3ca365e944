// The firmware window end to end against the simulated unit (zq-sim): a whole
// image written through the window arrives in the unit's memories byte for
// byte, and the tables read, edit and write what the unit holds.

#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <functional>

#include "BootloaderWindow.h"
#include "Bytes.h"
#include "DebugCapture.h"
#include "HexRecord.h"
#include "SimProcess.h"
#include "SimSupport.h"

namespace {

using namespace sim_support;

constexpr int kExchangeMs = 5000;
constexpr int kWholeWriteMs = 15000; // unpaced it takes well under a second

QByteArray record(int address, const QByteArray &data, int type = 0) {
    return zq::hex::record(type, address, data);
}

QByteArray pattern(int seed) {
    QByteArray bytes(16, 0);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(seed + 37 * i);
    return bytes;
}

// Program words below 0x0300 (never written), at 0x0300, mid-memory and at the
// top; EEPROM at both ends; the 14 configuration bytes.
const QByteArray kConfig = hex("0102031F1E8181000F0FC00FE040");
const QByteArray kImage = record(0, hex("0000"), 4) + record(0x0000, pattern(1)) +
                          record(0x0300, pattern(2)) + record(0x8000, pattern(3)) +
                          record(0xFFF0, pattern(4)) + record(0, hex("00F0"), 4) +
                          record(0x0000, pattern(5)) + record(0x03F0, pattern(6)) +
                          record(0, hex("0030"), 4) + record(0, kConfig) + record(0, {}, 1);

QByteArray expectedProgram() {
    QByteArray memory(65536, char(0xFF)); // the unit's own 0xFF below 0x0300
    memory.replace(0x0300, 16, pattern(2));
    memory.replace(0x8000, 16, pattern(3));
    return memory.replace(0xFFF0, 16, pattern(4));
}

QByteArray expectedEeprom() {
    QByteArray eeprom(1024, 0); // the write sends 0 where the image says nothing
    eeprom.replace(0, 16, pattern(5));
    return eeprom.replace(0x03F0, 16, pattern(6));
}

QByteArray column1(const QTableWidget *table) {
    QByteArray bytes;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, 1);
        bytes += item && !item->text().isEmpty() ? char(item->text().toInt()) : '?';
    }
    return bytes;
}

} // namespace

class TestBootloaderWindowSim : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    SimProcess sim;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<BootloaderWindow> window;
    int valueAnswer = 0;

    template <class T> T *find(const char *name) {
        return window->topLevel()->findChild<T *>(QString::fromLatin1(name));
    }
    QString status() { return find<QLabel>("status_label")->text(); }
    void click(const char *name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    void editCell(const char *table, int row, int value) {
        auto *t = find<QTableWidget>(table);
        const QPoint cell = t->visualRect(t->model()->index(row, 1)).center();
        valueAnswer = value;
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, cell);
    }
    // Clears both tables and reads them back from the unit.
    void readTables(const QByteArray &eeprom, const QByteArray &config) {
        for (const char *name : {"clearEEPROMTable_button", "clearConfigTable_button",
                                 "readEEPROM_button", "readConfig_button"})
            click(name);
        auto *eepromTable = find<QTableWidget>("EEPROM_tableWidget");
        auto *configTable = find<QTableWidget>("config_tableWidget");
        QVERIFY(waitUntil([&] { return !column1(configTable).contains('?'); }, kExchangeMs));
        QCOMPARE(column1(eepromTable), eeprom);
        QCOMPARE(column1(configTable), config);
    }

private slots:
    void initTestCase() {
        qInstallMessageHandler(DebugCapture::dropDebugLines);
        QVERIFY(sim.start({"--dump-dir", dir.filePath("dump")}));
        port = std::make_unique<QSerialPort>(sim.path());
        QVERIFY(port->open(QIODevice::ReadWrite));
        window = std::make_unique<BootloaderWindow>(nullptr, port.get(), 5);
        const QString file = dir.filePath("image.hex");
        QVERIFY(writeFile(file, kImage));
        window->openFileDialog = [file](const QString &, const QString &, const QString &) {
            return file;
        };
        window->confirmDialog = [](const QString &, const QString &) { return true; };
        window->valueDialog = [this](const BootloaderWindow::ValueRequest &) {
            return std::optional<int>(valueAnswer);
        };
    }

    void cleanupTestCase() {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        sim.stop();
    }

    void writeImage() {
        click("startBL_button");
        QTRY_COMPARE_WITH_TIMEOUT(status(), QString("Status : Reading Version -> 1.4"),
                                  kExchangeMs);
        click("progFile_button");
        click("analyzeHexFile_button");
        QCOMPARE(status(), QString("Status : HEX File analyzed"));
        click("writeProg_button");
        QVERIFY(window->isSending()); // handed over bit by bit, the GUI thread never waits
        QVERIFY(waitUntil([this] { return !window->isSending(); }, kWholeWriteMs));
        QTRY_COMPARE_WITH_TIMEOUT(status(), QString("Status : Writing Config -> OK"), kExchangeMs);

        compareDump(sim.pid(), dir.filePath("dump"), expectedProgram(), expectedEeprom(), kConfig,
                    kExchangeMs);
    }

    void tablesReadEditAndWrite() {
        readTables(expectedEeprom(), kConfig);
        editCell("EEPROM_tableWidget", 2, 200);
        editCell("config_tableWidget", 0, 7);
        click("writeEEPROM_button");
        click("writeConfig_button");
        QByteArray eeprom = expectedEeprom(), config = kConfig;
        eeprom[2] = char(200);
        config[0] = 7;
        readTables(eeprom, config); // the reads queue behind the writes
        QCOMPARE(find<QTableWidget>("EEPROM_tableWidget")->item(2, 3)->text(), QString("11001000"));
    }

    void leaveBootloader() {
        click("startBL_button");
        QTRY_COMPARE_WITH_TIMEOUT(find<QLabel>("startBL_label")->text(),
                                  QString("ZQ Bootloader disabled"), kExchangeMs);
    }
};

QTEST_MAIN(TestBootloaderWindowSim)
#include "tst_bootloader_window_sim.moc"
