#include "BootloaderProtocol.h"

#include "PICProgram.h"
#include "Pic18Memory.h"

#include <algorithm>

namespace zq::boot {

namespace {

// Lengths of the accepted answers.
constexpr int kVersionAnswerLength = 3;
constexpr int kStatusAnswerLength = 2;
constexpr int kConfigAnswerLength = 1 + kConfigSize;
constexpr int kErrorReportLength = 3;

BootloaderAnswer status(const QString &text) {
    BootloaderAnswer answer;
    answer.setsStatus = true;
    answer.status = text;
    return answer;
}

// Answers to the write commands: a status byte that is 0 on success and
// `rejected` when the bootloader found the command incorrect.
BootloaderAnswer writeStatus(const quint8 *data, int length, const QString &operation,
                             quint8 rejected, const QString &okText) {
    const QString prefix = QStringLiteral("Status : ") + operation + QStringLiteral(" -> ");
    if (length != kStatusAnswerLength)
        return status(prefix + QStringLiteral("Frame error"));
    if (data[1] == kStatusOk)
        return okText.isNull() ? BootloaderAnswer() : status(prefix + okText);
    if (data[1] == rejected)
        return status(prefix + QStringLiteral("The received command by the ZQ is incorrect"));
    return status(prefix + QStringLiteral("Response unknown"));
}

} // namespace

QByteArray command(BootloaderCommand code) {
    return QByteArray(1, char(code));
}

QVector<QByteArray> programWriteSequence(const PICProgram &program) {
    QVector<QByteArray> payloads;
    payloads.reserve(kBlockCount + kEepromRunCount + 1);

    for (int start = kProgramStart; start < kProgramEnd; start += kBlockBytes) {
        QByteArray block(kBlockHeaderBytes + kBlockBytes, char(pic18::kErasedByte));
        char *out = block.data();
        *out++ = char(WriteProgram);
        *out++ = 0x00;
        *out++ = char(start >> 8);
        *out++ = char(start & 0xFF);
        for (int address = start; address < start + kBlockBytes; address += 2, out += 2) {
            const int i = program.findProgramWord(address);
            if (i < 0)
                continue;
            const quint16 word = program.programWords().at(i).word;
            out[0] = char(word >> 8);
            out[1] = char(word & 0xFF);
        }
        payloads.append(block);
    }

    QByteArray eeprom(kEepromSize, 0x00);
    for (int address = 0; address < kEepromSize; ++address) {
        const int i = program.findEepromByte(quint16(address));
        if (i >= 0)
            eeprom[address] = char(program.eepromBytes().at(i).value);
    }
    payloads.append(eepromWriteSequence(eeprom));

    payloads.append(configWritePayload(program.configBytes()));
    return payloads;
}

QVector<QByteArray> eepromWriteSequence(const QByteArray &bytes) {
    QVector<QByteArray> payloads;
    payloads.reserve(kEepromRunCount);
    for (int start = 0; start < kEepromSize; start += kEepromRun) {
        const int count = qMin(kEepromRun, kEepromSize - start);
        QByteArray run(kRunHeaderBytes + count, 0x00);
        run[0] = char(WriteEeprom);
        run[1] = char(count);
        run[2] = char(start >> 8);
        run[3] = char(start & 0xFF);
        const int available = qBound(0, bytes.size() - start, count);
        std::copy_n(bytes.constData() + start, available, run.data() + kRunHeaderBytes);
        payloads.append(run);
    }
    return payloads;
}

QByteArray configWritePayload(const QByteArray &bytes) {
    QByteArray payload(1, char(WriteConfig));
    payload.append(bytes.size() == kConfigSize ? bytes : QByteArray(kConfigSize, 0x00));
    return payload;
}

quint8 tableCellByte(const QString &text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? quint8(value & 0xFF) : 0;
}

QStringList byteRenderings(quint8 value) {
    return {QString::number(value), QString::number(value, 16), QString::number(value, 2)};
}

BootloaderAnswer handleAnswer(const quint8 *data, int length) {
    if (data == nullptr || length <= 0)
        return status(QStringLiteral("Status : Serial Port -> Unknown data"));

    switch (data[0]) {
    case ReadVersion:
        if (length != kVersionAnswerLength)
            return status(QStringLiteral("Status : Reading Version -> Frame error"));
        return status(QStringLiteral("Status : Reading Version -> %1.%2")
                          .arg(int(data[1]))
                          .arg(int(data[2])));

    case SilentAnswer:
        return {};

    case WriteProgram:
        return writeStatus(data, length, QStringLiteral("Writing Program"), kStatusRejected,
                           QStringLiteral("Frame OK"));

    case EraseProgram:
        if (length == kStatusAnswerLength && data[1] == kStatusOk)
            return status(QStringLiteral("Status : Erasing Program -> OK"));
        return status(QStringLiteral("Status : Erasing Program -> Frame error"));

    case ReadEeprom: {
        // The count byte says how long the answer must be; an answer too short
        // to hold it is malformed.
        if (length < 2 || length != data[1] + kRunHeaderBytes)
            return status(QStringLiteral("Status : Reading EEPROM Data -> Frame error"));
        BootloaderAnswer answer;
        const int count = data[1];
        const int start = (data[2] << 8) | data[3];
        for (int i = 0; i < count && start + i < kEepromSize; ++i)
            answer.eepromRows.append({start + i, data[kRunHeaderBytes + i]});
        return answer;
    }

    case WriteEeprom:
        // Success leaves the status line alone: a table write is five of these.
        return writeStatus(data, length, QStringLiteral("Writing EEPROM Data"), kStatusRejected,
                           QString());

    case ReadConfig: {
        if (length != kConfigAnswerLength)
            return status(QStringLiteral("Status : Reading Config -> Frame error"));
        BootloaderAnswer answer;
        for (int row = 0; row < kConfigSize; ++row)
            answer.configRows.append({row, data[1 + row]});
        return answer;
    }

    case WriteConfig:
        return writeStatus(data, length, QStringLiteral("Writing Config"), kStatusConfigRejected,
                           QStringLiteral("OK"));

    case ErrorReport:
        if (length != kErrorReportLength)
            return status(QStringLiteral("Status : Receiving unknown Error\n"));
        return status(QStringLiteral("Status : Receiving Error -> Base = %1; Error Num = %2\n")
                          .arg(int(data[1]))
                          .arg(int(data[2])));

    case StartUserProgram: {
        // The status byte is not examined: any two-byte answer means the
        // application is running again.
        if (length != kStatusAnswerLength)
            return status(QStringLiteral("Status : Starting User Program -> Frame error"));
        BootloaderAnswer answer;
        answer.bootloaderModeOff = true;
        return answer;
    }

    default:
        return status(QStringLiteral("Status : Serial Port -> Unknown data"));
    }
}

void WriteProgress::start(const QByteArray &codes, int framesAhead) {
    *this = WriteProgress();
    codes_ = codes;
    total_ = codes.size();
    ahead_ = framesAhead;
}

void WriteProgress::frameTaken() {
    lateCode_ = -1; // from now on a late answer cannot be told from this frame's
    if (!running())
        return;
    ownFrameOnLine_ = ahead_ == 0 && taken_ < total_;
    answered_ = false;
    if (ahead_ > 0)
        --ahead_;
    else if (ownFrameOnLine_)
        ++taken_;
}

bool WriteProgress::answerReceived(const quint8 *data, int length) {
    if (lateCode_ >= 0) {
        const bool late = length > 0 && data[0] == lateCode_;
        lateCode_ = -1;
        return late;
    }
    // The first answer frees the line: at most one per frame counts.
    if (!ownFrameOnLine_ || answered_)
        return false;
    answered_ = true;
    const char code = codes_.at(taken_ - 1);
    if (length == 2 && data[0] == quint8(code)) {
        if (data[1] == kStatusOk)
            ++confirmed_;
        else
            ++errorAnswers_;
    }
    return false;
}

bool WriteProgress::lineFreed() {
    if (!ownFrameOnLine_)
        return false;
    ownFrameOnLine_ = false;
    ++done_;
    if (taken_ < total_)
        return false;
    total_ = 0;
    return true;
}

void WriteProgress::stop() {
    lateCode_ = ownFrameOnLine_ && !answered_ ? quint8(codes_.at(taken_ - 1)) : -1;
    total_ = 0;
    ownFrameOnLine_ = false;
}

QString WriteProgress::endStatus(End end, const QString &portName) const {
    const int total = codes_.size();
    if (end == End::Finished && confirmed_ == total)
        return QString();
    const QString counted = QStringLiteral("%1 of %2 confirmed").arg(confirmed_).arg(total);
    switch (end) {
    case End::Stopped:
        return QStringLiteral("Status : Writing Program -> Stopped, %1, write again").arg(counted);
    case End::PortLost:
        return QStringLiteral("Status : Writing Program -> Incomplete, %1, %2 lost")
            .arg(counted, portName);
    case End::Finished:
        break;
    }
    return QStringLiteral("Status : Writing Program -> Incomplete%1, %2, write again")
        .arg(errorAnswers_ > 0 ? QStringLiteral(" with errors") : QString(), counted);
}

} // namespace zq::boot
