// Bootloader answer handling: any payload gives a status, table rows or a
// mode change, never a crash or a read past the payload.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "BootloaderProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 255)
        return 0;
    std::unique_ptr<quint8[]> payload(new quint8[qMax<size_t>(size, 1)]);
    std::memcpy(payload.get(), data, size);
    const zq::boot::BootloaderAnswer answer =
        zq::boot::handleAnswer(size ? payload.get() : nullptr, int(size));
    for (const zq::boot::TableCell &cell : answer.eepromRows)
        if (cell.row < 0 || cell.row >= 1024)
            abort();
    for (const zq::boot::TableCell &cell : answer.configRows)
        if (cell.row < 0 || cell.row >= 14)
            abort();
    return 0;
}
