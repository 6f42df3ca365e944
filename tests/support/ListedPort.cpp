#include "ListedPort.h"

#include <QSerialPortInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace listed_port {

namespace {

const char kDevice[] = "/dev/ttyS0";
bool inPrivateNamespace = false;
bool devCovered = false;

bool makePrivate(const char *mountPoint) {
    return ::mount(nullptr, mountPoint, nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Recreates one entry of the original /dev (open as `devFd`) in the tmpfs now
// over /dev: links as links, everything else bind-mounted from the original.
bool copyEntry(int devFd, const char *name) {
    struct stat st {};
    if (::fstatat(devFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    const std::string target = std::string("/dev/") + name;
    if (S_ISLNK(st.st_mode)) {
        char link[4096];
        const ssize_t n = ::readlinkat(devFd, name, link, sizeof link - 1);
        if (n < 0)
            return false;
        link[n] = '\0';
        return ::symlink(link, target.c_str()) == 0;
    }
    if (S_ISDIR(st.st_mode)) {
        if (::mkdir(target.c_str(), st.st_mode & 07777) != 0)
            return false;
    } else {
        const int fd = ::open(target.c_str(), O_CREAT | O_WRONLY, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    const std::string source = "/proc/self/fd/" + std::to_string(devFd) + "/" + name;
    return ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0;
}

// A private /dev with an empty ttyS0 to mount onto. Entries that cannot be
// copied are left out: the tests need the ptys, and the rest only as far as
// the toolkit goes.
bool coverDev() {
    const int devFd = ::open("/dev", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (devFd < 0)
        return false;
    if (::mount("zq-test-dev", "/dev", "tmpfs", MS_NOSUID, "mode=0755") != 0) {
        ::close(devFd);
        return false;
    }
    DIR *dir = ::fdopendir(::dup(devFd));
    bool ptsCopied = false;
    while (dir) {
        const dirent *entry = ::readdir(dir);
        if (!entry)
            break;
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const bool copied = copyEntry(devFd, entry->d_name);
        ptsCopied |= copied && name == "pts";
    }
    if (dir)
        ::closedir(dir);
    ::close(devFd);
    const int placeholder = ::open(kDevice, O_CREAT | O_WRONLY, 0600);
    if (placeholder >= 0)
        ::close(placeholder);
    if (!ptsCopied || placeholder < 0) {
        ::umount2("/dev", MNT_DETACH);
        return false;
    }
    return true;
}

} // namespace

bool enterPrivateNamespace() {
    // Inside a chroot "/" is no mount point of its own; /dev then is.
    inPrivateNamespace = ::unshare(CLONE_NEWNS) == 0 && (makePrivate("/") || makePrivate("/dev"));
    return inPrivateNamespace;
}

bool listAsTtyS0(const QString &ptyPath) {
    if (!inPrivateNamespace)
        return false;
    ::umount2(kDevice, MNT_DETACH); // an earlier pty, if any
    if (::access(kDevice, F_OK) != 0 && !devCovered)
        devCovered = coverDev();
    if (::mount(ptyPath.toLocal8Bit().constData(), kDevice, nullptr, MS_BIND, nullptr) != 0)
        return false;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (info.systemLocation() == QLatin1String(kDevice))
            return true;
    return false;
}

} // namespace listed_port
