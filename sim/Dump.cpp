#include "Dump.h"

#include <QDir>
#include <QSaveFile>

namespace zq::sim {

namespace {

constexpr int kSummaryRowBytes = 16;
constexpr char kErased = char(0xFF);

bool writeFile(const QString &path, const QByteArray &bytes, QString *error) {
    // Written aside and renamed, so a reader never sees half a dump.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}

QByteArray hex4(int value) {
    return QByteArray::number(value, 16).toUpper().rightJustified(4, '0');
}

} // namespace

bool writeDump(const QString &dir, const Unit &unit, QString *error) {
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create the folder %1").arg(dir);
        return false;
    }
    const QDir d(dir);
    return writeFile(d.filePath("program.bin"), unit.programMemory(), error) &&
           writeFile(d.filePath("eeprom.bin"), unit.eeprom(), error) &&
           writeFile(d.filePath("config.bin"), unit.config(), error);
}

QByteArray dumpSummary(const Unit &unit) {
    QByteArray out = "Program memory (65536 bytes), ranges not erased:\n";
    const QByteArray &program = unit.programMemory();
    quint32 sum = 0;
    int written = 0;
    for (int i = 0; i < program.size();) {
        if (program.at(i) == kErased) {
            ++i;
            continue;
        }
        const int start = i;
        while (i < program.size() && program.at(i) != kErased) {
            sum += quint8(program.at(i));
            ++i;
        }
        written += i - start;
        out += "  " + hex4(start) + "-" + hex4(i - 1) + "\n";
    }
    out += "  " + QByteArray::number(written) + " bytes not 0xFF, byte sum " +
           QByteArray::number(sum) + "\n";

    out += "EEPROM (1024 bytes), rows not erased:\n";
    const QByteArray &eeprom = unit.eeprom();
    for (int row = 0; row < eeprom.size(); row += kSummaryRowBytes) {
        const QByteArray bytes = eeprom.mid(row, kSummaryRowBytes);
        if (bytes.count(kErased) == bytes.size())
            continue;
        out += "  " + hex4(row) + ": " + bytes.toHex(' ').toUpper() + "\n";
    }
    out += "Configuration (14 bytes):\n  " + unit.config().toHex(' ').toUpper() + "\n";
    return out;
}

} // namespace zq::sim
