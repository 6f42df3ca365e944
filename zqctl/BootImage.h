#pragma once
// The bytes a bootloader write puts into the unit's EEPROM and configuration,
// the collection of what it reads back, and their comparison. Program memory
// cannot be read back through the bootloader, so only these two are verified.

#include <QBitArray>
#include <QByteArray>
#include <QString>
#include <QVector>

#include "BootloaderProtocol.h"

class PICProgram;

namespace zqctl {

// What the WriteEeprom payloads among `payloads` leave in a blank EEPROM
// (addresses they do not name read 0x00).
QByteArray eepromFromPayloads(const QVector<QByteArray> &payloads);
// The 14 bytes of the last WriteConfig payload, or an empty array.
QByteArray configFromPayloads(const QVector<QByteArray> &payloads);

// What a payload of a write puts where, as messages name it: "block 0x0400",
// "EEPROM run 0x00FA-0x01F3", "configuration".
QString writePayloadText(const QByteArray &payload);

// The EEPROM as the firmware window's table holds it after "Load EEPROM Data
// from HEX File" into a cleared table: later entries win, addresses from 1024
// up are left out, unnamed addresses are 0. `named` counts the addresses set.
QByteArray eepromFromImage(const PICProgram &program, int *named);

// Gathers the EEPROM read-back answers: the bootloader answers one ReadEeprom
// with several runs, each naming its start address and length.
class EepromReadBack {
public:
    EepromReadBack();
    void add(const zq::boot::BootloaderAnswer &answer);
    bool complete() const { return missing_ == 0; }
    int missing() const { return missing_; }
    const QByteArray &bytes() const { return bytes_; }

private:
    QByteArray bytes_;
    QBitArray seen_;
    int missing_;
};

// The configuration bytes of a ReadConfig answer (empty when it was not one).
QByteArray configFromAnswer(const zq::boot::BootloaderAnswer &answer);

// Index of the first byte where the two differ (also by length), or -1.
int firstMismatch(const QByteArray &wrote, const QByteArray &read);

// "EEPROM address 0x0123: wrote 0x5A, read 0x5B" or "CONFIG2L (0x300002): ...".
QString eepromMismatchText(int address, quint8 wrote, quint8 read);
QString configMismatchText(int index, quint8 wrote, quint8 read);

} // namespace zqctl
