#pragma once
// Makes a pseudo-terminal the serial port that Qt lists as ttyS0, seen by the
// test process alone: in a private mount namespace the pty is bind-mounted onto
// /dev/ttyS0. Where that node does not exist, /dev is first covered (in the
// same namespace) by a tmpfs that holds the same entries and an empty ttyS0,
// so nothing is ever created in the machine's own /dev.

#include <QString>

namespace listed_port {

// Call first in main(), before any thread exists. False where a private mount
// namespace cannot be made (no root, a container without the privilege).
bool enterPrivateNamespace();

// Makes `ptyPath` the port listed as ttyS0 (again: a later call replaces the
// earlier pty). False where the namespace is missing or Qt does not list ttyS0.
bool listAsTtyS0(const QString &ptyPath);

constexpr char kSkipReason[] =
    "needs root and a private mount namespace in which Qt lists a pty as ttyS0";

} // namespace listed_port
