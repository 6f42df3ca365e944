// Console answer decoding for every edition: any payload gives messages or a
// label, never a crash or a read past the payload (the copy is exact-size,
// so the address sanitizer sees any overrun).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "AnswerDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 256)
        return 0;
    const int length = int(size - 1);
    std::unique_ptr<quint8[]> payload(new quint8[size_t(qMax(length, 1))]);
    std::memcpy(payload.get(), data + 1, size_t(length));
    for (int edition = 1; edition <= 5; ++edition) {
        const zq::console::DecodedAnswer answer =
            zq::console::decodeAnswer(edition, length ? payload.get() : nullptr, length);
        if (answer.messages.isEmpty() && answer.label == zq::console::InfoLabel::None)
            abort();
        for (const QString &message : answer.messages)
            if (!message.endsWith(QLatin1Char('\n')))
                abort();
    }
    return 0;
}
