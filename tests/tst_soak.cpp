// A soak of the console's link: 100 000 exchanges (ZQ_SOAK_EXCHANGES to
// change it) between the edition-5 console window and zq-sim, unpaced.
//
// The faults: the unit drops 1 % of its answers, and puts 2 noise bytes before
// every answer it sends (the receiver skips them on its own, with one
// diagnostic per byte). Answers carry a checksum, so every one is checked.
// Spoilt checksums and bad end bytes are left to tst_wire_faults: they stop
// the receiver until a reset by design, which a soak cannot tell from a fault.
//
// What is checked: no crash, no leak (the sanitizer build runs this too), no
// growth of memory along the run, and every answer that the unit sent present
// in ReceivedMessages.txt, whole and in order. The answers the unit sends are
// known in advance: the same unit and the same fault generator run in this
// process on the same commands (the simulator's library, with its seed).

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <memory>

#include "Bytes.h"
#include "MainWindow.h"
#include "ProcessUse.h"
#include "SimProcess.h"
#include "Unit.h"
#include "Wire.h"
#include "uart.h"

// The sanitizers keep their own bookkeeping (quarantine, shadow, access
// history) that grows with the run, so memory growth is checked without them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZQ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZQ_SANITIZED 1
#endif
#endif

namespace {

constexpr int kDefaultExchanges = 100000;
constexpr int kDropPercent = 1;
constexpr int kNoiseBytes = 2;
constexpr quint32 kSeed = 7;
// Short, so that the 1 % of lost answers cost little; an answer later than
// this only lets the next command go early, which changes nothing the unit does.
constexpr int kAnswerWaitMs = 5;
// Commands handed to the console ahead of the answers: below the link's
// queue limit, so that the queue never drops one.
constexpr int kAhead = uart::kQueueLimit - 6;
constexpr int kMessagesKept = 200; // "Save/Clear Messages" after so many answers
constexpr int kStallMs = 30000;    // no answer for this long: the link is stuck
constexpr long kMaxGrowthKiB = 32 * 1024;

std::atomic<int> noiseDiagnostics{0};
std::atomic<int> otherDiagnostics{0};

void countDiagnostics(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtDebugMsg) {
        if (!message.contains(QLatin1String("propagateSizeHints")))
            fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    if (message == QLatin1String("Frame error, rFrameCounter = 0"))
        ++noiseDiagnostics;
    else if (!message.startsWith(QLatin1String("Send :")) && !message.at(0).isDigit() &&
             !message.startsWith(QLatin1String("Destroy")) &&
             message != QLatin1String("Thread stoped"))
        ++otherDiagnostics;
}

// The buttons pressed, in turn, and the payload each one sends (its default
// choices: trigger 1, complete standby).
struct Command {
    const char *button;
    QByteArray payload;
};
const QList<Command> &commandCycle() {
    static const QList<Command> cycle = {
        {"Flash", QByteArray("\x04", 1)},
        {"Last Flash Status", QByteArray("\x12", 1)},
        {"EEPROM Status", QByteArray("\x16", 1)},
        {"ZQ Diagnosis", QByteArray("\x0E", 1)},
        {"Start/Stop Standby", QByteArray("\x10", 1)},
        {"Read Saved Settings of Trigger 1", QByteArray("\x08\x01", 2)},
    };
    return cycle;
}

// The unit on the other end, replayed here: what it will send for each command.
class Expectation {
public:
    explicit Expectation(const zq::sim::Faults &faults) : injector_(faults) {}

    void command(const QByteArray &payload) {
        for (const QByteArray &answer : unit_.handle(payload)) {
            if (injector_.dropNext())
                continue;
            injector_.frame(answer); // the same draws as the unit's, for the noise
            answers.append({answer, commands_});
        }
        ++commands_;
    }

    struct Answer {
        QByteArray payload;
        int command; // index of the command answered
    };
    QList<Answer> answers;

private:
    zq::sim::Unit unit_{zq::sim::kLastEdition};
    zq::sim::FaultInjector injector_;
    int commands_ = 0;
};

} // namespace

class TestSoak : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        qInstallMessageHandler(countDiagnostics);
        QVERIFY(!qEnvironmentVariable("ZQ_SIM").isEmpty());
        QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()));
        uart::setAnswerWait(kAnswerWaitMs);
    }

    void cleanupTestCase() { uart::setAnswerWait(uart::kAnswerWaitMs); }

    void exchanges() {
        const int total = qEnvironmentVariableIsSet("ZQ_SOAK_EXCHANGES")
                              ? qEnvironmentVariableIntValue("ZQ_SOAK_EXCHANGES")
                              : kDefaultExchanges;
        QVERIFY(total > 0);

        SimProcess sim;
        QVERIFY(sim.start({"--checksum", "--drop", QString::number(kDropPercent), "--noise",
                           QString::number(kNoiseBytes), "--seed", QString::number(kSeed)}));
        QSerialPort port(sim.path());
        QVERIFY(port.open(QIODevice::ReadWrite));

        zq::sim::Faults faults;
        faults.withChecksum = true;
        faults.dropPercent = kDropPercent;
        faults.noiseBytes = kNoiseBytes;
        faults.seed = kSeed;
        Expectation expected(faults);

        auto window = std::make_unique<MainWindow>(nullptr, &port);
        expected.command(QByteArray("\x0D", 1)); // the version request of every new console
        QWidget *top = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("main_window") && w->isVisible())
                top = w;
        QVERIFY(top);
        top->hide();
        auto button = [top](const char *text) -> QAbstractButton * {
            for (QAbstractButton *b : top->findChildren<QAbstractButton *>())
                if (b->text() == QLatin1String(text))
                    return b;
            return nullptr;
        };
        QList<QAbstractButton *> buttons;
        for (const Command &c : commandCycle()) {
            buttons << button(c.button);
            QVERIFY2(buttons.last(), c.button);
        }
        QAbstractButton *saveMessages = button("Save/Clear Messages");
        QVERIFY(saveMessages);

        int sent = 1;      // commands handed to the console, the version request first
        int answered = -1; // index of the command whose answer came last
        int received = 0;  // answers found in ReceivedMessages.txt
        QString mismatch;
        long residentAtTenth = 0;
        QElapsedTimer sinceAnswer;
        sinceAnswer.start();
        auto topUp = [&] {
            while (sent < total && sent - answered - 1 < kAhead) {
                const int turn = (sent - 1) % commandCycle().size();
                expected.command(commandCycle().at(turn).payload);
                buttons.at(turn)->click();
                ++sent;
            }
        };

        // Runs after the link has parsed a batch (connected after it): the
        // answers delivered show up as new lines of ReceivedMessages.txt.
        QFile log(QStringLiteral("ReceivedMessages.txt"));
        QByteArray partial;
        QObject::connect(&port, &QSerialPort::readyRead, [&] {
            if (!log.isOpen() && !log.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                return;
            QList<QByteArray> lines = (partial + log.readAll()).split('\n');
            partial = lines.takeLast();
            for (const QByteArray &line : lines) {
                const QByteArray payload = loggedPayload(line);
                if (mismatch.isEmpty() && (received >= expected.answers.size() ||
                                           expected.answers.at(received).payload != payload))
                    mismatch = QStringLiteral("answer %1: got %2, expected %3")
                                   .arg(received)
                                   .arg(QString::fromLatin1(payload.toHex(' ')))
                                   .arg(QString::fromLatin1(
                                       expected.answers.value(received).payload.toHex(' ')));
                if (received < expected.answers.size())
                    answered = expected.answers.at(received).command;
                ++received;
                if (received % kMessagesKept == 0)
                    saveMessages->click();
                if (received == expected.answers.size() / 10)
                    residentAtTenth = residentKiB();
            }
            sinceAnswer.restart();
            topUp();
        });
        topUp();

        QTimer tick; // looks at the stall clock when nothing else happens
        tick.start(100);
        auto finished = [&] { return sent == total && received >= expected.answers.size(); };
        while (!finished() && mismatch.isEmpty() && sinceAnswer.elapsed() < kStallMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QVERIFY2(finished(), qPrintable(QStringLiteral("stalled: %1 of %2 commands sent, %3 of %4 "
                                                       "answers received")
                                            .arg(sent)
                                            .arg(total)
                                            .arg(received)
                                            .arg(expected.answers.size())));
        // Nothing after the last answer either.
        QTest::qWait(50);
        QCOMPARE(received, expected.answers.size());
        QCOMPARE(partial + log.readAll(), QByteArray());

        const int lost = sent - expected.answers.size(); // each command has one answer
        qInfo("%d exchanges, %d answers dropped by the unit", total, lost);
        QVERIFY(lost > 0);
        QCOMPARE(noiseDiagnostics.load(), kNoiseBytes * received);
        QCOMPARE(otherDiagnostics.load(), 0);
#ifndef ZQ_SANITIZED
        const long growth = residentKiB() - residentAtTenth;
        QVERIFY2(growth < kMaxGrowthKiB, qPrintable(QStringLiteral("%1 KiB").arg(growth)));
#endif

        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(sim.stop(), 0);
    }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
