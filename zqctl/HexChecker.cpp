#include "HexChecker.h"

#include <QBuffer>
#include <QHash>
#include <QSet>

#include "BootloaderCommand.h"
#include "PICProgram.h"

namespace zqctl {

namespace {

constexpr quint16 kIdUpper = 0x0020;
constexpr quint16 kConfigUpper = 0x0030;
constexpr quint16 kEepromUpper = 0x00F0;
constexpr int kRecordHeaderChars = 9; // ':' count(2) address(4) type(2)
constexpr int kChecksumChars = 2;

enum RecordType : int { DataRecord = 0, EndOfFile = 1, ExtendedLinearAddress = 4 };

QString hex(qint64 value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

class Checker {
public:
    HexReport report;

    void line(int number, QByteArray text) {
        while (text.endsWith('\r'))
            text.chop(1);
        if (number == 1 && text.startsWith("\xEF\xBB\xBF"))
            text.remove(0, 3); // the window's reader skips a byte-order mark too
        if (text.isEmpty())
            return refuse(number,
                          QStringLiteral("empty line: the firmware window refuses the file"));
        if (text[0] != ':')
            return refuse(number, QStringLiteral("does not begin with ':': the firmware window "
                                                 "refuses the file"));
        const QByteArray digits = text.mid(1);
        bool ok = digits.size() % 2 == 0;
        for (char c : digits)
            ok = ok && isxdigit(uchar(c));
        const QByteArray bytes = QByteArray::fromHex(digits);
        if (!ok || bytes.size() < 5 || bytes.size() != 5 + quint8(bytes[0])) {
            const int needed =
                kRecordHeaderChars + kChecksumChars + (bytes.isEmpty() ? 0 : 2 * quint8(bytes[0]));
            return broken(number, QStringLiteral("malformed record: %1 characters where its byte "
                                                 "count needs %2, or digits that are not hex")
                                      .arg(text.size())
                                      .arg(needed));
        }
        quint8 sum = 0;
        for (char b : bytes)
            sum = quint8(sum + quint8(b));
        if (sum != 0) {
            const quint8 stated = quint8(bytes.back());
            broken(number, QStringLiteral("checksum error: the record says %1, its bytes need %2")
                               .arg(hex(stated, 2), hex(quint8(stated - sum), 2)));
        }
        const int count = quint8(bytes[0]);
        const int address = (quint8(bytes[1]) << 8) | quint8(bytes[2]);
        const int type = quint8(bytes[3]);
        const QByteArray data = bytes.mid(4, count);
        if (type == ExtendedLinearAddress) {
            if (count != 2)
                return broken(
                    number,
                    QStringLiteral("extended address record with %1 data bytes").arg(count));
            upper_ = quint16((quint8(data[0]) << 8) | quint8(data[1]));
            return;
        }
        if (type == EndOfFile)
            return;
        if (type != DataRecord)
            broken(number, QStringLiteral("record type %1 is read as data").arg(hex(type, 2)));
        place(number, address, data);
    }

    void finish() {
        for (int i = 0; i < report.problems.size(); ++i) {
            const auto it = runs_.constFind(i);
            if (it != runs_.constEnd())
                report.problems[i].text = it->text();
        }
    }

private:
    // A finding about a range of addresses, grown while neighbouring lines
    // continue it, so a misplaced block reads as one line and not hundreds.
    struct Run {
        const char *what; // "%1" is the address range, "%2" the earlier line
        qint64 from, to;  // inclusive
        int digits;
        int earlierLine;
        QString text() const {
            const QString range =
                from == to ? hex(from, digits) : hex(from, digits) + '-' + hex(to, digits);
            const QString text = QString::fromLatin1(what).arg(range);
            return earlierLine > 0 ? text.arg(earlierLine) : text;
        }
    };

    void refuse(int number, const QString &text) {
        report.analyzable = false;
        broken(number, text);
    }
    void broken(int number, const QString &text) {
        report.problems.append({number, number, HexArea::File, text});
        report.recordsBroken = true;
    }
    void unusableConfig(int number, const QString &text) {
        report.problems.append({number, number, HexArea::Config, text});
        report.configUnusable = true;
    }
    void rangeProblem(int number, HexArea area, const char *what, qint64 from, qint64 to,
                      int digits, int earlierLine = 0) {
        if (!report.problems.isEmpty()) {
            HexProblem &last = report.problems.last();
            const auto it = runs_.find(report.problems.size() - 1);
            if (it != runs_.end() && it->what == what && number - last.lastLine <= 1 &&
                it->to + 1 == from) {
                last.lastLine = number;
                it->to = to;
                return;
            }
        }
        runs_.insert(report.problems.size(), Run{what, from, to, digits, earlierLine});
        report.problems.append({number, number, area, QString()});
    }

    // Reports the addresses of a record that an earlier line named too.
    void duplicates(int number, HexArea area, QHash<qint64, int> &seen, qint64 base, int count,
                    int digits) {
        for (int k = 0; k < count; ++k) {
            const auto it = seen.constFind(base + k);
            if (it == seen.constEnd())
                seen.insert(base + k, number);
            else
                rangeProblem(number, area, "%1 already given, the first of them on line %2",
                             base + k, base + k, digits, *it);
        }
    }

    void place(int number, int address, const QByteArray &data) {
        const qint64 absolute = (qint64(upper_) << 16) + address;
        const int count = data.size();
        if (count == 0)
            return;
        if (upper_ == kIdUpper) {
            report.idLocationBytes += count;
        } else if (upper_ == kConfigUpper) {
            if (address != report.config.size())
                unusableConfig(number, QStringLiteral("configuration bytes at %1 follow %2 bytes: "
                                                      "the window takes them in file order, not "
                                                      "by address")
                                           .arg(hex(absolute, 6))
                                           .arg(report.config.size()));
            duplicates(number, HexArea::Config, configSeen_, absolute, count, 6);
            report.config += data;
        } else if (upper_ == kEepromUpper) {
            const int last = address + count - 1;
            if (last >= zq::boot::kEepromSize)
                rangeProblem(number, HexArea::Eeprom,
                             "EEPROM %1 lies past the 1024-byte EEPROM and will not be written",
                             qMax(address, zq::boot::kEepromSize), last, 4);
            duplicates(number, HexArea::Eeprom, eepromSeen_, address, count, 4);
        } else {
            const qint64 last = absolute + count - 1;
            if (absolute < zq::boot::kProgramStart)
                rangeProblem(number, HexArea::Program,
                             "program data at %1 lies below 0x0300 and will not be written",
                             absolute, qMin<qint64>(last, zq::boot::kProgramStart - 1), 6);
            if (last >= zq::boot::kProgramEnd)
                rangeProblem(number, HexArea::Program,
                             "program data at %1 lies above 0xFFFF and will not be written",
                             qMax<qint64>(absolute, zq::boot::kProgramEnd), last, 6);
            duplicates(number, HexArea::Program, programSeen_, absolute, count, 6);
        }
    }

    quint16 upper_ = 0;
    QHash<qint64, int> programSeen_, eepromSeen_, configSeen_;
    QHash<int, Run> runs_; // by index in report.problems
};

} // namespace

HexReport checkHex(const QByteArray &fileBytes) {
    // What the write takes is the window's reader's business; ask it.
    QByteArray copy = fileBytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    PICProgram program;
    const bool read = program.readHex(buffer) == 0;
    return checkHex(fileBytes, program, read);
}

HexReport checkHex(const QByteArray &fileBytes, const PICProgram &program, bool programRead) {
    Checker checker;
    checker.report.analyzable = true;
    QList<QByteArray> lines = fileBytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // the line end after the last record
    for (int i = 0; i < lines.size(); ++i)
        checker.line(i + 1, lines[i]);
    checker.finish();

    HexReport &report = checker.report;
    report.analyzable = report.analyzable && programRead;
    for (int a = zq::boot::kProgramStart; a < zq::boot::kProgramEnd; a += 2)
        report.programWords += program.findProgramWord(a) >= 0 ? 1 : 0;
    for (int e = 0; e < zq::boot::kEepromSize; ++e)
        report.eepromBytes += program.findEepromByte(quint16(e)) >= 0 ? 1 : 0;
    if (report.config.size() != zq::boot::kConfigSize) {
        report.problems.append({0, 0, HexArea::Config,
                                QStringLiteral("%1 configuration bytes instead of 14: the firmware "
                                               "window writes 14 zero bytes instead")
                                    .arg(report.config.size())});
        report.configUnusable = true;
    }
    return report;
}

QString hexProblemText(const HexProblem &p) {
    if (p.line <= 0)
        return p.text;
    if (p.lastLine > p.line)
        return QStringLiteral("lines %1-%2: %3").arg(p.line).arg(p.lastLine).arg(p.text);
    return QStringLiteral("line %1: %2").arg(p.line).arg(p.text);
}

QStringList hexReportLines(const HexReport &r) {
    QStringList lines;
    lines << QStringLiteral("Program memory: %1 words in 0x0300-0xFFFF (the others are written as "
                            "0xFFFF)")
                 .arg(r.programWords);
    lines << QStringLiteral("EEPROM: %1 of 1024 bytes (the others are written as 0x00)")
                 .arg(r.eepromBytes);
    lines << QStringLiteral("Configuration: %1 bytes%2")
                 .arg(r.config.size())
                 .arg(r.config.isEmpty() ? QString()
                                         : QStringLiteral(": ") +
                                               QString::fromLatin1(r.config.toHex(' ').toUpper()));
    if (r.idLocationBytes > 0)
        lines << QStringLiteral("ID locations: %1 bytes (never written)").arg(r.idLocationBytes);
    for (const HexProblem &p : r.problems)
        lines << hexProblemText(p);
    lines << (r.problems.isEmpty() ? QStringLiteral("Problems: none")
                                   : QStringLiteral("Problems: %1").arg(r.problems.size()));
    return lines;
}

} // namespace zqctl
