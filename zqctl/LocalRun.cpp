#include "LocalRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSerialPortInfo>

#include "ExitCode.h"
#include "HexChecker.h"
#include "InputFile.h"

#include <cstdio>

namespace zqctl {

namespace {

void printJson(const QJsonObject &object) {
    std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
}

int ports(Output &out) {
    // The start window's list: the port's name, one blank, its description.
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (out.json())
            printJson({{QStringLiteral("name"), info.portName()},
                       {QStringLiteral("description"), info.description()},
                       {QStringLiteral("path"), info.systemLocation()}});
        else
            std::printf("%s\n",
                        qPrintable(info.portName() + QLatin1Char(' ') + info.description()));
    }
    return ExitOk;
}

int hexInfo(const QString &path, Output &out) {
    QByteArray bytes;
    QString error;
    if (!readInputFile(path, kMaxHexFileBytes, &bytes, &error)) {
        out.complain(error);
        return ExitUsage;
    }
    const HexReport report = checkHex(bytes);
    if (out.json()) {
        QJsonArray problems;
        for (const HexProblem &p : report.problems)
            problems.append(QJsonObject{{QStringLiteral("line"), p.line},
                                        {QStringLiteral("last_line"), p.lastLine},
                                        {QStringLiteral("text"), p.text}});
        printJson(
            {{QStringLiteral("file"), path},
             {QStringLiteral("analyzable"), report.analyzable},
             {QStringLiteral("program_words"), report.programWords},
             {QStringLiteral("eeprom_bytes"), report.eepromBytes},
             {QStringLiteral("config_bytes"), report.configBytes},
             {QStringLiteral("config"), QString::fromLatin1(report.config.toHex(' ').toUpper())},
             {QStringLiteral("id_location_bytes"), report.idLocationBytes},
             {QStringLiteral("problems"), problems},
             {QStringLiteral("more_problems"), report.moreProblems},
             {QStringLiteral("failed"), !report.problems.isEmpty()}});
    } else {
        for (const QString &line : hexReportLines(report))
            std::printf("%s\n", qPrintable(line));
    }
    return report.problems.isEmpty() ? ExitOk : ExitFailed;
}

} // namespace

int runLocalCommand(const Invocation &inv, Output &out) {
    switch (inv.command->action) {
    case Action::Ports:
        return ports(out);
    case Action::HexInfo:
        return hexInfo(inv.args.value(0), out);
    default:
        // The other actions talk to units; main() never sends them here.
        return ExitUsage;
    }
}

} // namespace zqctl
