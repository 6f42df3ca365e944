#include "Summary.h"

#include "ExitCode.h"

#include <utility>

namespace zqctl {

namespace {

constexpr int kColumnGap = 2;

QString orDash(const QString &text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString secondsText(double seconds) {
    return QStringLiteral("%1 s").arg(seconds, 0, 'f', 2);
}

} // namespace

QString resultWord(int exitCode) {
    if (exitCode > ExitSignalBase)
        return QStringLiteral("stopped");
    switch (exitCode) {
    case ExitOk:
        return QStringLiteral("ok");
    case ExitFailed:
        return QStringLiteral("failed");
    case ExitNoAnswer:
        return QStringLiteral("no answer");
    default:
        return QStringLiteral("refused");
    }
}

QStringList summaryTable(const QList<UnitSummary> &units) {
    QList<QStringList> rows{{QStringLiteral("port"), QStringLiteral("version before"),
                             QStringLiteral("version after"), QStringLiteral("result"),
                             QStringLiteral("retries"), QStringLiteral("unit reports"),
                             QStringLiteral("time")}};
    for (const UnitSummary &u : units)
        rows << QStringList{u.port,
                            orDash(u.versionBefore),
                            orDash(u.versionAfter),
                            resultWord(u.exitCode),
                            QString::number(u.retries),
                            QString::number(u.reports),
                            secondsText(u.seconds)};
    QList<int> widths;
    for (const QStringList &row : std::as_const(rows)) {
        for (int c = 0; c < row.size(); ++c) {
            if (widths.size() <= c)
                widths << 0;
            widths[c] = qMax(widths[c], row[c].size());
        }
    }
    QStringList lines;
    for (const QStringList &row : std::as_const(rows)) {
        QString line;
        for (int c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c] + kColumnGap) : row[c];
        lines << line;
    }
    return lines;
}

QJsonObject summaryJson(const UnitSummary &u) {
    const auto version = [](const QString &v) {
        return v.isEmpty() ? QJsonValue() : QJsonValue(v);
    };
    return QJsonObject{{QStringLiteral("port"), u.port},
                       {QStringLiteral("version_before"), version(u.versionBefore)},
                       {QStringLiteral("version_after"), version(u.versionAfter)},
                       {QStringLiteral("result"), resultWord(u.exitCode)},
                       {QStringLiteral("exit"), u.exitCode},
                       {QStringLiteral("retries"), u.retries},
                       {QStringLiteral("unit_reports"), u.reports},
                       {QStringLiteral("seconds"), qRound64(u.seconds * 1000) / 1000.0}};
}

int worstExitCode(const QList<UnitSummary> &units) {
    int worst = ExitOk;
    for (const UnitSummary &u : units)
        worst = qMax(worst, u.exitCode);
    return worst;
}

} // namespace zqctl
