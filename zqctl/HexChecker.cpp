#include "HexChecker.h"

#include <QBuffer>

#include <cstring>

#include "BootloaderCommand.h"
#include "FirstIndex.h"
#include "HexRecord.h"
#include "PICProgram.h"
#include "Pic18Memory.h"
#include "Printed.h"

namespace zqctl {

namespace {

class Checker {
public:
    HexReport report;

    // One line of the file, in place: nothing here copies more than a record.
    void line(int number, const char *begin, int size) {
        while (size > 0 && begin[size - 1] == '\r')
            --size;
        if (number == 1 && size >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) {
            begin += 3; // the window's reader skips a byte-order mark too
            size -= 3;
        }
        const QByteArray text = QByteArray::fromRawData(begin, size);
        if (text.isEmpty())
            return refuse(number,
                          QStringLiteral("empty line: the firmware window refuses the file"));
        if (text.at(0) != ':')
            return refuse(number, QStringLiteral("does not begin with ':': the firmware window "
                                                 "refuses the file"));
        const QByteArray digits =
            text.size() <= zq::hex::kMaxRecordChars ? text.mid(1) : QByteArray();
        bool ok = !digits.isEmpty() && digits.size() % 2 == 0;
        for (char c : digits)
            ok = ok && isxdigit(uchar(c));
        const QByteArray bytes = ok ? QByteArray::fromHex(digits) : QByteArray();
        if (!ok || bytes.size() < 5 || bytes.size() != 5 + quint8(bytes[0])) {
            const int needed = zq::hex::kDataPos + zq::hex::kChecksumChars +
                               (bytes.isEmpty() ? 0 : 2 * quint8(bytes[0]));
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
                               .arg(hexNumber(stated, 2), hexNumber(quint8(stated - sum), 2)));
        }
        const int count = quint8(bytes[0]);
        const int address = (quint8(bytes[1]) << 8) | quint8(bytes[2]);
        const int type = quint8(bytes[3]);
        const QByteArray data = bytes.mid(4, count);
        if (type == zq::hex::ExtendedLinearAddress) {
            if (count != 2)
                return broken(
                    number,
                    QStringLiteral("extended address record with %1 data bytes").arg(count));
            upper_ = quint16((quint8(data[0]) << 8) | quint8(data[1]));
            return;
        }
        if (type == zq::hex::EndOfFileRecord) {
            sawEnd_ = true;
            return;
        }
        if (type != zq::hex::DataRecord)
            broken(number,
                   QStringLiteral("record type %1 is read as data").arg(hexNumber(type, 2)));
        place(number, address, data);
    }

    void finish() {
        settleLast();
        if (!sawEnd_) {
            add({0, 0, HexArea::File,
                 QStringLiteral("no end-of-file record (:00000001FF): the file may be cut short, "
                                "and the window would write the missing rest as blank")});
            report.endMissing = true;
            settleLast();
        }
        if (report.configBytes != zq::boot::kConfigSize) {
            add({0, 0, HexArea::Config,
                 QStringLiteral("%1 configuration bytes instead of 14: the firmware window writes "
                                "14 zero bytes instead")
                     .arg(report.configBytes)});
            report.configUnusable = true;
            settleLast();
        }
    }

private:
    // A finding about a range of addresses, grown while neighbouring lines
    // continue it, so a misplaced block reads as one line and not hundreds.
    struct Run {
        const char *what = nullptr; // "%1" is the address range, "%2" the earlier line
        qint64 from = 0, to = 0;    // inclusive
        int digits = 0;
        int earlierLine = 0;
        QString text() const {
            const QString range = from == to
                                      ? hexNumber(from, digits)
                                      : hexNumber(from, digits) + '-' + hexNumber(to, digits);
            const QString text = QString::fromLatin1(what).arg(range);
            return earlierLine > 0 ? text.arg(earlierLine) : text;
        }
    };

    // The newest problem stays open while a run may grow; the report keeps
    // the first kMaxShownProblems and counts the others.
    void add(const HexProblem &problem, const Run *run = nullptr) {
        settleLast();
        last_ = problem;
        lastRun_ = run ? *run : Run();
        haveLast_ = true;
        if (report.problems.size() < kMaxShownProblems)
            report.problems.append(problem);
        else
            ++report.moreProblems;
        lastStored_ = report.moreProblems == 0;
    }
    void settleLast() {
        if (haveLast_ && lastStored_ && lastRun_.what)
            report.problems.last() = {last_.line, last_.lastLine, last_.area, lastRun_.text()};
    }

    void refuse(int number, const QString &text) {
        report.analyzable = false;
        broken(number, text);
    }
    void broken(int number, const QString &text) {
        add({number, number, HexArea::File, text});
        report.recordsBroken = true;
    }
    void unusableConfig(int number, const QString &text) {
        add({number, number, HexArea::Config, text});
        report.configUnusable = true;
    }
    void rangeProblem(int number, HexArea area, const char *what, qint64 from, qint64 to,
                      int digits, int earlierLine = 0) {
        if (haveLast_ && lastRun_.what == what && number - last_.lastLine <= 1 &&
            lastRun_.to + 1 == from) {
            last_.lastLine = number;
            lastRun_.to = to;
            return;
        }
        const Run run{what, from, to, digits, earlierLine};
        add({number, number, area, QString()}, &run);
    }

    // Reports the addresses of a record that an earlier line named too, and
    // apart those whose values differ: which one the unit should hold, the
    // file cannot tell.
    void duplicates(int number, HexArea area, FirstIndex &seen, qint64 base, const QByteArray &data,
                    int digits) {
        for (int k = 0; k < data.size(); ++k) {
            const auto address = quint32(base + k);
            const int first = seen.find(address);
            if (first >= 0) {
                const bool differs = firstValues_.at(first) != data.at(k);
                if (differs)
                    report.contradictions |= 1u << int(area);
                rangeProblem(number, area,
                             differs ? "%1 given again with other values, the first of them on "
                                       "line %2"
                                     : "%1 already given, the first of them on line %2",
                             address, address, digits, firstLines_.at(first));
            } else if (tracked_ < kMaxTrackedAddresses) {
                seen.insertFirst(address, tracked_++, 0);
                firstLines_.append(number);
                firstValues_.append(data.at(k));
            }
        }
    }

    void place(int number, int address, const QByteArray &data) {
        const qint64 absolute = (qint64(upper_) << 16) + address;
        const int count = data.size();
        if (count == 0)
            return;
        if (upper_ == zq::pic18::kIdSpace) {
            report.idLocationBytes += count;
        } else if (upper_ == zq::pic18::kConfigSpace) {
            if (address != report.configBytes)
                unusableConfig(number, QStringLiteral("configuration bytes at %1 follow %2 bytes: "
                                                      "the window takes them in file order, not "
                                                      "by address")
                                           .arg(hexNumber(absolute, 6))
                                           .arg(report.configBytes));
            duplicates(number, HexArea::Config, configSeen_, absolute, data, 6);
            report.configBytes += count;
            if (report.config.size() < kMaxKeptConfigBytes)
                report.config += data.left(kMaxKeptConfigBytes - report.config.size());
        } else if (upper_ == zq::pic18::kEepromSpace) {
            const int last = address + count - 1;
            if (last >= zq::boot::kEepromSize)
                rangeProblem(number, HexArea::Eeprom,
                             "EEPROM %1 lies past the 1024-byte EEPROM and will not be written",
                             qMax(address, zq::boot::kEepromSize), last, 4);
            duplicates(number, HexArea::Eeprom, eepromSeen_, address, data, 4);
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
            duplicates(number, HexArea::Program, programSeen_, absolute, data, 6);
        }
    }

    quint16 upper_ = 0;
    // The first line that named each address, in flat tables: a hash of nodes
    // would cost tens of bytes an address.
    FirstIndex programSeen_, eepromSeen_, configSeen_;
    int tracked_ = 0;
    // By the order in which the addresses were first seen: the line and the
    // value of the first record that named each.
    QVector<int> firstLines_;
    QByteArray firstValues_;
    bool sawEnd_ = false;
    HexProblem last_{0, 0, HexArea::File, QString()};
    Run lastRun_;
    bool haveLast_ = false;
    bool lastStored_ = false;
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
    // Line by line in place: a file of a few million short lines must not
    // become a few million arrays.
    int number = 0;
    for (int from = 0; from < fileBytes.size();) {
        int end = fileBytes.indexOf('\n', from);
        if (end < 0)
            end = fileBytes.size();
        checker.line(++number, fileBytes.constData() + from, end - from);
        from = end + 1;
    }
    checker.finish();

    HexReport &report = checker.report;
    report.analyzable = report.analyzable && programRead;
    for (int a = zq::boot::kProgramStart; a < zq::boot::kProgramEnd; a += 2)
        report.programWords += program.findProgramWord(a) >= 0 ? 1 : 0;
    for (int e = 0; e < zq::boot::kEepromSize; ++e)
        report.eepromBytes += program.findEepromByte(quint16(e)) >= 0 ? 1 : 0;
    return report;
}

QString hexProblemText(const HexProblem &p) {
    if (p.line <= 0)
        return p.text;
    if (p.lastLine > p.line)
        return QStringLiteral("lines %1-%2: %3").arg(p.line).arg(p.lastLine).arg(p.text);
    return QStringLiteral("line %1: %2").arg(p.line).arg(p.text);
}

QString moreProblemsText(const HexReport &r) {
    return QStringLiteral("... and %1 more problems").arg(r.moreProblems);
}

QStringList hexReportLines(const HexReport &r) {
    QStringList lines;
    lines << QStringLiteral("Program memory: %1 words in 0x0300-0xFFFF (the others are written as "
                            "0xFFFF)")
                 .arg(r.programWords);
    lines << QStringLiteral("EEPROM: %1 of 1024 bytes (the others are written as 0x00)")
                 .arg(r.eepromBytes);
    QString config = QString::fromLatin1(r.config.toHex(' ').toUpper());
    if (r.configBytes > r.config.size())
        config += QStringLiteral(" ...");
    lines << QStringLiteral("Configuration: %1 bytes%2")
                 .arg(r.configBytes)
                 .arg(config.isEmpty() ? QString() : QStringLiteral(": ") + config);
    if (r.idLocationBytes > 0)
        lines << QStringLiteral("ID locations: %1 bytes (never written)").arg(r.idLocationBytes);
    for (const HexProblem &p : r.problems)
        lines << hexProblemText(p);
    if (r.moreProblems > 0)
        lines << moreProblemsText(r);
    lines << (r.problems.isEmpty()
                  ? QStringLiteral("Problems: none")
                  : QStringLiteral("Problems: %1").arg(r.problems.size() + r.moreProblems));
    return lines;
}

} // namespace zqctl
