#pragma once
// Every file zqctl reads (HEX images, backups, the access code) comes through
// here, bounded before a byte is read: a regular file and no larger than the
// caller allows. A device, a FIFO or a folder is refused without being read,
// so neither /dev/zero nor a terminal can hold zqctl up or fill the memory.
// The files it writes (--log, --out) are held to the same: a regular file or
// none yet, never a FIFO that blocks or a device that swallows the bytes.

#include <QByteArray>
#include <QString>

namespace zqctl {

// No image of the unit's 64 KiB of program memory comes near this as Intel HEX
// (a full one is under 200 KB); a larger file is not an image.
constexpr qint64 kMaxHexFileBytes = 16 * 1024 * 1024;
constexpr qint64 kMaxAccessCodeFileBytes = 4096;

// Reads `path` whole into `bytes`; false with the reason in `error`
// ("cannot read PATH: ...") when it cannot or must not be read.
bool readInputFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error);

// True when `path` is a regular file or does not exist yet; otherwise false
// with the reason in `error` ("cannot write PATH: a FIFO, not a file; ...").
bool checkOutputFile(const QString &path, QString *error);

} // namespace zqctl
