#pragma once
// What the firmware window would write from an Intel HEX file, and the
// problems it would not tell: the window's reader checks no record checksum,
// drops data outside the writable ranges, keeps duplicates without a word
// and reads a file cut short as if it were whole.
// Pure: the file's bytes in, a report out.

#include <QByteArray>
#include <QList>
#include <QString>

class PICProgram;

namespace zqctl {

// Which memory a finding is about, so a restore of one memory can leave
// aside what concerns the others.
enum class HexArea { File, Program, Eeprom, Config };

struct HexProblem {
    int line;     // 1-based; 0 for a finding about the whole file
    int lastLine; // neighbouring lines with the same finding are told once
    HexArea area;
    QString text;
};

// The report keeps the first problems only; a hostile file can have one on
// every line.
constexpr int kMaxShownProblems = 50;
// Duplicate addresses are looked for among this many distinct addresses,
// twice what a real image can name (64 KiB of program memory, 1024 EEPROM
// bytes, 14 configuration bytes); past them the check costs no more memory.
// The index of this many takes 2 MiB.
constexpr int kMaxTrackedAddresses = 131072;
// The unit has 14; more are kept only to show the first few.
constexpr int kMaxKeptConfigBytes = 32;

struct HexReport {
    bool analyzable = false;    // the firmware window's reader accepts the file
    int programWords = 0;       // distinct words in 0x0300-0xFFFF that the write takes
    int eepromBytes = 0;        // distinct EEPROM addresses below 1024
    int configBytes = 0;        // configuration bytes, counted in file order
    QByteArray config;          // the first kMaxKeptConfigBytes of them
    int idLocationBytes = 0;    // read, but never written
    QList<HexProblem> problems; // the first kMaxShownProblems
    int moreProblems = 0;       // found past those

    // Problems that make what reaches the unit differ from what the file says
    // (data outside the writable ranges is only left out, which is told):
    bool recordsBroken = false;  // a refused file, malformed records, checksum errors
    bool configUnusable = false; // not 14 configuration bytes in address order
    bool endMissing = false;     // no end-of-file record: the file may be cut short
    unsigned contradictions = 0; // by 1 << HexArea: an address given two different values

    bool contradicts(HexArea area) const { return contradictions & (1u << int(area)); }
};

HexReport checkHex(const QByteArray &fileBytes);
// The same for a file that `program` has already read (a large image is read once).
HexReport checkHex(const QByteArray &fileBytes, const PICProgram &program, bool programRead);

// "line 12: ..." or "lines 2-49: ...".
QString hexProblemText(const HexProblem &problem);
// "... and 12 more problems", for a report with moreProblems.
QString moreProblemsText(const HexReport &report);

// The report as text lines (problems last) for `zqctl hex-info`.
QStringList hexReportLines(const HexReport &report);

} // namespace zqctl
