#include "BootImage.h"

#include "BootloaderCommand.h"
#include "PICProgram.h"
#include "Pic18Memory.h"
#include "Printed.h"

namespace zqctl {

QByteArray eepromFromPayloads(const QVector<QByteArray> &payloads) {
    QByteArray eeprom(zq::boot::kEepromSize, '\0');
    for (const QByteArray &p : payloads) {
        if (p.size() < zq::boot::kRunHeaderBytes || quint8(p[0]) != zq::boot::WriteEeprom)
            continue;
        const int count = quint8(p[1]);
        const int start = (quint8(p[2]) << 8) | quint8(p[3]);
        for (int i = 0; i < count && zq::boot::kRunHeaderBytes + i < p.size(); ++i) {
            if (start + i < eeprom.size())
                eeprom[start + i] = p[zq::boot::kRunHeaderBytes + i];
        }
    }
    return eeprom;
}

QByteArray configFromPayloads(const QVector<QByteArray> &payloads) {
    for (int i = payloads.size() - 1; i >= 0; --i) {
        if (!payloads[i].isEmpty() && quint8(payloads[i][0]) == zq::boot::WriteConfig)
            return payloads[i].mid(1);
    }
    return {};
}

QString writePayloadText(const QByteArray &p) {
    const int code = p.isEmpty() ? -1 : quint8(p[0]);
    // Both carry their address in bytes 2 and 3, high byte first.
    const int start =
        p.size() >= zq::boot::kRunHeaderBytes ? (quint8(p[2]) << 8) | quint8(p[3]) : -1;
    if (code == zq::boot::WriteProgram && start >= 0)
        return QStringLiteral("block ") + hexNumber(start, 4);
    if (code == zq::boot::WriteEeprom && start >= 0)
        return QStringLiteral("EEPROM run %1-%2")
            .arg(hexNumber(start, 4), hexNumber(start + qMax(1, int(quint8(p[1]))) - 1, 4));
    if (code == zq::boot::WriteConfig)
        return QStringLiteral("configuration");
    return QStringLiteral("code %1").arg(hexNumber(quint8(qMax(code, 0)), 2));
}

QByteArray eepromFromImage(const PICProgram &program, int *named) {
    QByteArray eeprom(zq::boot::kEepromSize, '\0');
    QBitArray set(zq::boot::kEepromSize);
    for (const EepromByte &e : program.eepromBytes()) {
        if (e.address < zq::boot::kEepromSize) {
            eeprom[e.address] = char(e.value);
            set.setBit(e.address);
        }
    }
    *named = set.count(true);
    return eeprom;
}

EepromReadBack::EepromReadBack()
    : bytes_(zq::boot::kEepromSize, '\0'), seen_(zq::boot::kEepromSize),
      missing_(zq::boot::kEepromSize) {}

void EepromReadBack::add(const zq::boot::BootloaderAnswer &answer) {
    for (const zq::boot::TableCell &cell : answer.eepromRows) {
        bytes_[cell.row] = char(cell.value);
        if (!seen_.testBit(cell.row)) {
            seen_.setBit(cell.row);
            --missing_;
        }
    }
}

QByteArray configFromAnswer(const zq::boot::BootloaderAnswer &answer) {
    QByteArray config;
    for (const zq::boot::TableCell &cell : answer.configRows) {
        if (config.size() <= cell.row)
            config.resize(cell.row + 1);
        config[cell.row] = char(cell.value);
    }
    return config;
}

int firstMismatch(const QByteArray &wrote, const QByteArray &read) {
    const int common = qMin(wrote.size(), read.size());
    for (int i = 0; i < common; ++i) {
        if (wrote[i] != read[i])
            return i;
    }
    return wrote.size() == read.size() ? -1 : common;
}

QString eepromMismatchText(int address, quint8 wrote, quint8 read) {
    return QStringLiteral("EEPROM address %1: wrote %2, read %3")
        .arg(hexNumber(address, 4), hexNumber(wrote, 2), hexNumber(read, 2));
}

QString configMismatchText(int index, quint8 wrote, quint8 read) {
    return QStringLiteral("%1 (%2): wrote %3, read %4")
        .arg(QLatin1String(index < zq::boot::kConfigSize ? zq::pic18::kConfigRegisterNames[index]
                                                         : "CONFIG"),
             hexNumber(zq::pic18::kConfigBase + index, 6), hexNumber(wrote, 2), hexNumber(read, 2));
}

} // namespace zqctl
