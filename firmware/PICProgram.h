#pragma once
// One Intel HEX file for the unit's PIC18, split by memory space into program
// words, configuration bytes and data-EEPROM bytes, each kept in file order.
// The firmware window owns one; the write sequences and the tables read it.

#include "FirstIndex.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

class QIODevice;

struct ProgramWord {
    qint32 address; // byte address of the high byte
    quint16 word;   // lower-addressed byte in bits 15..8
};

struct EepromByte {
    quint16 address; // within the EEPROM, the 0xF00000 base dropped
    quint8 value;
};

class PICProgram : public QObject {
    Q_OBJECT
public:
    using ProgramWord = ::ProgramWord;
    using EepromByte = ::EepromByte;

    PICProgram();
    ~PICProgram() override;

    // A line of a few characters can stand for 128 program words, so a hostile
    // file could ask for gigabytes. The unit has 32K program words and 1024
    // EEPROM bytes, and the largest PIC18 64K words: no real image comes near
    // 262144 entries, four times the largest, and a file that does fails. An
    // entry costs at most 24 bytes with its index, so such a read stays under
    // about 8 MB.
    static constexpr int kMaxEntries = 1 << 18;

    void clear();
    // Appends the file's records to the stores (callers clear() first).
    // 0 when every line was read, -1 when the file cannot be opened, a line
    // is blank or does not begin with ':', or the stores would pass kMaxEntries.
    int readHexFile(const QString &fileName);
    // The same from an open, readable device; -1 when it is not.
    int readHex(QIODevice &device);

    bool isAnalyzed() const { return analyzed_; }
    const QVector<ProgramWord> &programWords() const { return programWords_; }
    const QByteArray &configBytes() const { return configBytes_; }
    const QVector<EepromByte> &eepromBytes() const { return eepromBytes_; }

    // Index of the first entry with that address, or -1.
    int findProgramWord(qint32 address) const;
    int findEepromByte(quint16 address) const;

private:
    void addRecord(const QString &line, quint16 &upperAddress);
    void addProgramWord(quint32 address, int high, int low);

    QVector<ProgramWord> programWords_;
    QByteArray configBytes_;
    QVector<EepromByte> eepromBytes_;
    bool analyzed_ = false;

    // Index of the first entry per address, so lookups stay constant-time.
    // The flags of a program word are the halves (kHighHalf | kLowHalf) its
    // first entry still misses: a record with an odd count or address filled
    // it by half, and a later record may supply the other byte.
    FirstIndex firstProgramWord_;
    FirstIndex firstEepromByte_;
};
