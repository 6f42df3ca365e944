#pragma once
// The command line of zqctl: which commands exist, for which console editions,
// with which arguments and options, and the help texts. Pure: arguments in,
// an Invocation (or a usage error, or a help text) out.

#include <QMap>
#include <QString>
#include <QStringList>

namespace zqctl {

constexpr int kDefaultBaud = 115200;
constexpr int kDefaultEdition = 5;
constexpr int kDefaultTimeoutMs = 5000;
constexpr int kMaxTimeoutMs = 600000;
constexpr int kDefaultRetries = 3;
constexpr int kMaxRetries = 100;
// Where a backup file's name takes the port, with several ports.
constexpr char kPortPlaceholder[] = "{port}";

// Where a command goes: nowhere (it works on the PC alone), to the unit's
// application firmware, or to its bootloader.
enum class Family { Local, Console, Bootloader };

// What a command does. Code that acts on a command switches on this, never on
// its name: an action that is renamed or added fails to compile (or warns, in
// a switch without a default) instead of falling into another branch.
enum class Action {
    Ports,
    HexInfo,
    Version,
    Info,
    Diagnosis,
    FlashStatus,
    EepromStatus,
    CalibrationStatus,
    Calibration,
    Flash,
    ReadTrigger,
    SetTrigger,
    SaveTriggers,
    OutputMode,
    EnergyLevel,
    ReadEnergyLevels,
    SaveEnergyLevels,
    SequenceStart,
    SequenceStop,
    Standby,
    Reset,
    ChargeVoltage,
    ResetMemory,
    Calibrate,
    FirmwareWrite,
    EepromRead,
    EepromWrite,
    ConfigRead,
    ConfigWrite,
    BootloaderStart,
    BootloaderLeave,
};

// A command's properties, or-ed together in the table.
enum CommandProperty : unsigned {
    Repeatable = 1u << 0,      // sending it again after a lost answer does no harm
    HasEffect = 1u << 1,       // it changes something in the unit
    NeedsAccessCode = 1u << 2, // it carries the access code
    SeveralPorts = 1u << 3,    // it may run on several units at once
};

struct CommandInfo {
    Action action;
    const char *name;     // one or two words: "version", "sequence start"
    const char *synopsis; // the arguments after the name
    const char *summary;
    Family family;
    int firstEdition; // console editions that have the command
    int lastEdition;
    unsigned properties;
    QStringList options; // the command's own options, without "--"

    bool repeatable() const { return properties & Repeatable; }
    bool hasEffect() const { return properties & HasEffect; }
    bool needsAccessCode() const { return properties & NeedsAccessCode; }
    bool severalPorts() const { return properties & SeveralPorts; }
};

const QList<CommandInfo> &commandTable();
// nullptr when there is no such command.
const CommandInfo *findCommand(const QString &name);
// The table's row of `action`.
const CommandInfo &commandInfo(Action action);

struct Invocation {
    const CommandInfo *command = nullptr;
    QStringList args;  // positional arguments after the command's name
    QStringList ports; // one or more; several only for a command with SeveralPorts
    int baud = kDefaultBaud;
    int edition = kDefaultEdition;
    int timeoutMs = kDefaultTimeoutMs;
    int retries = kDefaultRetries;
    QString logFile;
    QString accessCodeFile;
    bool json = false;
    QMap<QString, QString> values; // the command's own options that take a value
    QStringList flags;             // the command's own options without a value
    bool has(const QString &flag) const { return flags.contains(flag); }
    // The --out file for one unit: {port} replaced by portFileName(port).
    QString outFile(const QString &port) const;
};

struct ParseResult {
    // Help and Version print `text` on standard output and exit 0.
    enum Kind { Run, Help, Version, UsageError } kind = UsageError;
    Invocation invocation;
    QString text; // the help or version text, or the usage error (without "zqctl: ")
};

// `arguments` without the program name.
ParseResult parseCommandLine(const QStringList &arguments);

QString programHelp();
// Help for every command whose name starts with `name` ("sequence" gives both).
QString commandHelp(const QString &name);

// A port as a part of a file name: "/dev/ttyUSB0" gives "ttyUSB0", "/dev/pts/3" "pts-3".
QString portFileName(const QString &port);

// Whole decimal numbers only: "12", not "12.0", " 12" or "0x0C".
bool parseInt(const QString &text, int min, int max, int *out);

} // namespace zqctl
