#include "AnswerDecoder.h"

#include <QDateTime>

#include "ConsoleCommand.h"
#include "Edition.h"
#include "Payloads.h"

namespace zq::console {

namespace {

constexpr double kVoltsPerCount = 0.301;

constexpr int kStatusAnswerLength = 2;
constexpr int kCounterAnswerLength = 4;
constexpr int kTwoByteValueAnswerLength = 3; // charge voltage, temperature
constexpr int kSoftwareVersionAnswerLength = 5;
constexpr int kDiagnosisAnswerLength = 7;
constexpr int kEepromStatusAnswerLength = 3;
constexpr int kEnergyLevelsAnswerLength = 3;
constexpr int kDetailedFlashStatusLength = 9;
constexpr int kErrorReportLength = 3;
constexpr int kTriggerSettingsHeaderLength = 3; // code, trigger, number of flashes
constexpr int kBytesPerReportedFlash = 3;       // energy, time high, time low

constexpr quint8 kFlashGenerated = 2;
constexpr char kPlusSign = '+';
constexpr char kMinusSign = '-';

const char kEmptyBuffer[] = " : Receiving empty buffer\n";
const char kUnknownData[] = " : Receiving unknown Data\n";

// A status answer: code and one status byte. Texts are whole message bodies.
struct StatusText {
    int status;
    const char *text; // null ends the list
};

struct StatusAnswer {
    quint8 code;
    int firstEdition;
    int lastEdition;
    const char *operation; // names the answer in its error messages
    StatusText cases[4];
    const char *otherwise; // null: " : <operation> Error -> The response is unknown\n"
};

// Shared by all editions; where an older edition worded a code differently,
// its row comes first with a narrower range of editions.
// clang-format off
constexpr StatusAnswer kStatusAnswers[] = {
    {ResetMemory, 1, 2, "Erasing EEPROM",
     {{0, " : Erasing EEPROM OK\n"}},
     nullptr},
    {ResetMemory, 3, 5, "Erasing EEPROM",
     {{0, " : Erasing EEPROM OK\n"},
      {13, " : Erasing EEPROM Error -> Frame error\n"},
      {20, " : Erasing EEPROM Error -> EEPROM error\n"}},
     nullptr},
    {FlashTrigger2, 1, 1, "Generate Flash",
     {{2, " : High Flash Generated\n"},
      {3, " : High Flash Missed\n"},
      {4, " : Flash not Ready\n"}},
     nullptr},
    {FlashTrigger2, 2, 3, "Generate Flash",
     {{2, " : High Flash Generated\n"},
      {19, " : High Flash Error (More information: read flash status)\n"}},
     nullptr},
    {FlashTrigger2, 4, 5, "Generate Flash",
     {{0, " : Command Generate Flash with Trigger 2 OK. For more information, "
          "read flash status\n"}},
     nullptr},
    {FlashTrigger1, 1, 1, "Generate Flash",
     {{2, " : Low Flash Generated\n"},
      {3, " : Low Flash Missed\n"},
      {4, " : Flash not Ready\n"}},
     nullptr},
    {FlashTrigger1, 2, 3, "Generate Flash",
     {{2, " : Low Flash Generated\n"},
      {19, " : Low Flash Error (More information: read flash status)\n"}},
     nullptr},
    {FlashTrigger1, 4, 5, "Generate Flash",
     {{0, " : Command Generate Flash with Trigger 1 OK. For more information, "
          "read flash status\n"}},
     nullptr},
    {ChangeHighEnergyLevel, 1, 5, "Changing High Energy Level",
     {{0, " : Changing High Energy Level OK\n"},
      {7, " : Changing High Energy Level Error -> The received command by the ZQ is incorrect\n"}},
     nullptr},
    {ChangeLowEnergyLevel, 1, 5, "Changing Low Energy Level",
     {{0, " : Changing Low Energy Level OK\n"},
      {7, " : Changing Low Energy Level Error -> The received command by the ZQ is incorrect\n"}},
     nullptr},
    {SaveTriggerSettings, 1, 2, "Saving Energy Levels",
     {{0, " : Energy levels saved\n"}},
     nullptr},
    {SaveTriggerSettings, 3, 5, "Saving Energy Levels",
     {{0, " : Energy levels saved\n"},
      {20, " : Saving Energy Levels Error -> EEPROM error\n"}},
     nullptr},
    {SequenceTest, 1, 5, "Sequence Test",
     {{10, " : Sequence Test Started\n"},
      {11, " : Sequence Test Stoped\n"},
      {12, " : Sequence Test Error -> Parameters must be wrong\n"}},
     nullptr},
    {WriteChargeVoltage, 1, 5, "Writing Charge Voltage",
     {{0, " : Writing Charge Voltage OK\n"},
      {8, " : Writing Charge Voltage Error -> The received command by the ZQ is incorrect\n"}},
     nullptr},
    {CompleteStandby, 1, 5, "Complete Standby",
     {{16, " : Complete Standby -> ON\n"}},
     " : Complete Standby -> OFF\n"},
    {PartialStandby, 1, 5, "Partial Standby",
     {{16, " : Partial Standby -> ON\n"}},
     " : Partial Standby -> OFF\n"},
    // Edition 5 also accepts a detailed 9-byte form; see decodeFlashStatus.
    {ReadFlashStatus, 1, 5, "Reading Flash Status",
     {{kFlashGenerated, " : Flash Status -> Flash generated\n"},
      {3, " : Flash Status -> Flash missed\n"},
      {4, " : Flash Status -> Low Voltage\n"},
      {18, " : Flash Status -> Overrun\n"}},
     nullptr},
    {SetTrigger1Sequence, 1, 5, "Setting Sequence Flash of Trigger 1",
     {{0, " : Setting Sequence Flash of Trigger 1 OK\n"},
      {12, " : Setting Sequence Flash of Trigger 1 Error -> Error parameters\n"}},
     nullptr},
    {SetTrigger2Sequence, 1, 5, "Setting Sequence Flash of Trigger 2",
     {{0, " : Setting Sequence Flash of Trigger 2 OK\n"},
      {12, " : Setting Sequence Flash of Trigger 2 Error -> Error parameters\n"}},
     nullptr},
    {SetOutputTriggerMode, 1, 5, "Setting Output Trigger Mode",
     {{0, " : Setting Output Trigger Mode OK\n"},
      {22, " : Setting Output Trigger Mode Error -> Error parameters\n"}},
     nullptr},
    {Calibrate, 1, 5, "Calibration",
     {{0, " : Calibration OK\n"},
      {23, " : Calibration Error -> Error during calibration\n"}},
     nullptr},
    // The 2-byte answer to a calibration status read; level reads are longer.
    {ReadCalibration, 1, 5, "Reading Calibration",
     {{24, " : Reading Calibration Error -> Error parameters\n"},
      {25, " : Flash calibrated\n"},
      {26, " : Calibration Failed\n"}},
     " : Reading Calibration Error -> Unknown Status\n"},
};
// clang-format on

QString text(const char *latin1) {
    return QString::fromLatin1(latin1);
}

QString lengthMismatch(const char *operation) {
    return QStringLiteral(" : ") + text(operation) +
           QStringLiteral(" Error -> The received data from the ZQ don't match with the command\n");
}

const StatusAnswer *findStatusAnswer(int edition, quint8 code) {
    for (const StatusAnswer &answer : kStatusAnswers) {
        if (answer.code == code && edition >= answer.firstEdition && edition <= answer.lastEdition)
            return &answer;
    }
    return nullptr;
}

QString statusMessage(const StatusAnswer &answer, quint8 status) {
    for (const StatusText &entry : answer.cases) {
        if (entry.text && entry.status == status)
            return text(entry.text);
    }
    if (answer.otherwise)
        return text(answer.otherwise);
    return QStringLiteral(" : ") + text(answer.operation) +
           QStringLiteral(" Error -> The response is unknown\n");
}

QString decodeStatus(const StatusAnswer &answer, const quint8 *data, int length) {
    return length == kStatusAnswerLength ? statusMessage(answer, data[1])
                                         : lengthMismatch(answer.operation);
}

quint32 bigEndian(const quint8 *bytes, int count) {
    quint32 value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

QString number(quint32 value) {
    return QString::number(value);
}

void setLabel(DecodedAnswer &out, InfoLabel label, const QString &labelText) {
    out.label = label;
    out.labelText = labelText;
}

void decodeCounter(DecodedAnswer &out, InfoLabel label, const char *title, const quint8 *data,
                   int length) {
    const QString value =
        length == kCounterAnswerLength ? number(bigEndian(data + 1, 3)) : QStringLiteral("ERROR");
    setLabel(out, label, text(title) + value);
}

void decodeChargeVoltage(DecodedAnswer &out, const quint8 *data, int length) {
    const QString value = length == kTwoByteValueAnswerLength
                              ? number(bigEndian(data + 1, 2)) + QStringLiteral(" V")
                              : QStringLiteral("ERROR");
    setLabel(out, InfoLabel::ChargeVoltage, QStringLiteral("Charge Voltage : ") + value);
}

void decodeTemperature(DecodedAnswer &out, const quint8 *data, int length) {
    const bool valid =
        length == kTwoByteValueAnswerLength && (data[1] == kPlusSign || data[1] == kMinusSign);
    const QString value = valid ? QChar(data[1]) + number(data[2]) + QStringLiteral(" \u00B0C")
                                : QStringLiteral("ERROR");
    setLabel(out, InfoLabel::Temperature, QStringLiteral("Temperature : ") + value);
}

void decodeSoftwareVersion(DecodedAnswer &out, const quint8 *data, int length) {
    const QString value =
        length == kSoftwareVersionAnswerLength
            ? QStringLiteral("%1-%2/%3-%4").arg(data[1]).arg(data[2]).arg(data[3]).arg(data[4])
            : QStringLiteral("ERROR");
    setLabel(out, InfoLabel::SoftwareVersion, QStringLiteral("Software Version : ") + value);
}

QString decodeDiagnosis(const quint8 *data, int length) {
    if (length != kDiagnosisAnswerLength)
        return lengthMismatch("Diagnosis");
    QStringList values;
    for (int i = 1; i < kDiagnosisAnswerLength; ++i)
        values << number(data[i]);
    return QStringLiteral(" : Diagnosis Result -> ") + values.join(QLatin1Char(' ')) +
           QLatin1Char('\n');
}

QString decodeEepromStatus(const quint8 *data, int length) {
    if (length != kEepromStatusAnswerLength)
        return lengthMismatch("Reading EEPROM Status");
    return QStringLiteral(" : Reading EEPROM Status -> ") + number(bigEndian(data + 1, 2)) +
           QStringLiteral(" write operation failed\n");
}

QString decodeFlashStatus(const EditionTraits &traits, const quint8 *data, int length) {
    const StatusAnswer &answer = *findStatusAnswer(traits.edition, ReadFlashStatus);
    if (!traits.detailedFlashStatus || length != kDetailedFlashStatusLength)
        return decodeStatus(answer, data, length);
    if (data[1] != kFlashGenerated)
        return statusMessage(answer, data[1]);
    // Byte 4 carries nothing the console shows.
    return QStringLiteral(" : Flash Status -> Flash generated with an energy of: ") +
           number(data[8]) + QStringLiteral("J. The voltage before the flash was of: ") +
           formatVoltage(int(bigEndian(data + 2, 2))) + QStringLiteral("V, after the flash of: ") +
           formatVoltage(int(bigEndian(data + 6, 2))) +
           QStringLiteral("V and the delta voltage was of: ") + formatVoltage(data[5]) +
           QStringLiteral("V\n");
}

// Editions 1 to 3: code 8 reads the saved high and low energy levels.
QString decodeEnergyLevels(const quint8 *data, int length) {
    if (length != kEnergyLevelsAnswerLength)
        return lengthMismatch("Reading Energy Levels");
    return QStringLiteral(" : High Energy Level = ") + number(data[1]) +
           QStringLiteral("; Low Energy Level = ") + number(data[2]) + QLatin1Char('\n');
}

// Editions 4 and 5: code, trigger, number of flashes, n energies, n times.
// The number of flash lines follows from the length, whatever byte 2 says.
QStringList decodeTriggerSettings(const quint8 *data, int length) {
    if (length == kStatusAnswerLength)
        return {QStringLiteral(" : Reading Saved Trigger Settings Error -> Parameters error\n")};
    const int flashes = (length - kTriggerSettingsHeaderLength) / kBytesPerReportedFlash;
    const bool wellFormed = (length - kTriggerSettingsHeaderLength) % kBytesPerReportedFlash == 0 &&
                            flashes >= 1 && flashes <= kMaxFlashesPerTrigger;
    if (!wellFormed)
        return {lengthMismatch("Reading Saved Trigger Settings")};

    QStringList lines;
    lines << QStringLiteral(" : Trigger = ") + number(data[1]) +
                 QStringLiteral(" Number of flashes = ") + number(data[2]) + QLatin1Char('\n');
    const quint8 *energies = data + kTriggerSettingsHeaderLength;
    const quint8 *times = energies + flashes;
    for (int k = 1; k <= flashes; ++k) {
        const QString timeLabel =
            k == 1 ? QStringLiteral(" Time before flash 1 = ")
                   : QStringLiteral(" Time between flash %1 & %2 = ").arg(k - 1).arg(k);
        lines << QStringLiteral(" : Energy flash %1 = ").arg(k) + number(energies[k - 1]) +
                     timeLabel + number(bigEndian(times + 2 * (k - 1), 2)) + QLatin1Char('\n');
    }
    return lines;
}

QString decodeCalibrationLevel(const quint8 *data, int length) {
    QString line = QStringLiteral(" : Calibration -> |");
    for (int i = 1; i < length; ++i)
        line += number(data[i]) + QLatin1Char('|');
    return line + QLatin1Char('\n');
}

QString decodeErrorReport(const EditionTraits &traits, const quint8 *data, int length) {
    if (length == kErrorReportLength) {
        return QStringLiteral(" : Receiving Error -> Base = ") + number(data[1]) +
               QStringLiteral("; Error Num = ") + number(data[2]) + QLatin1Char('\n');
    }
    // Edition 1 worded it without the colon.
    return traits.edition == 1 ? QStringLiteral(" : Receiving unknown Error\n")
                               : QStringLiteral(" : Receiving unknown Error:\n");
}

} // namespace

DecodedAnswer decodeAnswer(int edition, const quint8 *data, int length) {
    DecodedAnswer out;
    if (length <= 0 || !data) {
        out.messages << text(kEmptyBuffer);
        return out;
    }
    const EditionTraits &traits = editionTraits(edition);
    const quint8 code = data[0];
    if (!handlesAnswerCode(traits.edition, code)) {
        out.messages << text(kUnknownData);
        return out;
    }

    switch (code) {
    case ReadFlashCounter:
        decodeCounter(out, InfoLabel::FlashCounter, "Flash Counter : ", data, length);
        return out;
    case ReadFlashRequestCounter:
        decodeCounter(out, InfoLabel::FlashRequest, "Flash Request : ", data, length);
        return out;
    case ReadChargeVoltage:
        decodeChargeVoltage(out, data, length);
        return out;
    case ReadTemperature:
        decodeTemperature(out, data, length);
        return out;
    case ReadSoftwareVersion:
        decodeSoftwareVersion(out, data, length);
        return out;
    case ReadTriggerSettings:
        if (traits.hasTriggerTables)
            out.messages = decodeTriggerSettings(data, length);
        else
            out.messages << decodeEnergyLevels(data, length);
        return out;
    case Diagnosis:
        out.messages << decodeDiagnosis(data, length);
        return out;
    case ReadEepromStatus:
        out.messages << decodeEepromStatus(data, length);
        return out;
    case ReadFlashStatus:
        out.messages << decodeFlashStatus(traits, data, length);
        return out;
    case ReadCalibration:
        if (length > kStatusAnswerLength) {
            out.messages << decodeCalibrationLevel(data, length);
        } else {
            out.messages << decodeStatus(*findStatusAnswer(traits.edition, code), data, length);
            out.scrollToBottom = false;
        }
        return out;
    case ErrorReport:
        out.messages << decodeErrorReport(traits, data, length);
        return out;
    default:
        break;
    }

    if (const StatusAnswer *answer = findStatusAnswer(traits.edition, code))
        out.messages << decodeStatus(*answer, data, length);
    else
        out.messages << text(kUnknownData);
    return out;
}

QString formatVoltage(int counts) {
    return QString::number(counts * kVoltsPerCount, 'g', 6);
}

QString receivedLogLine(const QString &prefix, const quint8 *data, int length) {
    QString line = prefix + QStringLiteral(": ");
    for (int i = 0; i < length; ++i)
        line += number(data[i]) + QLatin1Char('|');
    return line;
}

QString receivedLogGapLine(const QString &prefix, int payloads, const QDateTime &since,
                           const QString &reason) {
    return prefix + QStringLiteral(": not logged: %1 payloads received from %2 on (%3)")
                        .arg(payloads)
                        .arg(since.toString(Qt::TextDate), reason);
}

QString timeStampPrefix(const QDateTime &now) {
    return QStringLiteral("=> ") + now.toString(Qt::TextDate);
}

} // namespace zq::console
