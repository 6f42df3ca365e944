#pragma once
// What the simulated unit holds, for proving that an image arrived whole:
// raw files for tools and tests, a short hex summary for people.

#include "Unit.h"

#include <QByteArray>
#include <QString>

namespace zq::sim {

// Writes program.bin, eeprom.bin and config.bin into `dir` (created if needed).
bool writeDump(const QString &dir, const Unit &unit, QString *error);

// Program memory as its written ranges and a checksum, EEPROM rows that are not
// erased, and the configuration bytes.
QByteArray dumpSummary(const Unit &unit);

} // namespace zq::sim
