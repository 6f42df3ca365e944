#pragma once
// Time unit conversions shared by the windows, the link and the command-line
// tool, so that every place turns milliseconds into seconds the same way.

namespace zq {

constexpr int kMsPerSecond = 1000;

} // namespace zq
