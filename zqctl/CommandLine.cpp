#include "CommandLine.h"

#include <QCommandLineParser>

namespace zqctl {

namespace {

constexpr int kMaxBaud = 4000000;
constexpr int kHelpColumn = 28;

struct OptionText {
    const char *name;
    const char *valueName; // nullptr for a switch
    const char *description;
};

// The options every command that talks to the unit understands.
const OptionText kGlobalOptions[] = {
    {"port", "PORT",
     "Serial port: a device path, or a name that 'zqctl ports' lists. Given "
     "several times, the units are worked on at once (firmware write, version, "
     "info, eeprom and config)."},
    {"baud", "N", "Baud rate, 8 data bits, no parity, 1 stop bit. Default 115200."},
    {"edition", "N", "Console edition 1-5 whose commands and texts to use. Default 5."},
    {"timeout", "MS",
     "How long to wait for each answer. Default 5000. After a lost answer the "
     "line must also be quiet this long before zqctl sends again."},
    {"retries", "N",
     "How often a lost or unreadable answer is asked for again, where sending "
     "the command again is harmless. Default 3."},
    {"log", "FILE",
     "Append every frame sent and received, time-stamped, to FILE, a regular "
     "file (created readable by its owner only; access code bytes shown as **)."},
    {"access-code-file", "FILE", "Read the access code from FILE instead of standard input."},
    {"json", nullptr, "Print one JSON object per answer instead of text."},
};

// The options that belong to single commands.
const OptionText kCommandOptions[] = {
    {"energies", "E1[,E2..]", "Energy of each flash, 0-255; 1 to 4 flashes."},
    {"times", "T1[,T2..]", "Time before flash 1, then between flashes, 0-65535."},
    {"period", "MS", "Sequence test period, 1-65535 ms. Default 500."},
    {"energy", "E", "Sequence test energy level, 0-255. Default 0."},
    {"out", "FILE",
     "Intel HEX file to write the bytes read into; - is standard output. With "
     "several ports, {port} in FILE stands for the port."},
    {"verify", nullptr, "Read the EEPROM and configuration back and compare them."},
    {"stay", nullptr, "Stay in the bootloader afterwards (default: start the program)."},
    {"force", nullptr, "Write even when the file has problems that 'hex-info' reports."},
};

// Help fits a terminal of 80 columns, and so does the man page made from it.
constexpr int kHelpWidth = 80;

// `text` broken into lines of at most kHelpWidth columns, the first after
// `first` (already `indent` wide), the others indented by `indent` blanks.
QString wrapped(const QString &first, int indent, const QString &text) {
    QString out = first;
    int column = first.size() - first.lastIndexOf(QLatin1Char('\n')) - 1;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (column + 1 + word.size() > kHelpWidth && column > indent) {
            out += '\n' + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > 0 && !out.endsWith(QLatin1Char(' '))) {
            out += QLatin1Char(' ');
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out + '\n';
}

QString optionLine(const OptionText &o) {
    QString left = QStringLiteral("  --") + o.name;
    if (o.valueName)
        left += QLatin1Char(' ') + QLatin1String(o.valueName);
    return wrapped(left.leftJustified(kHelpColumn), kHelpColumn,
                   QString::fromLatin1(o.description));
}

const OptionText *commandOption(const QString &name) {
    for (const OptionText &o : kCommandOptions) {
        if (name == QLatin1String(o.name))
            return &o;
    }
    return nullptr;
}

QString editionsText(const CommandInfo &c) {
    if (c.family != Family::Console || (c.firstEdition == 1 && c.lastEdition == 5))
        return {};
    if (c.firstEdition == c.lastEdition)
        return QStringLiteral("edition %1").arg(c.firstEdition);
    return QStringLiteral("editions %1-%2").arg(c.firstEdition).arg(c.lastEdition);
}

QString usageLine(const CommandInfo &c) {
    QString line = QStringLiteral("zqctl [options] ") + c.name;
    if (*c.synopsis)
        line += QLatin1Char(' ') + QLatin1String(c.synopsis);
    return line;
}

bool isTwoWordFamily(const QString &word) {
    for (const CommandInfo &c : commandTable()) {
        if (QString::fromLatin1(c.name).startsWith(word + QLatin1Char(' ')))
            return true;
    }
    return false;
}

// The synopsis is the one description of a command's arguments: its words that
// are not options, option values or optional parts are the positional ones.
int positionalCount(const char *synopsis) {
    int count = 0;
    bool optionValue = false;
    for (const QString &word :
         QString::fromLatin1(synopsis).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const bool option = word.startsWith(QLatin1String("--"));
        if (!option && !optionValue && !word.startsWith(QLatin1Char('[')) &&
            !word.endsWith(QLatin1Char(']')))
            ++count;
        optionValue = option;
    }
    return count;
}

// Several ports: a command that allows them, each port once, and backup
// files whose names differ by port.
bool checkPorts(const Invocation &inv, QString *error) {
    const QString name = QString::fromLatin1(inv.command->name);
    if (inv.ports.size() > 1 && !inv.command->severalPorts()) {
        *error = QStringLiteral("'%1' takes one --port").arg(name);
        return false;
    }
    QMap<QString, QString> fileOf; // backup file -> the port that writes it
    for (const QString &port : inv.ports) {
        if (inv.ports.count(port) > 1) {
            *error = QStringLiteral("--port %1 is given twice").arg(port);
            return false;
        }
        if (!inv.values.contains(QStringLiteral("out")) || inv.ports.size() < 2)
            continue;
        const QString file = inv.outFile(port);
        if (!inv.values.value(QStringLiteral("out")).contains(QLatin1String(kPortPlaceholder))) {
            *error = QStringLiteral("with several ports, --out needs %1 in the file name, "
                                    "like eeprom-%1.hex, so that each unit gets a file of its own")
                         .arg(QLatin1String(kPortPlaceholder));
            return false;
        }
        if (fileOf.contains(file)) {
            *error = QStringLiteral("--port %1 and --port %2 would both write %3")
                         .arg(fileOf.value(file), port, file);
            return false;
        }
        fileOf.insert(file, port);
    }
    return true;
}

bool parseTimeout(const QString &text, int *out) {
    return parseInt(text, 1, kMaxTimeoutMs, out);
}

} // namespace

const QList<CommandInfo> &commandTable() {
    using A = Action;
    using F = Family;
    constexpr unsigned R = Repeatable, E = HasEffect, C = NeedsAccessCode, S = SeveralPorts;
    // clang-format off
    static const QList<CommandInfo> table = {
        {A::Ports, "ports", "", "List the serial ports: name, one blank, description.",
            F::Local, 1, 5, 0, {}},
        {A::HexInfo, "hex-info", "FILE", "What the firmware window would write from FILE, and the "
            "problems it would not tell: checksum errors, data outside 0x0300-0xFFFF, EEPROM "
            "addresses from 1024 up, a configuration byte count other than 14, addresses given "
            "twice, a missing end-of-file record.", F::Local, 1, 5, 0, {}},
        {A::Version, "version", "", "Read the software version.", F::Console, 1, 5, R | S, {}},
        {A::Info, "info", "", "Read the flash counter, flash request counter, charge voltage and "
            "temperature.", F::Console, 1, 5, R | S, {}},
        {A::Diagnosis, "diagnosis", "", "Run the unit's diagnosis.", F::Console, 2, 5, R, {}},
        {A::FlashStatus, "flash-status", "", "Read the status of the last flash.", F::Console, 2, 5,
            R, {}},
        {A::EepromStatus, "eeprom-status", "", "Read the count of failed EEPROM writes.",
            F::Console, 3, 5, R, {}},
        {A::CalibrationStatus, "calibration-status", "", "Read whether the flash is calibrated.",
            F::Console, 5, 5, R, {}},
        {A::Calibration, "calibration", "LEVEL", "Read the calibration of energy level LEVEL "
            "(0-255).", F::Console, 5, 5, R, {}},
        {A::Flash, "flash", "1|2|high|low", "Fire a flash: on trigger 1 or 2 (editions 4-5), or at "
            "the high or low energy level (editions 1-3).", F::Console, 1, 5, E, {}},
        {A::ReadTrigger, "read-trigger", "1|2", "Read the saved flash sequence of a trigger.",
            F::Console, 4, 5, R, {}},
        {A::SetTrigger, "set-trigger", "1|2 --energies E1[,E2..] --times T1[,T2..]",
            "Set the flash sequence of a trigger: 1 to 4 flashes.", F::Console, 4, 5, E,
            {"energies", "times"}},
        {A::SaveTriggers, "save-triggers", "", "Save both triggers' sequences in the unit.",
            F::Console, 4, 5, E, {}},
        {A::OutputMode, "output-mode", "0|1", "Set the output trigger mode.", F::Console, 4, 5, E,
            {}},
        {A::EnergyLevel, "energy-level", "high|low VALUE", "Change the high or low energy level "
            "(0-255).", F::Console, 1, 3, E, {}},
        {A::ReadEnergyLevels, "read-energy-levels", "", "Read the saved energy levels.",
            F::Console, 1, 3, R, {}},
        {A::SaveEnergyLevels, "save-energy-levels", "", "Save the energy levels in the unit.",
            F::Console, 1, 3, E, {}},
        {A::SequenceStart, "sequence start", "[--period MS] [--energy E]", "Start the sequence "
            "test.", F::Console, 1, 5, E, {"period", "energy"}},
        {A::SequenceStop, "sequence stop", "", "Stop the sequence test.", F::Console, 1, 5, E, {}},
        {A::Standby, "standby", "complete|partial", "Start or stop a standby (the same command "
            "toggles it).", F::Console, 2, 5, E, {}},
        {A::Reset, "reset", "hv|com|both", "Restart the high-voltage controller, the "
            "communication controller or both. The unit does not answer this.", F::Console, 2, 5,
            E, {}},
        {A::ChargeVoltage, "charge-voltage", "VOLTS", "Write the charge voltage, 200-300 V. Needs "
            "the access code.", F::Console, 1, 5, E | C, {}},
        {A::ResetMemory, "reset-memory", "", "Put the unit's stored settings back to the factory "
            "values. Needs the access code.", F::Console, 1, 5, E | C, {}},
        {A::Calibrate, "calibrate", "", "Calibrate the flash. Needs the access code.", F::Console,
            5, 5, E | C, {}},
        {A::FirmwareWrite, "firmware write", "FILE [--verify] [--stay] [--force]", "Start the "
            "bootloader and write the program, EEPROM and configuration from an Intel HEX file, "
            "as the firmware window does.", F::Bootloader, 1, 5, R | E | S,
            {"verify", "stay", "force"}},
        {A::EepromRead, "eeprom read", "--out FILE [--stay]", "Back up the 1024 EEPROM bytes into "
            "an Intel HEX file.", F::Bootloader, 1, 5, R | S, {"out", "stay"}},
        {A::EepromWrite, "eeprom write", "FILE [--stay] [--force]", "Restore the EEPROM from an "
            "Intel HEX file and read it back.", F::Bootloader, 1, 5, R | E | S, {"stay", "force"}},
        {A::ConfigRead, "config read", "--out FILE [--stay]", "Back up the 14 configuration bytes "
            "into an Intel HEX file.", F::Bootloader, 1, 5, R | S, {"out", "stay"}},
        {A::ConfigWrite, "config write", "FILE [--stay] [--force]", "Restore the configuration "
            "bytes from an Intel HEX file and read them back.", F::Bootloader, 1, 5, R | E | S,
            {"stay", "force"}},
        {A::BootloaderStart, "bootloader start", "", "Start the bootloader and read its version.",
            F::Bootloader, 1, 5, E, {}},
        {A::BootloaderLeave, "bootloader leave", "", "Leave the bootloader and start the unit's "
            "program.", F::Bootloader, 1, 5, R | E, {}},
    };
    // clang-format on
    return table;
}

const CommandInfo *findCommand(const QString &name) {
    for (const CommandInfo &c : commandTable()) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

const CommandInfo &commandInfo(Action action) {
    for (const CommandInfo &c : commandTable()) {
        if (c.action == action)
            return c;
    }
    Q_UNREACHABLE();
}

QString portFileName(const QString &port) {
    QString name = port;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return name.replace(QLatin1Char('/'), QLatin1Char('-'));
}

QString Invocation::outFile(const QString &port) const {
    QString file = values.value(QStringLiteral("out"));
    return file.replace(QLatin1String(kPortPlaceholder), portFileName(port));
}

bool parseInt(const QString &text, int min, int max, int *out) {
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (QChar ch : text) {
        if (!ch.isDigit() || ch.unicode() > '9')
            return false;
    }
    const int value = text.toInt();
    if (value < min || value > max)
        return false;
    *out = value;
    return true;
}

QString programHelp() {
    const auto paragraph = [](const char *text) {
        return wrapped(QString(), 0, QString::fromLatin1(text));
    };
    QString text = QStringLiteral("Usage: zqctl [options] <command> [arguments]\n");
    text += paragraph("The ZQ unit from the command line: the same commands, answers and "
                      "firmware writes as the consoles. 'zqctl <command> --help' tells more "
                      "about one command.");
    text += '\n';
    text += paragraph(
        "One payload is on the line at a time, and an answer is paired with it by the code it "
        "repeats: the unit's own reports and other frames that arrive meanwhile are shown as "
        "warnings and counted, never taken for an answer. After a lost or unreadable answer the "
        "line is let fall quiet, what came is dropped, and a request that only its own answer "
        "can answer brings the line back in step before anything is sent again. The payload is "
        "then sent again (--retries) where that is harmless: the bootloader's writes, reads and "
        "version, and the console's reads. A command with an effect on the unit is sent once.");
    text += '\n';
    text += paragraph("Given several --port options, zqctl works on the units at once, each on "
                      "its own link, and ends with a summary table (with --json, one object per "
                      "port).");
    text += '\n';
    text += paragraph("Exit status: 0 success; 1 the unit answered with an error or a check "
                      "failed; 2 no answer or a port error; 64 bad usage (nothing was sent). "
                      "With several ports, the worst of them. Ctrl-C, SIGTERM or SIGHUP let the "
                      "payload on the line finish, then zqctl says where each unit stands and "
                      "ends by that signal; a second one ends it at once.");
    text += QStringLiteral("\nOptions:\n");
    text += wrapped(QStringLiteral("  -h, --help").leftJustified(kHelpColumn), kHelpColumn,
                    QStringLiteral("This help; after a command, that command's help."));
    text += wrapped(QStringLiteral("  --version").leftJustified(kHelpColumn), kHelpColumn,
                    QStringLiteral("The program's name and version."));
    for (const OptionText &o : kGlobalOptions)
        text += optionLine(o);
    text += QStringLiteral("\nCommands:\n");
    for (const CommandInfo &c : commandTable()) {
        // The whole synopsis, so that the man page shows every command's arguments.
        QString left = QStringLiteral("  ") + c.name;
        if (*c.synopsis)
            left += QLatin1Char(' ') + QLatin1String(c.synopsis);
        const QString editions = editionsText(c);
        QString summary = QString::fromLatin1(c.summary).section(QLatin1String(". "), 0, 0);
        if (summary.endsWith(QLatin1Char('.')))
            summary.chop(1);
        if (!editions.isEmpty())
            summary += QStringLiteral(" (%1)").arg(editions);
        if (left.size() >= kHelpColumn - 1)
            left += '\n' + QString(kHelpColumn, QLatin1Char(' '));
        else
            left = left.leftJustified(kHelpColumn);
        text += wrapped(left, kHelpColumn, summary);
    }
    text += '\n';
    text += paragraph("The access code of charge-voltage, reset-memory and calibrate is read "
                      "from --access-code-file, else from standard input when it is not a "
                      "terminal, else asked for without echo; never from the command line or "
                      "the environment.");
    return text;
}

QString commandHelp(const QString &name) {
    QString text;
    for (const CommandInfo &c : commandTable()) {
        const QString own = QString::fromLatin1(c.name);
        if (own != name && !own.startsWith(name + QLatin1Char(' ')))
            continue;
        if (!text.isEmpty())
            text += '\n';
        text += QStringLiteral("Usage: ") + usageLine(c) + '\n' +
                wrapped(QString(), 0, QString::fromLatin1(c.summary));
        const QString editions = editionsText(c);
        if (!editions.isEmpty())
            text += QStringLiteral("Console %1 only.\n").arg(editions);
        if (c.needsAccessCode())
            text += QStringLiteral("The access code is read from --access-code-file, else from "
                                   "standard input,\nor asked for without echo at a "
                                   "terminal.\n");
        if (!c.options.isEmpty()) {
            text += QStringLiteral("\nOptions of this command:\n");
            for (const QString &o : c.options)
                text += optionLine(*commandOption(o));
        }
        if (c.family != Family::Local) {
            text += QStringLiteral("\nOptions:\n");
            for (const OptionText &o : kGlobalOptions)
                text += optionLine(o);
        }
    }
    return text;
}

ParseResult parseCommandLine(const QStringList &arguments) {
    ParseResult result;
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(QCommandLineOption(QStringLiteral("version")));
    for (const OptionText &o : kGlobalOptions)
        parser.addOption(o.valueName ? QCommandLineOption(o.name, o.description, o.valueName)
                                     : QCommandLineOption(o.name, o.description));
    for (const OptionText &o : kCommandOptions)
        parser.addOption(o.valueName ? QCommandLineOption(o.name, o.description, o.valueName)
                                     : QCommandLineOption(o.name, o.description));
    if (!parser.parse(QStringList{QStringLiteral("zqctl")} + arguments)) {
        result.text = parser.errorText();
        return result;
    }

    if (parser.isSet(QStringLiteral("version"))) {
        result.kind = ParseResult::Version;
        result.text = QStringLiteral("zqctl " ZQ_VERSION "\n");
        return result;
    }
    QStringList words = parser.positionalArguments();
    const bool help = parser.isSet(QStringLiteral("help"));
    if (words.isEmpty()) {
        result.kind = help ? ParseResult::Help : ParseResult::UsageError;
        result.text = help ? programHelp() : QStringLiteral("no command given; try 'zqctl --help'");
        return result;
    }
    QString name = words.takeFirst();
    if (isTwoWordFamily(name)) {
        if (help && (words.isEmpty() || !findCommand(name + QLatin1Char(' ') + words.first()))) {
            result.kind = ParseResult::Help;
            result.text = commandHelp(name);
            return result;
        }
        if (words.isEmpty() || !findCommand(name + QLatin1Char(' ') + words.first())) {
            QStringList subs;
            for (const CommandInfo &c : commandTable()) {
                if (QString::fromLatin1(c.name).startsWith(name + QLatin1Char(' ')))
                    subs << QString::fromLatin1(c.name).section(QLatin1Char(' '), 1);
            }
            result.text =
                QStringLiteral("'%1' takes %2").arg(name, subs.join(QStringLiteral(" or ")));
            return result;
        }
        name += QLatin1Char(' ') + words.takeFirst();
    }
    const CommandInfo *command = findCommand(name);
    if (!command) {
        result.text = QStringLiteral("unknown command '%1'; try 'zqctl --help'").arg(name);
        return result;
    }
    if (help) {
        result.kind = ParseResult::Help;
        result.text = commandHelp(name);
        return result;
    }

    Invocation &inv = result.invocation;
    inv.command = command;
    inv.args = words;
    inv.json = parser.isSet(QStringLiteral("json"));
    inv.ports = parser.values(QStringLiteral("port"));
    inv.logFile = parser.value(QStringLiteral("log"));
    inv.accessCodeFile = parser.value(QStringLiteral("access-code-file"));
    auto number = [&](const char *option, int min, int max, int *out) {
        const QString key = QString::fromLatin1(option);
        if (!parser.isSet(key) || parseInt(parser.value(key), min, max, out))
            return true;
        result.text = QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'")
                          .arg(key)
                          .arg(min)
                          .arg(max)
                          .arg(parser.value(key));
        return false;
    };
    if (!number("baud", 1, kMaxBaud, &inv.baud) || !number("edition", 1, 5, &inv.edition) ||
        !number("retries", 0, kMaxRetries, &inv.retries))
        return result;
    if (parser.isSet(QStringLiteral("timeout")) &&
        !parseTimeout(parser.value(QStringLiteral("timeout")), &inv.timeoutMs)) {
        result.text = QStringLiteral("--timeout takes milliseconds from 1 to %1, not '%2'")
                          .arg(kMaxTimeoutMs)
                          .arg(parser.value(QStringLiteral("timeout")));
        return result;
    }
    for (const OptionText &o : kCommandOptions) {
        const QString key = QString::fromLatin1(o.name);
        if (!parser.isSet(key))
            continue;
        if (!command->options.contains(key)) {
            result.text = QStringLiteral("'%1' has no option --%2").arg(name, key);
            return result;
        }
        if (o.valueName)
            inv.values.insert(key, parser.value(key));
        else
            inv.flags << key;
    }
    if (command->family != Family::Local && inv.ports.isEmpty()) {
        result.text = QStringLiteral("'%1' needs --port; 'zqctl ports' lists them").arg(name);
        return result;
    }
    if (!checkPorts(inv, &result.text))
        return result;
    if (command->family == Family::Console &&
        (inv.edition < command->firstEdition || inv.edition > command->lastEdition)) {
        result.text = QStringLiteral("edition %1 has no '%2' (%3 only)")
                          .arg(inv.edition)
                          .arg(name, editionsText(*command));
        return result;
    }
    if (inv.args.size() != positionalCount(command->synopsis)) {
        result.text = QStringLiteral("usage: %1").arg(usageLine(*command));
        return result;
    }
    result.kind = ParseResult::Run;
    return result;
}

} // namespace zqctl
