// zqctl's HEX checker (hex-info, and the check before every write) on
// arbitrary file contents: whatever the file, the report stays bounded and
// agrees with the firmware window's reader about whether it can be analysed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "HexChecker.h"

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool installed = [] {
        qInstallMessageHandler(quiet);
        return true;
    }();
    (void)installed;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const zqctl::HexReport report = zqctl::checkHex(bytes);
    if (report.problems.size() > zqctl::kMaxShownProblems)
        abort();
    if (report.moreProblems > 0 && report.problems.size() != zqctl::kMaxShownProblems)
        abort();
    if (report.config.size() > zqctl::kMaxKeptConfigBytes ||
        report.configBytes < report.config.size())
        abort();
    // A report without problems is one the unit gets exactly as the file says.
    if (report.problems.isEmpty() &&
        (!report.analyzable || report.recordsBroken || report.configUnusable || report.endMissing ||
         report.contradictions != 0))
        abort();
    if (zqctl::hexReportLines(report).isEmpty())
        abort();
    return 0;
}
