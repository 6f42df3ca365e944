#include "PICProgram.h"

#include <QDebug>
#include <QFile>
#include <QIODevice>
#include <QTextCodec>

#include <algorithm>

#include "HexRecord.h"
#include "Pic18Memory.h"

namespace {

using zq::hex::kAddressPos;
using zq::hex::kCountPos;
using zq::hex::kDataPos;
using zq::hex::kTypePos;

// Only the characters of the longest record are ever kept of a line, whatever
// its length (no field lies past them): room for that many characters of
// UTF-8, at most 4 bytes each.
constexpr int kKeptLineBytes = 4 * zq::hex::kMaxRecordChars;
constexpr int kReadChunkBytes = 4096;

constexpr quint8 kHighHalf = 0x2;
constexpr quint8 kLowHalf = 0x1;

// A character that is not a hex digit, and a position past the end of the
// line, read as F: a short or damaged line reads as if padded with 'F'.
int nibbleAt(const QString &line, int pos) {
    if (pos >= line.size())
        return 0xF;
    const ushort c = line.at(pos).unicode();
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0xF;
}

int byteAt(const QString &line, int pos) {
    return (nibbleAt(line, pos) << 4) | nibbleAt(line, pos + 1);
}

// Reads one line into `line` without its line end (LF or CR LF), keeping at
// most kKeptLineBytes bytes of it: the rest is read and dropped, so neither a
// huge line nor a file without line ends costs more than that. False when the
// device had no more data.
bool readBoundedLine(QIODevice &device, QByteArray &line) {
    line.clear();
    char chunk[kReadChunkBytes];
    bool gotData = false;
    bool truncated = false;
    for (;;) {
        const qint64 n = device.readLine(chunk, sizeof chunk);
        if (n <= 0)
            break;
        gotData = true;
        const qint64 room = kKeptLineBytes - line.size();
        if (room > 0)
            line.append(chunk, int(qMin(n, room)));
        if (n > room)
            truncated = true;
        if (chunk[n - 1] == '\n')
            break;
        // A line that begins with neither ':' nor a byte-order mark fails
        // whatever follows, so the rest is not read: a device without line
        // ends (/dev/zero) would otherwise be read for ever.
        if (line.at(0) != ':' && line.at(0) != '\xEF')
            break;
    }
    if (!truncated) {
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return gotData;
}

// Positions count characters, not bytes, as for any text file. A byte-order
// mark is decoded as a character here: only one at the start of the file is
// skipped (by the caller).
QString decodeLine(const QByteArray &bytes) {
    const bool ascii = std::all_of(bytes.cbegin(), bytes.cend(),
                                   [](char c) { return static_cast<uchar>(c) < 0x80; });
    if (ascii)
        return QString::fromLatin1(bytes);
    static QTextCodec *const utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return utf8->toUnicode(bytes.constData(), bytes.size(), &state);
}

} // namespace

PICProgram::PICProgram() = default;

PICProgram::~PICProgram() {
    qDebug() << "Destroy PICProgram";
}

void PICProgram::clear() {
    programWords_.clear();
    configBytes_.clear();
    eepromBytes_.clear();
    firstProgramWord_.clear();
    firstEepromByte_.clear();
    analyzed_ = false;
}

int PICProgram::readHexFile(const QString &fileName) {
    analyzed_ = false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    return readHex(file);
}

int PICProgram::readHex(QIODevice &device) {
    analyzed_ = false;
    if (!device.isOpen() || !device.isReadable())
        return -1;

    quint16 upperAddress = 0;
    QByteArray bytes;
    bool firstLine = true;
    while (readBoundedLine(device, bytes)) {
        // Editors that save "UTF-8 with BOM" put one before the first record.
        if (firstLine && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        firstLine = false;

        const QString line = decodeLine(bytes);
        if (line.isEmpty() || line.at(0) != QLatin1Char(':'))
            return -1;
        addRecord(line, upperAddress);
        if (programWords_.size() + eepromBytes_.size() + configBytes_.size() > kMaxEntries)
            return -1;
    }
    analyzed_ = true;
    return 0;
}

void PICProgram::addRecord(const QString &line, quint16 &upperAddress) {
    // The byte count is trusted as written: neither the line length nor the
    // checksum is checked against it.
    const int count = byteAt(line, kCountPos);
    const quint16 recordAddress =
        quint16((byteAt(line, kAddressPos) << 8) | byteAt(line, kAddressPos + 2));
    const auto dataByte = [&line](int k) { return byteAt(line, kDataPos + 2 * k); };

    // Only the record type that changes the upper address is told apart;
    // every other type is stored as data.
    if (byteAt(line, kTypePos) == zq::hex::ExtendedLinearAddress) {
        upperAddress = quint16((dataByte(0) << 8) | dataByte(1));
        return;
    }

    switch (upperAddress) {
    case zq::pic18::kConfigSpace:
        // In order of the file; the record addresses inside the space are not kept.
        for (int k = 0; k < count; ++k)
            configBytes_.append(char(dataByte(k)));
        return;
    case zq::pic18::kEepromSpace:
        for (int k = 0; k < count; ++k) {
            const auto address = quint16(recordAddress + k);
            firstEepromByte_.insertFirst(address, eepromBytes_.size(), 0);
            eepromBytes_.append({address, quint8(dataByte(k))});
        }
        return;
    case zq::pic18::kIdSpace:
        return;
    default:
        break;
    }

    // Program memory: one entry per 16-bit word, on even byte addresses. The
    // bootloader only ever asks for even addresses, so a record with an odd
    // byte count or an odd address is aligned rather than read past its data
    // (which would take the checksum for a byte): the half word it does not
    // cover reads 0xFF, the erased value, until a later record supplies it.
    // Records with even addresses and even counts give one entry per byte
    // pair, exactly as written.
    quint32 address = (quint32(upperAddress) << 16) + recordAddress;
    int k = 0;
    while (k < count) {
        const quint32 wordAddress = address & ~quint32(1);
        int high = -1;
        int low = -1;
        if ((address & 1) == 0) {
            high = dataByte(k++);
            ++address;
        }
        if (k < count) {
            low = dataByte(k++);
            ++address;
        }
        addProgramWord(wordAddress, high, low);
    }
}

// `high` or `low` is -1 when the record does not cover that half of the word.
void PICProgram::addProgramWord(quint32 wordAddress, int high, int low) {
    // Addresses past 0x7FFFFFFF (upper addresses from 0x8000) wrap to negative.
    const auto address = qint32(wordAddress);

    // Complete the first entry of this address when an earlier record left
    // half of it open; a half it already holds keeps its first value, so the
    // new record is also kept as an entry of its own.
    bool overlaps = true;
    const quint8 open = firstProgramWord_.flags(quint32(address));
    if (open != 0) {
        quint8 missing = open;
        quint16 &word = programWords_[firstProgramWord_.find(quint32(address))].word;
        overlaps = false;
        if (high >= 0) {
            if (missing & kHighHalf) {
                word = quint16((word & 0x00FF) | (high << 8));
                missing &= ~kHighHalf;
            } else {
                overlaps = true;
            }
        }
        if (low >= 0) {
            if (missing & kLowHalf) {
                word = quint16((word & 0xFF00) | low);
                missing &= ~kLowHalf;
            } else {
                overlaps = true;
            }
        }
        firstProgramWord_.setFlags(quint32(address), missing);
    }
    if (!overlaps)
        return;

    const int index = programWords_.size();
    const auto word = quint16(((high >= 0 ? high : zq::pic18::kErasedByte) << 8) |
                              (low >= 0 ? low : zq::pic18::kErasedByte));
    programWords_.append({address, word});
    const quint8 missing = quint8((high < 0 ? kHighHalf : 0) | (low < 0 ? kLowHalf : 0));
    firstProgramWord_.insertFirst(quint32(address), index, missing);
}

int PICProgram::findProgramWord(qint32 address) const {
    return firstProgramWord_.find(quint32(address));
}

int PICProgram::findEepromByte(quint16 address) const {
    return firstEepromByte_.find(address);
}
