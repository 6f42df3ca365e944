// Keeps the simulated unit honest: every normal answer it gives, decoded by
// the console's and the firmware window's own answer handling for the same
// edition, is a regular message or label, never an error text.
#include <QtTest>

#include "AnswerDecoder.h"
#include "BootloaderProtocol.h"
#include "Unit.h"

namespace {
bool looksLikeAnError(const QString &text) {
    return text.contains(QLatin1String("Error")) || text.contains(QLatin1String("ERROR")) ||
           text.contains(QLatin1String("don't match")) || text.contains(QLatin1String("unknown")) ||
           text.contains(QLatin1String("Unknown"));
}
QString spaced(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex(' '));
}
} // namespace

class TestSimCrossCheck : public QObject {
    Q_OBJECT
private slots:
    void consoleAnswers_data() {
        QTest::addColumn<int>("edition");
        for (int edition = 1; edition <= 5; ++edition)
            QTest::newRow(qPrintable(QStringLiteral("edition %1").arg(edition))) << edition;
    }
    void consoleAnswers() {
        QFETCH(int, edition);
        zq::sim::Unit unit(edition);
        const QList<QByteArray> commands = zq::sim::Unit::consoleCommands(edition);
        QVERIFY(commands.size() > 10);
        int answered = 0;
        for (const QByteArray &command : commands) {
            for (const QByteArray &answer : unit.handle(command)) {
                ++answered;
                const auto decoded = zq::console::decodeAnswer(
                    edition, reinterpret_cast<const quint8 *>(answer.constData()), answer.size());
                const QString texts = decoded.messages.join(QString()) + decoded.labelText;
                QVERIFY2(!texts.isEmpty(), qPrintable(spaced(command)));
                QVERIFY2(!looksLikeAnError(texts),
                         qPrintable(spaced(command) + " -> " + spaced(answer) + ": " + texts));
            }
        }
        QVERIFY(answered >= commands.size() - 3); // the three controller resets go unanswered
    }

    void bootloaderAnswers() {
        zq::sim::Unit unit(5);
        int answered = 0;
        for (const QByteArray &command : zq::sim::Unit::bootloaderCommands()) {
            for (const QByteArray &answer : unit.handle(command)) {
                ++answered;
                // The unit acknowledges entering its bootloader so that the version
                // request behind it is not held up; the window has no text for that
                // acknowledgement, and the version answer replaces its status at once.
                if (quint8(answer.at(0)) == zq::boot::StartBootloader)
                    continue;
                const auto handled = zq::boot::handleAnswer(
                    reinterpret_cast<const quint8 *>(answer.constData()), answer.size());
                QVERIFY2(
                    !looksLikeAnError(handled.status) && !handled.status.contains("Frame error"),
                    qPrintable(spaced(command) + " -> " + spaced(answer) + ": " + handled.status));
            }
        }
        QVERIFY(answered > 0);
    }
};

QTEST_APPLESS_MAIN(TestSimCrossCheck)
#include "tst_sim_crosscheck.moc"
