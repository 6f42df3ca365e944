#pragma once
// Codes of the unit's bootloader: byte 0 of every payload the firmware window
// sends, repeated as byte 0 of the bootloader's answer. Also the memory layout
// the bootloader accepts.

#include <QtGlobal>

namespace zq::boot {

enum BootloaderCommand : quint8 {
    ReadVersion = 0x00,
    // 0x01 has no command of ours; the bootloader may send it and nothing is done with it.
    SilentAnswer = 0x01,
    WriteProgram = 0x02,
    EraseProgram = 0x03,
    ReadEeprom = 0x04,
    WriteEeprom = 0x05,
    ReadConfig = 0x06,
    WriteConfig = 0x07,
    StartBootloader = 0x33,
    StartUserProgram = 0xCC,
    ErrorReport = 0x3E, // sent by the unit only: base and error number
};

// Program memory is written in blocks of kBlockBytes bytes from kProgramStart
// (the bootloader itself lives below) up to, not including, kProgramEnd.
constexpr int kProgramStart = 0x0300;
constexpr int kProgramEnd = 0x10000;
constexpr int kBlockBytes = 64;
constexpr int kBlockCount = (kProgramEnd - kProgramStart) / kBlockBytes; // 1012
// The data EEPROM is written in runs of at most kEepromRun bytes.
constexpr int kEepromSize = 1024;
constexpr int kEepromRun = 250;
constexpr int kEepromRunCount = (kEepromSize + kEepromRun - 1) / kEepromRun; // 5
// Headers before the data of a block write and of an EEPROM run (written, and
// read back in the answer to ReadEeprom).
constexpr int kBlockHeaderBytes = 4; // code, 0x00, address high, address low
constexpr int kRunHeaderBytes = 4;   // code, count, address high, address low
// CONFIG1L .. CONFIG7H.
constexpr int kConfigSize = 14;

// Status byte values in the bootloader's two-byte answers.
constexpr quint8 kStatusOk = 0;
constexpr quint8 kStatusRejected = 8;       // to WriteProgram and WriteEeprom
constexpr quint8 kStatusConfigRejected = 9; // to WriteConfig

} // namespace zq::boot
