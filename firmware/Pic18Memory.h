#pragma once
// Where the unit's PIC18 keeps its memories in an Intel HEX file. The upper 16
// bits of an address (set by an extended linear address record) name the
// space; program memory is every other space. The HEX reader, the checker and
// the backup writer place bytes by these, so a file one of them writes or
// accepts means the same to the others.

#include <QtGlobal>

#include "BootloaderCommand.h"

namespace zq::pic18 {

constexpr quint16 kIdSpace = 0x0020;     // ID locations, 0x200000
constexpr quint16 kConfigSpace = 0x0030; // configuration registers, 0x300000
constexpr quint16 kEepromSpace = 0x00F0; // data EEPROM, 0xF00000

// What erased program memory reads.
constexpr quint8 kErasedByte = 0xFF;

constexpr int kConfigBase = int(kConfigSpace) << 16;

// The configuration registers in address order from kConfigBase.
constexpr const char *kConfigRegisterNames[zq::boot::kConfigSize] = {
    "CONFIG1L", "CONFIG1H", "CONFIG2L", "CONFIG2H", "CONFIG3L", "CONFIG3H", "CONFIG4L",
    "CONFIG4H", "CONFIG5L", "CONFIG5H", "CONFIG6L", "CONFIG6H", "CONFIG7L", "CONFIG7H",
};

} // namespace zq::pic18
