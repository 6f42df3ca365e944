#pragma once
// The far end of a line driven without Qt or the link: a device opened raw,
// and one blocking exchange on it. Benchmarks measure the floor under our
// link with it; tests talk to the simulated unit byte for byte.

#include <cstddef>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// Raw mode, no controlling terminal; -1 when the device does not open.
inline int openRaw(const char *path, int extraFlags = 0) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY | extraFlags);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Writes a frame and reads until `answerBytes` have come back; false on an
// error or the end of the line.
inline bool exchangeRaw(int fd, const void *frame, size_t size, size_t answerBytes) {
    if (::write(fd, frame, size) != ssize_t(size))
        return false;
    char buffer[4096];
    for (size_t got = 0; got < answerBytes;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return true;
}
