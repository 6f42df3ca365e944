#pragma once
// What the firmware window says to the unit's bootloader and what it makes of
// the answers, decided from bytes alone: payload builders, the write
// sequences, and the answer handling as a value the window applies.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "BootloaderCommand.h"

class PICProgram;

namespace zq::boot {

// The one-byte payloads: StartBootloader, ReadVersion, EraseProgram,
// ReadEeprom, ReadConfig, StartUserProgram.
QByteArray command(BootloaderCommand code);

// The whole image, in the order the bootloader takes it: kBlockCount
// WriteProgram blocks from kProgramStart (words the image lacks read 0xFF),
// kEepromRunCount WriteEeprom runs (bytes it lacks read 0x00), one WriteConfig.
QVector<QByteArray> programWriteSequence(const PICProgram &program);

// kEepromRunCount WriteEeprom payloads covering EEPROM addresses 0..1023 from
// `bytes`; bytes past its end are sent as 0x00, bytes from 1024 on are not sent.
QVector<QByteArray> eepromWriteSequence(const QByteArray &bytes);

// [WriteConfig] + the kConfigSize bytes, or + kConfigSize zeros when `bytes`
// does not hold exactly kConfigSize bytes.
QByteArray configWritePayload(const QByteArray &bytes);

// The byte a table cell stands for: its decimal text, low 8 bits; 0 when the
// text is empty or not a number.
quint8 tableCellByte(const QString &text);

// A table row's three renderings of a byte: decimal, lowercase hex and binary,
// without prefixes or leading zeros (200 gives "200", "c8", "11001000").
QStringList byteRenderings(quint8 value);

struct TableCell {
    int row;
    quint8 value;
};

struct BootloaderAnswer {
    bool setsStatus = false;
    QString status;                // the status line's whole new text when setsStatus
    QVector<TableCell> eepromRows; // rows past the EEPROM table already dropped
    QVector<TableCell> configRows;
    bool bootloaderModeOff = false;
};

// Judges one answer by its code, length and status byte alone. Never reads
// past `length` bytes; an empty answer counts as unknown data.
BootloaderAnswer handleAnswer(const quint8 *data, int length);

// Follows one program write on a link that has one frame in flight at a time:
// which frame on the line is one of the write's, what its answer said, and
// whether the last one has ended (answered or given up). The window feeds it
// what the link tells; it decides from those events alone. A payload counts as
// confirmed only on an answer that repeats its code with status 0.
class WriteProgress {
public:
    // `codes`: the command code of each of the write's payloads, in order.
    // `framesAhead`: frames of the window's that are not on the line yet and
    // will go before the write's first one; their answers are not the write's.
    void start(const QByteArray &codes, int framesAhead);
    void frameTaken(); // a frame left the queue for the line
    // An answer came. True when it is the late answer to the frame that was
    // on the line when the write was stopped: it says nothing about the unit
    // that the stop did not already say, so the window does not show it.
    bool answerReceived(const quint8 *data, int length);
    // The frame on the line is done. True when that ended the write.
    bool lineFreed();
    // Abandoned: nothing more of the write reaches the unit.
    void stop();

    bool running() const { return total_ > 0; }
    int total() const { return total_; }
    int done() const { return done_; } // the write's frames whose answer came or was given up
    int confirmed() const { return confirmed_; }

    // The status line that a write ending now leaves: for a finished write
    // with every payload confirmed a null string (the last answer's own line
    // stays); otherwise what fell short and what to do.
    enum class End { Finished, Stopped, PortLost };
    QString endStatus(End end, const QString &portName = QString()) const;

private:
    QByteArray codes_;
    int total_ = 0;
    int ahead_ = 0;
    int taken_ = 0;
    int done_ = 0;
    int confirmed_ = 0;
    int errorAnswers_ = 0;
    bool ownFrameOnLine_ = false;
    bool answered_ = false; // the frame on the line had its answer
    int lateCode_ = -1;     // code of the frame cut off by a stop, until an answer or a new frame
};

} // namespace zq::boot
