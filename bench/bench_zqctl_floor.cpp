// The floor under bench_zqctl.sh: replays the frames of a zqctl --log file on
// the same paced zq-sim with a bare blocking loop (write a frame, read until
// its answers are in), so the time that the simulator and the pseudo-terminal
// add to the line's minimum can be told from what zqctl adds.
//
//   bench_zqctl_floor PORT LOG BAUD

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RawPort.h"

namespace {

constexpr int kBitsPerByte = 10;

struct Exchange {
    std::vector<unsigned char> frame;
    size_t answerBytes = 0;
};

// "<date> <time> > 0F 0F ..." sent, "... < 0F 0F ..." received.
std::vector<Exchange> readLog(const char *path) {
    std::vector<Exchange> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string date, time, direction, byte;
        words >> date >> time >> direction;
        if (direction == ">") {
            out.emplace_back();
            while (words >> byte)
                out.back().frame.push_back(
                    static_cast<unsigned char>(std::stoul(byte, nullptr, 16)));
        } else if (direction == "<" && !out.empty()) {
            while (words >> byte)
                ++out.back().answerBytes;
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PORT LOG BAUD\n", argv[0]);
        return 64;
    }
    const std::vector<Exchange> exchanges = readLog(argv[2]);
    const int baud = std::atoi(argv[3]);
    const int fd = openRaw(argv[1]);
    if (fd < 0 || exchanges.empty() || baud <= 0) {
        std::fprintf(stderr, "cannot open %s or read %s\n", argv[1], argv[2]);
        return 2;
    }

    size_t lineBytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Exchange &e : exchanges) {
        if (!exchangeRaw(fd, e.frame.data(), e.frame.size(), e.answerBytes))
            return 2;
        lineBytes += e.frame.size() + e.answerBytes;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double minimum = double(lineBytes) * kBitsPerByte / baud;
    std::printf("  bare replay, same frames     : %.3f s, ratio %.4f (simulator and terminal)\n",
                seconds, seconds / minimum);
    ::close(fd);
    return 0;
}
