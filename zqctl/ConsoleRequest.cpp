#include "ConsoleRequest.h"

#include "Edition.h"
#include "Payloads.h"

namespace zqctl {

namespace zc = zq::console;

namespace {

constexpr int kMinChargeVolts = 200; // the console's charge-voltage range
constexpr int kMaxChargeVolts = 300;
constexpr int kMaxByte = 255;
constexpr int kMaxTriggerTime = 65535;
constexpr int kMaxPeriodMs = 65535;
constexpr int kDefaultPeriodMs = 500; // the console's spin-box defaults
constexpr int kDefaultEnergy = 0;

// "1,2,3" as 1 to kMaxFlashesPerTrigger numbers from 0 to `max`.
bool parseList(const QString &text, int max, QList<int> *out) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() > zc::kMaxFlashesPerTrigger)
        return false;
    for (const QString &part : parts) {
        int value = 0;
        if (!parseInt(part.trimmed(), 0, max, &value))
            return false;
        out->append(value);
    }
    return true;
}

// The position of `word` in `choices` ("a|b|c"), or -1.
int choice(const QString &word, const char *choices) {
    return QString::fromLatin1(choices).split(QLatin1Char('|')).indexOf(word);
}

} // namespace

ConsoleRequest buildConsoleRequest(const Invocation &inv) {
    ConsoleRequest r;
    const QString name = QString::fromLatin1(inv.command->name);
    const QString arg = inv.args.value(0);
    const int edition = inv.edition;
    const bool energyLevels = !zc::editionTraits(edition).hasTriggerTables;
    auto fail = [&](const QString &what) {
        r.usageError = what;
        r.payloads.clear();
        return r;
    };
    auto byteArg = [&](const QString &text, int max, int *out) {
        return parseInt(text, 0, max, out);
    };

    // The reads; every other command changes something in the unit.
    r.repeatable =
        QStringList{QStringLiteral("version"),           QStringLiteral("info"),
                    QStringLiteral("diagnosis"),         QStringLiteral("flash-status"),
                    QStringLiteral("eeprom-status"),     QStringLiteral("calibration-status"),
                    QStringLiteral("calibration"),       QStringLiteral("read-trigger"),
                    QStringLiteral("read-energy-levels")}
            .contains(name);

    if (name == QLatin1String("version")) {
        r.payloads << zc::readSoftwareVersion();
    } else if (name == QLatin1String("info")) {
        r.payloads = zc::informationPoll();
    } else if (name == QLatin1String("diagnosis")) {
        r.payloads << zc::diagnosis();
    } else if (name == QLatin1String("flash-status")) {
        r.payloads << zc::readFlashStatus();
    } else if (name == QLatin1String("eeprom-status")) {
        r.payloads << zc::readEepromStatus();
    } else if (name == QLatin1String("calibration-status")) {
        r.payloads << zc::readCalibrationStatus();
    } else if (name == QLatin1String("calibration")) {
        int level = 0;
        if (!byteArg(arg, kMaxByte, &level))
            return fail(QStringLiteral("LEVEL is a number from 0 to 255, not '%1'").arg(arg));
        r.payloads << zc::readCalibrationLevel(quint8(level));
    } else if (name == QLatin1String("flash")) {
        // Editions 1 to 3 fire at the high or low energy level with the codes
        // that later editions use for trigger 2 and trigger 1.
        const int which = choice(arg, energyLevels ? "low|high" : "1|2");
        if (which < 0)
            return fail(energyLevels
                            ? QStringLiteral("edition %1 flashes 'high' or 'low'").arg(edition)
                            : QStringLiteral("edition %1 flashes on trigger 1 or 2").arg(edition));
        r.payloads << zc::flash(which == 1);
    } else if (name == QLatin1String("read-trigger")) {
        const int which = choice(arg, "1|2");
        if (which < 0)
            return fail(QStringLiteral("the trigger is 1 or 2, not '%1'").arg(arg));
        r.payloads << zc::readTriggerSettings(which + 1);
    } else if (name == QLatin1String("set-trigger")) {
        const int which = choice(arg, "1|2");
        if (which < 0)
            return fail(QStringLiteral("the trigger is 1 or 2, not '%1'").arg(arg));
        QList<int> energies, times;
        if (!parseList(inv.values.value(QStringLiteral("energies")), kMaxByte, &energies))
            return fail(
                QStringLiteral("--energies takes 1 to 4 numbers from 0 to 255, like 100,50"));
        if (!parseList(inv.values.value(QStringLiteral("times")), kMaxTriggerTime, &times))
            return fail(
                QStringLiteral("--times takes 1 to 4 numbers from 0 to 65535, like 1000,300"));
        if (energies.size() != times.size())
            return fail(QStringLiteral("--energies and --times need one value per flash each"));
        zc::TriggerSequence sequence;
        sequence.flashes = energies.size();
        for (int k = 0; k < energies.size(); ++k) {
            sequence.energies[k] = quint8(energies[k]);
            sequence.times[k] = quint16(times[k]);
        }
        r.payloads << zc::setTriggerSequence(which + 1, sequence);
    } else if (name == QLatin1String("save-triggers") ||
               name == QLatin1String("save-energy-levels")) {
        r.payloads << zc::saveTriggerSettings();
    } else if (name == QLatin1String("output-mode")) {
        const int mode = choice(arg, "0|1");
        if (mode < 0)
            return fail(QStringLiteral("the output trigger mode is 0 or 1, not '%1'").arg(arg));
        r.payloads << zc::outputTriggerMode(mode);
    } else if (name == QLatin1String("energy-level")) {
        const int which = choice(arg, "low|high");
        int value = 0;
        if (which < 0)
            return fail(QStringLiteral("the energy level is 'high' or 'low', not '%1'").arg(arg));
        if (!byteArg(inv.args.value(1), kMaxByte, &value))
            return fail(
                QStringLiteral("VALUE is a number from 0 to 255, not '%1'").arg(inv.args.value(1)));
        r.payloads << zc::changeEnergyLevel(which == 1, quint8(value));
    } else if (name == QLatin1String("read-energy-levels")) {
        r.payloads << zc::readEnergyLevels();
    } else if (name == QLatin1String("sequence start")) {
        int period = kDefaultPeriodMs, energy = kDefaultEnergy;
        const QString p = inv.values.value(QStringLiteral("period"), QString::number(period));
        const QString e = inv.values.value(QStringLiteral("energy"), QString::number(energy));
        if (!parseInt(p, 1, kMaxPeriodMs, &period))
            return fail(QStringLiteral("--period takes 1 to 65535 ms, not '%1'").arg(p));
        if (!byteArg(e, kMaxByte, &energy))
            return fail(QStringLiteral("--energy takes 0 to 255, not '%1'").arg(e));
        r.payloads << zc::sequenceTestStart(quint16(period), quint8(energy));
    } else if (name == QLatin1String("sequence stop")) {
        r.payloads << zc::sequenceTestStop();
    } else if (name == QLatin1String("standby")) {
        const int which = choice(arg, "partial|complete");
        if (which < 0)
            return fail(
                QStringLiteral("the standby is 'complete' or 'partial', not '%1'").arg(arg));
        r.payloads << zc::standby(which == 1);
    } else if (name == QLatin1String("reset")) {
        const int which = choice(arg, "hv|com|both");
        if (which < 0)
            return fail(QStringLiteral("reset takes hv, com or both, not '%1'").arg(arg));
        const zc::ControllerReset kinds[] = {zc::ControllerReset::HighVoltage,
                                             zc::ControllerReset::Communication,
                                             zc::ControllerReset::Both};
        r.payloads << zc::resetController(kinds[which]);
        r.answered = false;
    } else if (name == QLatin1String("charge-voltage")) {
        int volts = 0;
        if (!parseInt(arg, kMinChargeVolts, kMaxChargeVolts, &volts))
            return fail(QStringLiteral("VOLTS is a number from 200 to 300, not '%1'").arg(arg));
        r.payloads << zc::writeChargeVoltage(edition, quint16(volts));
    } else if (name == QLatin1String("reset-memory")) {
        r.payloads << zc::resetMemory(edition);
    } else if (name == QLatin1String("calibrate")) {
        r.payloads << zc::calibrate();
    } else {
        return fail(QStringLiteral("'%1' is not a console command").arg(name));
    }
    return r;
}

} // namespace zqctl
