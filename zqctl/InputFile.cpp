#include "InputFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zqctl {

namespace {

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

bool readInputFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error) {
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, why);
        return false;
    };
    // Non-blocking, so that opening a FIFO without a writer or a terminal
    // returns at once; no controlling terminal is taken on the way.
    const Descriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return fail(kindOf(st.st_mode) + QStringLiteral(", not a file; nothing was read"));
    if (st.st_size > maxBytes)
        return fail(QStringLiteral("%1 bytes, more than the %2 allowed; nothing was read")
                        .arg(qint64(st.st_size))
                        .arg(maxBytes));
    // One byte more than allowed is asked for, so that a file that grew since
    // fstat is still caught.
    bytes->resize(int(st.st_size) + 1);
    qint64 got = 0;
    while (got < bytes->size()) {
        const ssize_t n = ::read(fd.get(), bytes->data() + got, size_t(bytes->size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0)
            break;
        got += n;
        if (got > maxBytes)
            return fail(QStringLiteral("it grew past %1 bytes while it was read").arg(maxBytes));
        if (got == bytes->size())
            bytes->resize(int(qMin<qint64>(maxBytes + 1, 2 * qint64(bytes->size()))));
    }
    bytes->resize(int(got));
    return true;
}

bool checkOutputFile(const QString &path, QString *error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return true; // a file to create, or one to append to or replace
    *error = QStringLiteral("cannot write %1: %2, not a file; nothing was sent")
                 .arg(path, kindOf(st.st_mode));
    return false;
}

} // namespace zqctl
