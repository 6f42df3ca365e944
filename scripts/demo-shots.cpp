// The demonstration where there is no display: the start window and the
// console of the same code as the console programs, drawn offscreen and saved
// as pictures. scripts/demo.sh runs it where the simulated unit's terminal is
// listed as a serial port, exactly as the console would see it.
//
// Usage: demo-shotsN PORT DIR   PORT as "Scan Port" lists it (ttyS0)
// Writes DIR/start-window.png (after "Scan Port", the port chosen) and
// DIR/console.png (after "Default Connection", once the unit has answered).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

#include <cstdio>
#include <functional>

#include "ConnectionWindow.h"
#include "QtCompat.h"

namespace {

constexpr int kAnswerWaitMs = 10000;
// After the first answer, a moment for the window to settle.
constexpr int kSettleMs = 500;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

QWidget *consoleTopLevel(const ConnectionWindow &start) {
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top != start.topLevel() && top->objectName() == QLatin1String("main_window") &&
            top->isVisible())
            return top;
    return nullptr;
}

bool showsSoftwareVersion(const QWidget *console) {
    static const QRegularExpression answered(QStringLiteral("Software Version.*:\\s*\\S"));
    for (const QLabel *label : console->findChildren<QLabel *>())
        if (answered.match(label->text()).hasMatch())
            return true;
    return false;
}

void wait(int ms, const std::function<bool()> &done = {}) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !(done && done()))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool save(QWidget *window, const QString &path) {
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(QDir(path).absolutePath()));
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    // The windows' debug lines and the offscreen platform's remarks are not
    // for the person who asked for pictures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QApplication app = zq::compat::makeApplication<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral(ZQ_PROGRAM));
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s PORT DIR\n", qPrintable(args.value(0)));
        return kExitUsage;
    }
    const QString portName = args.at(1);
    const QDir dir(args.at(2));

    ConnectionWindow start;
    start.connectionFailedNotice = [](const QString &reason) {
        std::fprintf(stderr, "Connection failed: %s\n", qPrintable(reason));
    };
    start.topLevel()->findChild<QPushButton *>(QStringLiteral("scanPort_button"))->click();
    auto *ports = start.topLevel()->findChild<QComboBox *>(QStringLiteral("portCom_comboBox"));
    int index = ports->count() - 1;
    while (index >= 0 && ports->itemText(index).section(QLatin1Char(' '), 0, 0) != portName)
        --index;
    if (index < 0) {
        std::fprintf(stderr, "\"Scan Port\" does not list %s\n", qPrintable(portName));
        return kExitFailed;
    }
    ports->setCurrentIndex(index);
    wait(200);
    if (!save(start.topLevel(), dir.filePath(QStringLiteral("start-window.png"))))
        return kExitFailed;

    start.topLevel()->findChild<QPushButton *>(QStringLiteral("defaultConnection_button"))->click();
    QWidget *console = nullptr;
    wait(kAnswerWaitMs, [&] {
        console = consoleTopLevel(start);
        return console && showsSoftwareVersion(console);
    });
    if (!console) {
        std::fprintf(stderr, "the console did not open on %s\n", qPrintable(portName));
        return kExitFailed;
    }
    wait(kSettleMs);
    return save(console, dir.filePath(QStringLiteral("console.png"))) ? 0 : kExitFailed;
}
