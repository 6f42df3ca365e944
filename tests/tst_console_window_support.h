#pragma once
// Drives one console window through its widgets against a real peer: a
// scripted unit on a pseudo-terminal, or the simulated unit program.

#include <QtTest>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSerialPort>
#include <QSpinBox>
#include <QTextEdit>

#include <memory>

#include "Bytes.h"
#include "DebugCapture.h"
#include "MainWindow.h"
#include "Pty.h"
#include "SuperUserGate.h"

namespace console_test {

constexpr int kSentWaitMs = 3000;
constexpr int kQuietMs = 300;

inline void answerPasswordWith(const QString &text, bool confirmed = true) {
    zq::console::passwordPrompt() = [=](QWidget *, const QString &) {
        return zq::console::PasswordAnswer{confirmed, text};
    };
}

inline void processDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

inline QWidget *visibleConsoleTopLevel() {
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("main_window") && top->isVisible())
            return top;
    return nullptr;
}

// A console window on an open port; the window goes before the port.
class Console {
public:
    explicit Console(const QString &portPath) {
        port.setPortName(portPath);
        port.open(QIODevice::ReadWrite);
        window = std::make_unique<MainWindow>(nullptr, &port);
        top = visibleConsoleTopLevel();
    }
    ~Console() {
        window.reset();
        processDeferredDeletes();
    }

    template <class T = QWidget> T *child(const QString &objectName) const {
        return top->findChild<T *>(objectName);
    }
    QAbstractButton *button(const QString &text) const {
        for (QAbstractButton *b : top->findChildren<QAbstractButton *>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    QTextEdit *messages() const { return child<QTextEdit>("messages_textEdit"); }
    QString messageText() const { return messages()->toPlainText(); }
    QString label(const char *objectName) const {
        return child<QLabel>(QString::fromLatin1(objectName))->text();
    }
    void click(const QString &text) const {
        QAbstractButton *b = button(text);
        QVERIFY2(b, qPrintable(text));
        b->click();
    }
    void trigger(const char *actionName) const {
        window->findChild<QAction *>(QString::fromLatin1(actionName))->trigger();
    }

    // Steps separated by '|': a button's text clicks it; "name=value" sets a
    // spin box's value or a combo box's index; "super" enters the access code.
    void run(const QString &script) const {
        for (const QString &step : script.split('|', Qt::SkipEmptyParts)) {
            if (step == QLatin1String("super")) {
                answerPasswordWith(QStringLiteral("qebor2751"));
                trigger("actionSuperUser");
            } else if (step.contains('=')) {
                const QString name = step.section('=', 0, 0);
                const int value = step.section('=', 1).toInt();
                auto *spin = child<QSpinBox>(name);
                auto *combo = child<QComboBox>(name);
                QVERIFY2(spin || combo, qPrintable(name));
                if (spin)
                    spin->setValue(value);
                else
                    combo->setCurrentIndex(value);
            } else {
                QAbstractButton *b = button(step);
                QVERIFY2(b, qPrintable(step));
                b->click();
            }
        }
    }

    QSerialPort port;
    std::unique_ptr<MainWindow> window;
    QWidget *top = nullptr;
};

struct ScriptedUnit {
    Pty unit; // constructed before the console and closed after it
};

// The unit played by the test: every command gets the status answer
// [code, 0] at once, so the link never waits out its answer time.
class ScriptedConsole : private ScriptedUnit, public Console {
public:
    ScriptedConsole() : Console(unit.slavePath()) {
        versionRequest = sent(1);
        // Settled: the answer to the version request has been shown.
        auto *version = child<QLabel>("i_softwareVersion_label");
        settled =
            QTest::qWaitFor([&] { return version->text() != "Software Version :"; }, kSentWaitMs);
    }

    QList<QByteArray> sent(int count) {
        QList<QByteArray> out;
        while (out.size() < count) {
            const QList<QByteArray> got = unit.readPayloads(1, kSentWaitMs);
            if (got.isEmpty())
                break;
            for (const QByteArray &payload : got)
                unit.sendPayload(bytes({quint8(payload.at(0)), 0}));
            out += got;
        }
        return out;
    }
    bool quiet() { return unit.readPayloads(1, kQuietMs).isEmpty(); }

    using ScriptedUnit::unit;
    QList<QByteArray> versionRequest;
    bool settled = false;
};

} // namespace console_test
