#pragma once
// The bootloader commands of zqctl: the firmware write, EEPROM and
// configuration backup and restore, entering and leaving the bootloader.

#include <QByteArray>
#include <QVector>

#include <memory>

#include "CommandLine.h"
#include "Job.h"
#include "Output.h"

namespace zqctl {

// What is settled before any port opens, once for all units: the payloads of
// a write, read from its file and checked; the backup files can be created.
struct BootPlan {
    QVector<QByteArray> payloads;
};

// ExitOk with `plan` filled, or the exit code of a refusal (said on `out`).
int prepareBootloaderCommand(const Invocation &invocation, Output &out, BootPlan *plan);

// The command on one unit.
std::unique_ptr<UnitJob> bootloaderJob(const BootPlan &plan);

} // namespace zqctl
