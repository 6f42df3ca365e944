// The HEX reader on arbitrary file contents; an analysed image must always
// give the full write sequence.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QBuffer>

#include "BootloaderProtocol.h"
#include "PICProgram.h"

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static PICProgram *program = [] {
        qInstallMessageHandler(quiet);
        return new PICProgram;
    }();
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly | QIODevice::Text);
    program->clear();
    const int result = program->readHex(device);
    if (result != 0 && result != -1)
        abort();
    if ((result == 0) != program->isAnalyzed())
        abort();
    if (result == 0 && zq::boot::programWriteSequence(*program).size() != 1018)
        abort();
    return 0;
}
