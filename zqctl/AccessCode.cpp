#include "AccessCode.h"

#include "InputFile.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace zqctl {

namespace {

// A line longer than this is not an access code; the rest is not read.
constexpr int kMaxLineBytes = 256;

// The terminal as it was before the prompt turned echo off; a signal that
// ends the process during the prompt puts it back first.
termios savedTerminal{};
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreTerminalAndDie(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    (void)!::write(STDERR_FILENO, "\n", 1);
    // SA_RESETHAND made the default action current again: end as the signal would.
    ::raise(signal);
}

QString firstLine(const char *text, int size) {
    int end = 0;
    while (end < size && text[end] != '\n' && text[end] != '\r' && text[end] != '\0')
        ++end;
    return QString::fromLocal8Bit(text, end);
}

QString readLine(FILE *stream) {
    char line[kMaxLineBytes] = {};
    const bool got = std::fgets(line, sizeof line, stream) != nullptr;
    const QString text = got ? firstLine(line, int(std::strlen(line))) : QString();
    std::memset(line, 0, sizeof line);
    return text;
}

QString promptWithoutEcho() {
    std::fputs("Access code: ", stderr);
    std::fflush(stderr);
    if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
        return readLine(stdin);
    struct sigaction restore {};
    restore.sa_handler = restoreTerminalAndDie;
    restore.sa_flags = SA_RESETHAND;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[sizeof kEndingSignals / sizeof kEndingSignals[0]]{};
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i)
        ::sigaction(kEndingSignals[i], &restore, &previous[i]);
    termios quiet = savedTerminal;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    const QString code = readLine(stdin);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i)
        ::sigaction(kEndingSignals[i], &previous[i], nullptr);
    std::fputs("\n", stderr);
    return code;
}

} // namespace

bool readAccessCode(const QString &file, QString *code, QString *error) {
    if (!file.isEmpty()) {
        QByteArray bytes;
        if (!readInputFile(file, kMaxAccessCodeFileBytes, &bytes, error))
            return false;
        *code = firstLine(bytes.constData(), bytes.size());
        bytes.fill('\0');
        return true;
    }
    *code = ::isatty(STDIN_FILENO) == 1 ? promptWithoutEcho() : readLine(stdin);
    return true;
}

} // namespace zqctl
