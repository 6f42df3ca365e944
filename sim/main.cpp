// zq-sim: a simulated ZQ unit on a pseudo-terminal. Prints the terminal's
// device path on the first line of standard output; a console or the firmware
// window opens that path as its serial port.

#include "Dump.h"
#include "QtCompat.h"
#include "Unit.h"
#include "Wire.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace zq::sim;

constexpr int kReadChunkBytes = 65536;
// When nobody reads the port the line loses what it cannot deliver, as a real
// line would, instead of piling it up for the next program that opens it.
constexpr int kMaxPendingOutputBytes = 65536;
constexpr int kExitBadOption = 2;
constexpr int kExitSystemError = 3;

struct Options {
    int edition = kLastEdition;
    QString link;
    Faults faults;
    QString dumpDir;
    bool printDump = false;
    bool quiet = false;
};

qint64 nowNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void say(const QByteArray &line) {
    // Never let a full log pipe hold up the unit: a line that cannot be written
    // at once is dropped.
    pollfd p{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT)) {
        const QByteArray out = line + '\n';
        (void)!::write(STDERR_FILENO, out.constData(), size_t(out.size()));
    }
}

[[noreturn]] void failOption(const QString &message) {
    std::fprintf(stderr, "zq-sim: %s\nTry 'zq-sim --help' for the options.\n", qPrintable(message));
    std::exit(kExitBadOption);
}

int intOption(const QCommandLineParser &p, const QString &name, int min, int max) {
    bool ok = false;
    const int value = p.value(name).toInt(&ok);
    if (!ok || value < min || value > max)
        failOption(QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'")
                       .arg(name)
                       .arg(min)
                       .arg(max)
                       .arg(p.value(name)));
    return value;
}

Options parseOptions(const QCoreApplication &app) {
    QCommandLineParser p;
    p.setApplicationDescription(
        "A simulated ZQ flash unit on a pseudo-terminal, for trying the console and the\n"
        "firmware window without hardware. The first line printed is the device path to\n"
        "open as the serial port (any baud rate and settings work). The unit answers the\n"
        "console of the chosen edition and, after 0x33, acts as the bootloader.\n"
        "Stop it with Ctrl-C or SIGTERM; SIGUSR1 writes the memory dump at once.");
    p.addHelpOption();
    p.addVersionOption();
    const QList<QCommandLineOption> options = {
        {"edition",
         "Behave like the unit firmware that the console of edition <N> (1 to 5) "
         "talks to. Default 5.",
         "N", "5"},
        {"link", "Also make <PATH> a symbolic link to the device, removed on exit.", "PATH"},
        {"baud",
         "Pace the line like a real serial line at <N> baud (10 bits per byte), in "
         "both directions. 0, the default, moves bytes as fast as possible.",
         "N", "0"},
        {"never-answer", "Take every command but never answer, like a unit that is off."},
        {"delay", "Answer each command <MS> milliseconds late.", "MS", "0"},
        {"drop", "Lose about <PERCENT> of the answers.", "PERCENT", "0"},
        {"lose",
         "Lose about <PERCENT> of the command frames on the way to the unit: it never "
         "sees them, so it never answers them.",
         "PERCENT", "0"},
        {"lose-frame",
         "Lose command frame <N> on the way to the unit (frames counted from 1 as they "
         "arrive, lost ones included). May be given several times.",
         "N"},
        {"late-answer",
         "Answer command frame <N> (counted as for --lose-frame) <MS> milliseconds "
         "late instead of after --delay. May be given several times.",
         "N:MS"},
        {"fail-frame",
         "Let command frame <N> (counted as for --lose-frame) fail in the unit: it "
         "answers with the code and status 8, a failed write, and changes nothing. "
         "May be given several times.",
         "N"},
        {"checksum", "Send the answers with a checksum byte."},
        {"corrupt-checksum", "Send about <PERCENT> of the answers with a wrong checksum byte.",
         "PERCENT", "0"},
        {"bad-end", "Send about <PERCENT> of the answers with a wrong end byte (not 0xAA).",
         "PERCENT", "0"},
        {"noise", "Put <N> garbage bytes (never 0x0F) on the line before every answer.", "N", "0"},
        {"error-reports",
         "Send an error report of its own (62, 3, 3: charge too slow) every "
         "<MS> milliseconds.",
         "MS", "0"},
        {"seed",
         "Start the random choices of --drop, --lose, --corrupt-checksum, --bad-end "
         "and --noise from <N>, so a run can be repeated. Default 1.",
         "N", "1"},
        {"dump-dir",
         "On exit and on SIGUSR1, write program.bin (65536 bytes), eeprom.bin "
         "(1024) and config.bin (14) into <DIR>.",
         "DIR"},
        {"print-dump", "On exit, print a hex summary of program memory, EEPROM and "
                       "configuration."},
        {"quiet", "Print nothing but the device path (and errors)."},
    };
    p.addOptions(options);
    if (!p.parse(app.arguments()))
        failOption(p.errorText());
    if (p.isSet("help"))
        p.showHelp(0);
    if (p.isSet("version"))
        p.showVersion(); // "zq-sim 1.0" on standard output, exit 0
    if (!p.positionalArguments().isEmpty())
        failOption(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().at(0)));

    Options o;
    o.edition = intOption(p, "edition", kFirstEdition, kLastEdition);
    o.link = p.value("link");
    Faults &f = o.faults;
    f.baud = intOption(p, "baud", 0, 4000000);
    f.neverAnswer = p.isSet("never-answer");
    f.answerDelayMs = intOption(p, "delay", 0, 3600000);
    f.dropPercent = intOption(p, "drop", 0, 100);
    f.losePercent = intOption(p, "lose", 0, 100);
    auto frameNumbers = [&p](const QString &name) {
        std::set<int> numbers;
        for (const QString &value : p.values(name)) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 1)
                failOption(
                    QStringLiteral("--%1 takes a frame number from 1, not '%2'").arg(name, value));
            numbers.insert(n);
        }
        return numbers;
    };
    f.lostFrames = frameNumbers("lose-frame");
    f.failedFrames = frameNumbers("fail-frame");
    for (const QString &value : p.values("late-answer")) {
        const QStringList parts = value.split(':');
        bool okFrame = false;
        bool okMs = false;
        const int n = parts.value(0).toInt(&okFrame);
        const int ms = parts.value(1).toInt(&okMs);
        if (parts.size() != 2 || !okFrame || !okMs || n < 1 || ms < 0 || ms > 3600000)
            failOption(QStringLiteral("--late-answer takes N:MS (a frame number from 1 and a "
                                      "delay from 0 to 3600000 ms), not '%1'")
                           .arg(value));
        f.lateAnswerMs[n] = ms;
    }
    f.withChecksum = p.isSet("checksum");
    f.corruptChecksumPercent = intOption(p, "corrupt-checksum", 0, 100);
    f.badEndPercent = intOption(p, "bad-end", 0, 100);
    f.noiseBytes = intOption(p, "noise", 0, 4096);
    f.errorReportIntervalMs = intOption(p, "error-reports", 0, 3600000);
    bool ok = false;
    f.seed = p.value("seed").toUInt(&ok);
    if (!ok)
        failOption(QStringLiteral("--seed takes a whole number, not '%1'").arg(p.value("seed")));
    o.dumpDir = p.value("dump-dir");
    o.printDump = p.isSet("print-dump");
    o.quiet = p.isSet("quiet");
    return o;
}

constexpr int kLoggedPayloadBytes = 16;

// A payload for the traffic log; long ones (program blocks, EEPROM runs) shortened.
QByteArray hex(const QByteArray &bytes) {
    if (bytes.size() <= kLoggedPayloadBytes)
        return bytes.toHex(' ').toUpper();
    return bytes.left(kLoggedPayloadBytes).toHex(' ').toUpper() + " ... (" +
           QByteArray::number(bytes.size()) + " bytes)";
}

class Server {
public:
    Server(const Options &o) : options_(o), unit_(o.edition), responder_(unit_, o.faults) {}
    ~Server();

    bool open(int signalFd);
    QString slavePath() const { return slavePath_; }
    void run();
    void dump();
    const Unit &unit() const { return unit_; }
    const Responder::Stats &stats() const { return responder_.stats(); }

private:
    void flushOutput();
    bool readInput();

    Options options_;
    Unit unit_;
    Responder responder_;
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up between peers
    int signalFd_ = -1;
    QString slavePath_;
    QByteArray output_;
    qint64 startNs_ = 0;
};

Server::~Server() {
    if (!options_.link.isEmpty()) {
        const QByteArray target = QFile::symLinkTarget(options_.link).toLocal8Bit();
        if (target == slavePath_.toLocal8Bit())
            ::unlink(options_.link.toLocal8Bit().constData());
    }
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool Server::open(int signalFd) {
    signalFd_ = signalFd;
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "zq-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    for (int fd : {slave_, master_}) {
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    // Readable and writable by the user's programs, like a serial port of theirs.
    ::chmod(name, 0660);
    slavePath_ = QString::fromLocal8Bit(name);

    if (!options_.link.isEmpty()) {
        const QByteArray link = options_.link.toLocal8Bit();
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                std::fprintf(stderr, "zq-sim: %s exists and is not a symbolic link\n",
                             link.constData());
                return false;
            }
            ::unlink(link.constData());
        }
        if (::symlink(name, link.constData()) != 0) {
            std::fprintf(stderr, "zq-sim: cannot create the link %s: %s\n", link.constData(),
                         std::strerror(errno));
            options_.link.clear();
            return false;
        }
    }
    if (!options_.quiet) {
        responder_.onExchange = [this](const QByteArray &payload,
                                       const QList<QByteArray> &answers) {
            QByteArray line = QByteArray::number(double(nowNs() - startNs_) / 1e9, 'f', 3) + "  " +
                              hex(payload) + "  ->";
            for (const QByteArray &a : answers)
                line += "  " + hex(a);
            if (answers.isEmpty())
                line += "  (no answer)";
            say(line);
        };
        responder_.onLost = [this](const QByteArray &payload) {
            say(QByteArray::number(double(nowNs() - startNs_) / 1e9, 'f', 3) + "  " + hex(payload) +
                "  (lost on the line)");
        };
    }
    return true;
}

void Server::flushOutput() {
    while (!output_.isEmpty()) {
        const ssize_t n = ::write(master_, output_.constData(), size_t(output_.size()));
        if (n > 0) {
            output_.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: the peer is not reading; poll for room
    }
    if (output_.size() > kMaxPendingOutputBytes) {
        ::tcflush(slave_, TCIFLUSH);
        output_.clear();
    }
}

bool Server::readInput() {
    static char buffer[kReadChunkBytes];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            responder_.receive(buffer, int(n), nowNs());
            if (n < ssize_t(sizeof buffer))
                return true; // drained: spare the read that would say EAGAIN
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == EAGAIN;
    }
}

void Server::run() {
    startNs_ = nowNs();
    responder_.start(startNs_);
    if (!options_.quiet)
        say("zq-sim: edition " + QByteArray::number(options_.edition) + " unit on " +
            slavePath_.toLocal8Bit() +
            (options_.link.isEmpty() ? "" : " (" + options_.link.toLocal8Bit() + ")"));
    for (;;) {
        const qint64 now = nowNs();
        output_.append(responder_.takeDue(now));
        flushOutput();

        const qint64 next = responder_.nextEventNs();
        timespec timeout{};
        if (next != kNever) {
            const qint64 wait = qMax<qint64>(0, next - now);
            timeout.tv_sec = time_t(wait / 1000000000);
            timeout.tv_nsec = long(wait % 1000000000);
        }
        pollfd fds[2] = {{master_, short(POLLIN | (output_.isEmpty() ? 0 : POLLOUT)), 0},
                         {signalFd_, POLLIN, 0}};
        if (::ppoll(fds, 2, next == kNever ? nullptr : &timeout, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "zq-sim: poll failed: %s\n", std::strerror(errno));
            return;
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            while (::read(signalFd_, &info, sizeof info) == ssize_t(sizeof info)) {
                if (info.ssi_signo == SIGUSR1)
                    dump();
                else
                    return;
            }
        }
        if (fds[0].revents & POLLIN) {
            if (!readInput()) {
                std::fprintf(stderr, "zq-sim: reading the terminal failed: %s\n",
                             std::strerror(errno));
                return;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Cannot happen while our own slave descriptor is open; wait rather than spin.
            ::poll(nullptr, 0, 10);
        }
    }
}

void Server::dump() {
    if (options_.dumpDir.isEmpty())
        return;
    QString error;
    if (!writeDump(options_.dumpDir, unit_, &error))
        std::fprintf(stderr, "zq-sim: %s\n", qPrintable(error));
    else if (!options_.quiet)
        say("zq-sim: memory written to " + options_.dumpDir.toLocal8Bit());
}

} // namespace

int main(int argc, char *argv[]) {
    // The loop takes the signals as readable events, so they must not arrive
    // any other way; block them before anything else can start a thread.
    sigset_t handled;
    sigemptyset(&handled);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaddset(&handled, s);
    ::sigprocmask(SIG_BLOCK, &handled, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app = zq::compat::makeApplication<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("zq-sim");
    QCoreApplication::setApplicationVersion(QStringLiteral(ZQ_VERSION));
    const Options options = parseOptions(app);

    const int signalFd = ::signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0) {
        std::fprintf(stderr, "zq-sim: signalfd: %s\n", std::strerror(errno));
        return kExitSystemError;
    }
    Server server(options);
    if (!server.open(signalFd))
        return kExitSystemError;
    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);

    server.run();
    server.dump();
    if (options.printDump)
        std::fputs(dumpSummary(server.unit()).constData(), stdout);
    std::fflush(stdout);
    if (!options.quiet) {
        const Responder::Stats &s = server.stats();
        say(QStringLiteral("zq-sim: %1 frames received, %2 lost, %3 bad, %4 answers sent, "
                           "%5 dropped, %6 error reports")
                .arg(s.framesReceived)
                .arg(s.framesLost)
                .arg(s.frameErrors)
                .arg(s.answersSent)
                .arg(s.answersDropped)
                .arg(s.errorReportsSent)
                .toLocal8Bit());
    }
    return 0;
}
