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
    const QString arg = inv.args.value(0);
    const int edition = inv.edition;
    const bool energyLevels = !zc::editionTraits(edition).hasTriggerTables;
    r.repeatable = inv.command->repeatable();
    auto fail = [&](const QString &what) {
        r.usageError = what;
        r.payloads.clear();
        return r;
    };
    auto byteArg = [&](const QString &text, int max, int *out) {
        return parseInt(text, 0, max, out);
    };

    switch (inv.command->action) {
    case Action::Version:
        r.payloads << zc::readSoftwareVersion();
        break;
    case Action::Info:
        r.payloads = zc::informationPoll();
        break;
    case Action::Diagnosis:
        r.payloads << zc::diagnosis();
        break;
    case Action::FlashStatus:
        r.payloads << zc::readFlashStatus();
        break;
    case Action::EepromStatus:
        r.payloads << zc::readEepromStatus();
        break;
    case Action::CalibrationStatus:
        r.payloads << zc::readCalibrationStatus();
        break;
    case Action::Calibration: {
        int level = 0;
        if (!byteArg(arg, kMaxByte, &level))
            return fail(QStringLiteral("LEVEL is a number from 0 to 255, not '%1'").arg(arg));
        r.payloads << zc::readCalibrationLevel(quint8(level));
        break;
    }
    case Action::Flash: {
        // Editions 1 to 3 fire at the high or low energy level with the codes
        // that later editions use for trigger 2 and trigger 1.
        const int which = choice(arg, energyLevels ? "low|high" : "1|2");
        if (which < 0)
            return fail(energyLevels
                            ? QStringLiteral("edition %1 flashes 'high' or 'low'").arg(edition)
                            : QStringLiteral("edition %1 flashes on trigger 1 or 2").arg(edition));
        r.payloads << zc::flash(which == 1);
        break;
    }
    case Action::ReadTrigger: {
        const int which = choice(arg, "1|2");
        if (which < 0)
            return fail(QStringLiteral("the trigger is 1 or 2, not '%1'").arg(arg));
        r.payloads << zc::readTriggerSettings(which + 1);
        break;
    }
    case Action::SetTrigger: {
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
        break;
    }
    case Action::SaveTriggers:
    case Action::SaveEnergyLevels:
        r.payloads << zc::saveTriggerSettings();
        break;
    case Action::OutputMode: {
        const int mode = choice(arg, "0|1");
        if (mode < 0)
            return fail(QStringLiteral("the output trigger mode is 0 or 1, not '%1'").arg(arg));
        r.payloads << zc::outputTriggerMode(mode);
        break;
    }
    case Action::EnergyLevel: {
        const int which = choice(arg, "low|high");
        int value = 0;
        if (which < 0)
            return fail(QStringLiteral("the energy level is 'high' or 'low', not '%1'").arg(arg));
        if (!byteArg(inv.args.value(1), kMaxByte, &value))
            return fail(
                QStringLiteral("VALUE is a number from 0 to 255, not '%1'").arg(inv.args.value(1)));
        r.payloads << zc::changeEnergyLevel(which == 1, quint8(value));
        break;
    }
    case Action::ReadEnergyLevels:
        r.payloads << zc::readEnergyLevels();
        break;
    case Action::SequenceStart: {
        int period = kDefaultPeriodMs, energy = kDefaultEnergy;
        const QString p = inv.values.value(QStringLiteral("period"), QString::number(period));
        const QString e = inv.values.value(QStringLiteral("energy"), QString::number(energy));
        if (!parseInt(p, 1, kMaxPeriodMs, &period))
            return fail(QStringLiteral("--period takes 1 to 65535 ms, not '%1'").arg(p));
        if (!byteArg(e, kMaxByte, &energy))
            return fail(QStringLiteral("--energy takes 0 to 255, not '%1'").arg(e));
        r.payloads << zc::sequenceTestStart(quint16(period), quint8(energy));
        break;
    }
    case Action::SequenceStop:
        r.payloads << zc::sequenceTestStop();
        break;
    case Action::Standby: {
        const int which = choice(arg, "partial|complete");
        if (which < 0)
            return fail(
                QStringLiteral("the standby is 'complete' or 'partial', not '%1'").arg(arg));
        r.payloads << zc::standby(which == 1);
        break;
    }
    case Action::Reset: {
        const int which = choice(arg, "hv|com|both");
        if (which < 0)
            return fail(QStringLiteral("reset takes hv, com or both, not '%1'").arg(arg));
        const zc::ControllerReset kinds[] = {zc::ControllerReset::HighVoltage,
                                             zc::ControllerReset::Communication,
                                             zc::ControllerReset::Both};
        r.payloads << zc::resetController(kinds[which]);
        r.answered = false;
        break;
    }
    case Action::ChargeVoltage: {
        int volts = 0;
        if (!parseInt(arg, kMinChargeVolts, kMaxChargeVolts, &volts))
            return fail(QStringLiteral("VOLTS is a number from 200 to 300, not '%1'").arg(arg));
        r.payloads << zc::writeChargeVoltage(edition, quint16(volts));
        break;
    }
    case Action::ResetMemory:
        r.payloads << zc::resetMemory(edition);
        break;
    case Action::Calibrate:
        r.payloads << zc::calibrate();
        break;
    case Action::Ports:
    case Action::HexInfo:
    case Action::FirmwareWrite:
    case Action::EepromRead:
    case Action::EepromWrite:
    case Action::ConfigRead:
    case Action::ConfigWrite:
    case Action::BootloaderStart:
    case Action::BootloaderLeave:
        return fail(
            QStringLiteral("'%1' is not a console command").arg(QLatin1String(inv.command->name)));
    }
    return r;
}

} // namespace zqctl
