#pragma once
// What one unit's run came to, and the table that ends a run on several units:
// port, software version before and after, result, retries, unit reports and
// time. Pure: the figures in, text lines or a JSON object out.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace zqctl {

struct UnitSummary {
    QString port;
    QString versionBefore; // the software version as the console shows it; empty: not read
    QString versionAfter;
    int exitCode = 0;
    int retries = 0; // payloads sent again after a lost or unreadable answer
    int reports = 0; // frames of the unit's own that answered nothing
    double seconds = 0;
};

// "ok", "failed" (exit 1), "no answer" (exit 2), "refused" (exit 64),
// "stopped" (128 + a signal).
QString resultWord(int exitCode);

QStringList summaryTable(const QList<UnitSummary> &units);
// {"port", "version_before", "version_after", "result", "exit", "retries",
//  "unit_reports", "seconds"}; a version not read is null.
QJsonObject summaryJson(const UnitSummary &unit);

// The worst of the units' exit codes: the one a run on all of them ends with.
int worstExitCode(const QList<UnitSummary> &units);

} // namespace zqctl
