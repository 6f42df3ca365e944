#pragma once
// The zq-sim program run for a test or a benchmark: the simulated unit on a
// pseudo-terminal whose path it prints as its first line. SIGTERM ends it
// cleanly, after it writes its memories when it was started with --dump-dir.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <csignal>
#include <sys/types.h>

class SimProcess {
public:
    static constexpr int kStartMs = 5000;

    // $ZQ_SIM, which CTest sets, else the zq-sim of the same build tree.
    static QString defaultProgram() {
        return qEnvironmentVariable("ZQ_SIM",
                                    QCoreApplication::applicationDirPath() + "/../sim/zq-sim");
    }

    // With `trafficLog`, the unit's traffic log (a line for each payload it
    // received) goes to that file; without, the unit runs --quiet and its
    // warnings reach the caller's standard error.
    explicit SimProcess(const QString &trafficLog = QString()) : trafficLog_(trafficLog) {}
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    virtual ~SimProcess() { stop(); }

    // True once the unit has printed the path of its port.
    bool start(const QStringList &args, const QString &program = defaultProgram()) {
        if (trafficLog_.isEmpty()) {
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(program, args + QStringList{"--quiet"});
        } else {
            process.setStandardErrorFile(trafficLog_);
            process.start(program, args);
        }
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine() && process.state() != QProcess::NotRunning &&
               clock.elapsed() < kStartMs)
            process.waitForReadyRead(int(kStartMs - clock.elapsed()));
        path_ = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !path_.isEmpty();
    }

    // Ends the unit with SIGTERM; its exit code, -1 if it crashed or had to be killed.
    int stop() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(kStartMs)) {
                process.kill();
                process.waitForFinished();
                return -1;
            }
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // SIGSTOP freezes the unit, SIGCONT wakes it, SIGUSR1 has it dump its memories.
    void signal(int number) const { ::kill(pid_t(process.processId()), number); }

    QString path() const { return path_; }
    qint64 pid() const { return process.processId(); }
    QString trafficLog() const { return trafficLog_; }

    QProcess process;

private:
    QString trafficLog_;
    QString path_;
};
