// HEX files, sound ones and ones from hell: whatever a technician's disk holds
// under a .hex name, reading it gives 0 or -1 and the stores the table says,
// never a crash, a hang or memory without bound. The small files are read in
// this process, where the sanitizers see them; each 50 MB file is read in a
// child process of its own, so that a crash or a hang fails that row alone
// and the child's peak RSS is what that file cost.

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <random>

#include <csignal>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Files.h"
#include "HexRecord.h"
#include "HexText.h"
#include "PICProgram.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZQ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZQ_ASAN 1
#endif
#endif

namespace {

constexpr qint64 kHugeFileBytes = 50 * 1024 * 1024;
constexpr long kMaxPeakGrowthKiB = 64 * 1024;
// A hang, not a slow reader: the normal build reads any of these in a second or two.
constexpr int kChildDeadlineMs = 120000;
constexpr int kChunkBytes = 1 << 20;

// One record with its checksum, as a tool would write it, its data given in hex digits.
QByteArray record(int type, int address, const QByteArray &hexData) {
    return zq::hex::record(type, address, QByteArray::fromHex(hexData));
}

QByteArray randomBytes(std::mt19937 &random, int count) {
    QByteArray out(count, 0);
    for (char &c : out)
        c = char(random());
    return out;
}

// Writes what `next` produces, chunk after chunk, until the file holds at
// least kHugeFileBytes; the parent never holds more than a chunk.
using ChunkMaker = std::function<QByteArray()>;
bool writeHuge(const QString &path, const QByteArray &head, const ChunkMaker &next,
               const QByteArray &tail) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(head) < 0)
        return false;
    while (file.size() < kHugeFileBytes)
        if (file.write(next()) < 0)
            return false;
    return file.write(tail) >= 0;
}

// Whole lines of `line` up to a chunk's size.
QByteArray repeatedLines(const QByteArray &line) {
    return line.repeated(kChunkBytes / line.size());
}

// A type-04 record for `upper`, then 16-byte records over its whole 64 KiB.
QByteArray wholeSpace(int upper) {
    QByteArray out = record(0x04, 0, QByteArray::number(upper, 16).rightJustified(4, '0'));
    for (int address = 0; address < 0x10000; address += 16)
        out += record(0, address, QByteArray("42").repeated(16));
    return out;
}

struct Outcome {
    int result = 0;
    int programWords = 0;
    long peakGrowthKiB = 0;
};

long peakRssKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reads `path` in a forked child. The child starts with its parent's pages as
// its peak, so its peak growth is the cost of this one read.
bool readInChild(const QString &path, Outcome *outcome, QString *failure) {
    int fds[2];
    if (::pipe(fds) != 0) {
        *failure = QStringLiteral("pipe failed");
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        Outcome o;
        const long before = peakRssKiB();
        PICProgram image;
        o.result = image.readHexFile(path);
        o.programWords = image.programWords().size();
        o.peakGrowthKiB = peakRssKiB() - before;
        const bool sent = ::write(fds[1], &o, sizeof o) == ssize_t(sizeof o);
        ::_exit(sent ? 0 : 1); // no destructors, no handlers of the parent
    }
    ::close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    const bool answered = child > 0 && ::poll(&p, 1, kChildDeadlineMs) == 1 &&
                          ::read(fds[0], outcome, sizeof *outcome) == ssize_t(sizeof *outcome);
    ::close(fds[0]);
    if (child < 0) {
        *failure = QStringLiteral("fork failed");
        return false;
    }
    if (!answered)
        ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL)
        *failure = QStringLiteral("the reader died of signal %1").arg(WTERMSIG(status));
    else if (!answered)
        *failure =
            QStringLiteral("the reader did not finish within %1 s").arg(kChildDeadlineMs / 1000);
    return answered;
}

} // namespace

class TestHexHell : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString write(const QByteArray &content) {
        const QString path = dir_.filePath(QStringLiteral("small.hex"));
        if (!writeFile(path, content))
            qFatal("cannot write the test file");
        return path;
    }

private slots:
    // Small files, sound and odd, with the stores each one leaves.
    void smallFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("eeprom");
        auto row = [](const char *name, const QByteArray &content, int result, const char *program,
                      const char *config = "", const char *eeprom = "") {
            QTest::newRow(name) << content << result << QString(program)
                                << QByteArray::fromHex(config) << QString(eeprom);
        };
        row("empty file", "", 0, "");
        row("only line ends", "\n\n", -1, "");
        row("byte count 0, line cut after the type", ":00001000\n", 0, "");

        row("config", ":020000040030CA\n:0E000000112233445566778899AABBCCDDEEF9\n", 0, "",
            "112233445566778899AABBCCDDEE");
        row("program words", ":040000000EEF0100FE\n", 0, "0000:0EEF 0002:0100");
        row("16 bytes, lowercase", ":10001000a0a1a2a3a4a5a6a7a8a9aaabacadaeaf00\n", 0,
            "0010:A0A1 0012:A2A3 0014:A4A5 0016:A6A7 0018:A8A9 001A:AAAB 001C:ACAD 001E:AEAF");
        row("eeprom", ":0200000400F00A\n:0400100001020304E2\n", 0, "", "",
            "0010:01 0011:02 0012:03 0013:04");
        row("eeprom address wraps", ":0200000400F00A\n:02FFFF00AABB00\n", 0, "", "",
            "FFFF:AA 0000:BB");
        row("id locations ignored", ":020000040020DA\n:0200000011220000\n", 0, "");
        row("types 02 03 05 are data", ":02001002AABB00\n:02001203CCDD00\n:02001405EEFF00\n", 0,
            "0010:AABB 0012:CCDD 0014:EEFF");
        row("upper address kept across EOF", ":0200000400F00A\n:00000001FF\n:0100050077\n", 0, "",
            "", "0005:77");
        row("upper address 0001", ":020000040001F9\n:02000400ABCD00\n", 0, "10004:ABCD");
        row("short line, bad digits read F", ":04000000G1Z2", 0, "0000:F1F2 0002:FFFF");
        row("CR LF, last line unterminated", ":020000040030CA\r\n:02000000AABB99", 0, "", "AABB");
        row("UTF-8 byte-order mark", "\xEF\xBB\xBF:02000000AABB00\n", 0, "0000:AABB");
        row("100000-character line",
            ":02000000AABB" + QByteArray(100000, 'Z') + "\n:02000200CCDD00\n", 0,
            "0000:AABB 0002:CCDD");
        row("duplicates kept", ":02001000AAAA00\n:02001000BBBB00\n", 0, "0010:AAAA 0010:BBBB");
        // Half words a record does not cover are erased bytes, never the checksum.
        row("odd count", ":03000000AABBCC77\n", 0, "0000:AABB 0002:CCFF");
        row("odd address", ":02000100AABB77\n", 0, "0000:FFAA 0002:BBFF");
        row("split word joined", ":01000000AA00\n:01000100BB00\n", 0, "0000:AABB");
        row("split word, odd byte first", ":01000100BB00\n:01000000AA00\n", 0, "0000:AABB");
        row("overlap keeps first byte", ":01000000AA00\n:02000000112200\n", 0,
            "0000:AA22 0000:1122");
        // Failures keep what the lines before the bad one gave.
        row("blank line", ":02000000AABB00\n\n:02000200CCDD00\n", -1, "0000:AABB");
        row("blank line after EOF", ":00000001FF\n\n", -1, "");
        row("blank CR LF line", "\r\n", -1, "");
        row("leading blank", " :00000001FF\n", -1, "");
        row("binary garbage", QByteArray("\x00\xFF\x13\x80garbage", 11), -1, "");

        // Only type 04 is told apart; every other type, also 01 with data, is data.
        row("type 00", record(0x00, 0x0010, "AABB"), 0, "0010:AABB");
        row("type 01 carrying data", record(0x01, 0x0010, "AABB"), 0, "0010:AABB");
        row("type 02", record(0x02, 0x0010, "AABB"), 0, "0010:AABB");
        row("type 03", record(0x03, 0x0010, "AABB"), 0, "0010:AABB");
        row("type 04 to EEPROM", record(0x04, 0, "00F0") + record(0x00, 0x0010, "AABB"), 0, "", "",
            "0010:AA 0011:BB");
        row("type 05", record(0x05, 0x0010, "AABB"), 0, "0010:AABB");
        row("type 06", record(0x06, 0x0010, "AABB"), 0, "0010:AABB");
        row("type FF", record(0xFF, 0x0010, "AABB"), 0, "0010:AABB");
        row("type not hex", ":020010ZZAABB00\n", 0, "0010:AABB");
        // A type-04 record without its value reads FFFF: the top of the address space.
        row("type 04 without a value", ":00000004\n" + record(0x00, 0x0010, "AABB"), 0,
            "FFFF0010:AABB");
        row("type 04 with half a value", ":02000004F0\n" + record(0x00, 0x0010, "AABB"), 0,
            "F0FF0010:AABB");

        // CR alone ends no line: a file saved with CR line ends is one line,
        // and only its first record counts.
        row("CR-only line ends",
            record(0x00, 0x0000, "AABB").replace('\n', '\r') +
                record(0x00, 0x0002, "CCDD").replace('\n', '\r'),
            0, "0000:AABB");
        row("CR CR LF", record(0x00, 0x0000, "AABB").replace("\n", "\r\r\n"), 0, "0000:AABB");
        row("a lone CR after the last line", record(0x00, 0x0000, "AABB") + '\r', -1, "0000:AABB");

        row("NUL bytes as data digits", QByteArray(":02000000AA\0\0\n", 14), 0, "0000:AAFF");
        row("NUL bytes after a record",
            QByteArray(":02000000AABB00\0\0\0\n", 19) + record(0x00, 0x0002, "CCDD"), 0,
            "0000:AABB 0002:CCDD");
        row("NUL before the colon", QByteArray("\0:02000000AABB00\n", 17), -1, "");
        row("a line of NUL bytes",
            record(0x00, 0x0000, "AABB") + QByteArray(8, '\0') + '\n' +
                record(0x00, 0x0002, "CCDD"),
            -1, "0000:AABB");
    }

    void smallFiles() {
        QFETCH(QByteArray, content);
        QFETCH(int, result);
        QFETCH(QString, program);
        QFETCH(QByteArray, config);
        QFETCH(QString, eeprom);
        PICProgram image;
        QCOMPARE(image.readHexFile(write(content)), result);
        QCOMPARE(image.isAnalyzed(), result == 0);
        QCOMPARE(programText(image), program);
        QCOMPARE(image.configBytes(), config);
        QCOMPARE(eepromText(image), eeprom);
    }

    // A lone ':' reads as a record of 255 bytes 0xFF at 0xFFFF: erased words only.
    void loneColon_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("':'") << QByteArray(":");
        QTest::newRow("':' and LF") << QByteArray(":\n");
        QTest::newRow("':' and CR LF") << QByteArray(":\r\n");
        QTest::newRow("three lone ':' lines") << QByteArray(":\n:\n:\n");
    }

    void loneColon() {
        QFETCH(QByteArray, content);
        PICProgram image;
        QCOMPARE(image.readHexFile(write(content)), 0);
        QVERIFY(!image.programWords().isEmpty());
        for (const ProgramWord &w : image.programWords())
            QCOMPARE(w.word, quint16(0xFFFF));
        QVERIFY(image.eepromBytes().isEmpty());
        QVERIFY(image.configBytes().isEmpty());
    }

    // 50 MB files, each written just before it is read, and a device that never ends.
    void hugeFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("programWords"); // -1: not checked
        auto make = [this](const char *name, const QByteArray &head, const ChunkMaker &next,
                           const QByteArray &tail, int result, int words) {
            huge_.insert(QString::fromLatin1(name), {head, next, tail});
            QTest::newRow(name) << dir_.filePath(QStringLiteral("huge.hex")) << result << words;
        };

        // One line of 50 MB: the record's 16 bytes give 8 words, the rest is
        // skipped; the record after it still counts.
        make(
            "one 50 MB line", ":10000000", [] { return QByteArray(kChunkBytes, 'A'); },
            "\n" + record(0, 0x10, "1122"), 0, 9);
        make(
            "50 MB of binary garbage", "G", [this] { return randomBytes(random_, kChunkBytes); },
            "", -1, -1);
        // Every line parsed: non-hex characters read F, so each line asks for
        // 128 words, and the entry limit ends the read.
        make(
            "50 MB of garbage lines that begin with ':'", "",
            [this] {
                QByteArray chunk;
                while (chunk.size() < kChunkBytes)
                    chunk += ':' + randomBytes(random_, 600).replace('\n', 'x') + '\n';
                return chunk;
            },
            "", -1, -1);
        make(
            "50 MB of NUL bytes", "", [] { return QByteArray(kChunkBytes, '\0'); }, "", -1, -1);
        // CR alone ends no line: one line of 50 MB, its first record counts.
        make(
            "50 MB with CR-only line ends", "",
            [] {
                const QByteArray line = record(0, 0, QByteArray("5A").repeated(16));
                return repeatedLines(line).replace('\n', '\r');
            },
            "", 0, 8);
        // Records that store nothing: the ID locations, over and over.
        make(
            "50 MB of ID-location records", record(0x04, 0, "0020"),
            [] { return repeatedLines(record(0, 0, QByteArray("33").repeated(16))); }, "", 0, 0);
        // Images pasted one after the other: the same 64 KiB again and again.
        make(
            "50 MB rewriting the same 64 KiB", "", [] { return wholeSpace(0); }, "", -1, -1);
        // Every 64 KiB under a new upper address: no address comes twice.
        make(
            "50 MB of distinct addresses", "",
            [upper = 0]() mutable { return wholeSpace(upper++); }, "", -1, -1);
        QTest::newRow("/dev/zero") << QStringLiteral("/dev/zero") << -1 << -1;
    }

    void hugeFiles() {
        QFETCH(QString, path);
        QFETCH(int, result);
        QFETCH(int, programWords);
        const auto file = huge_.constFind(QString::fromLatin1(QTest::currentDataTag()));
        if (file != huge_.constEnd())
            QVERIFY(writeHuge(path, file->head, file->next, file->tail));
        Outcome outcome;
        QString failure;
        const bool read = readInChild(path, &outcome, &failure);
        if (file != huge_.constEnd())
            QFile::remove(path);
        QVERIFY2(read, qPrintable(failure));
        QCOMPARE(outcome.result, result);
        if (programWords >= 0)
            QCOMPARE(outcome.programWords, programWords);
        qInfo("peak RSS growth %ld KiB", outcome.peakGrowthKiB);
#ifndef ZQ_ASAN // its shadow memory and quarantine would be counted too
        QVERIFY2(outcome.peakGrowthKiB < kMaxPeakGrowthKiB,
                 qPrintable(QStringLiteral("peak RSS grew by %1 KiB").arg(outcome.peakGrowthKiB)));
#endif
    }

private:
    struct HugeFile {
        QByteArray head;
        ChunkMaker next;
        QByteArray tail;
    };
    QHash<QString, HugeFile> huge_;
    std::mt19937 random_{20240305};
};

QTEST_GUILESS_MAIN(TestHexHell)
#include "tst_hex_hell.moc"
