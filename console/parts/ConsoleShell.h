#pragma once
// What every console edition shares around its control column: the top-level
// widget with the "ZQ" menu, the message column, the information column, the
// session with the unit (link, information poll, first command), the saving of
// the message area and the way an answer is shown.

#include <QAction>
#include <QDateTime>
#include <QObject>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QTimer>

#include <optional>

#include "AnswerDecoder.h"
#include "AnswerWatch.h"
#include "Payloads.h"
#include "TimeUnits.h"
#include "uart.h"

class QCheckBox;
class QFrame;
class QHBoxLayout;
class QLabel;
class QMenu;
class QMenuBar;
class QScrollArea;
class QSerialPort;
class QTextEdit;
class QVBoxLayout;
class QWidget;

namespace zq::console {

constexpr int kFirstPollPeriodMs = 1000;

struct ConsoleMenu {
    QMenuBar *menuBar = nullptr;
    QMenu *menuZQ = nullptr;
    QAction *actionSuperUser = nullptr;
    QAction *actionResetUartQueue = nullptr;
    QAction *actionDisconnect = nullptr;
};

struct MessageColumn {
    QVBoxLayout *verticalLayout_1 = nullptr;
    QLabel *messages_label = nullptr;
    QTextEdit *messages_textEdit = nullptr;
    QPushButton *saveMessages_button = nullptr;
};

struct InformationColumn {
    QVBoxLayout *verticalLayout_3 = nullptr;
    QFrame *hLine1 = nullptr, *hLine2 = nullptr, *hLine3 = nullptr, *hLine4 = nullptr,
           *hLine5 = nullptr, *hLine6 = nullptr, *hLine7 = nullptr;
    QLabel *information_label = nullptr;
    QLabel *i_chgVoltage_label = nullptr;
    QLabel *i_temperature_label = nullptr;
    QLabel *i_flashCounter_label = nullptr;
    QLabel *i_rFlashCounter_label = nullptr;
    QLabel *i_softwareVersion_label = nullptr;
    QHBoxLayout *horizontalLayout_31 = nullptr;
    QLabel *updateI_label = nullptr;
    QCheckBox *updateI_checkBox = nullptr;
    QSpinBox *updateI_spinBox = nullptr;
    QLabel *logo_label = nullptr;

    QLabel *label(InfoLabel which) const;
};

// Editions 4 and 5: the control column scrolls.
struct ScrolledControlColumn {
    QScrollArea *scrollArea = nullptr;
    QWidget *scrollAreaWidgetContents = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
};

// Editions 1 to 3: the control column stands between two vertical lines.
struct FramedControlColumn {
    QFrame *vLine1 = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QFrame *vLine2 = nullptr;
};

// The frame of a console window and its session with the unit: the hidden
// console object owns one. Built first, it holds the parentless main_window
// with the menu and the two outer columns; open() puts the control column
// between them, shows the window and starts the session. Its destruction
// ends the session and releases what the console created without a parent:
// the link (deferred: its thread ends with it), the timer and main_window.
class ConsoleShell {
public:
    // `owner` is the hidden console object, which owns the menu's actions.
    ConsoleShell(QObject *owner, int edition);
    ~ConsoleShell();
    ConsoleShell(const ConsoleShell &) = delete;
    ConsoleShell &operator=(const ConsoleShell &) = delete;

    // The end of construction: the columns in place, the window shown, the
    // link on the borrowed port, the information timer, then the one command
    // sent at start.
    template <class Window, class ControlColumn>
    void open(Window *window, QSerialPort *port, const ControlColumn &controls) {
        placeColumns(controls);
        show();
        portName = port->portName();
        link = new uart(port, Window::kEdition);
        QObject::connect(link, &uart::receivedData, window, &Window::manageReceivedData);
        QObject::connect(menu.actionResetUartQueue, &QAction::triggered, link,
                         &uart::resetUartQueue);
        QObject::connect(link, &uart::portLost, window,
                         [this](const QString &reason) { tellPortLost(reason); });
        answers = AnswerWatch(link->receiver().policy() ==
                              zq::FrameReceiver::ErrorPolicy::DropBatchAndReset);
        QObject::connect(
            link, &uart::answerLost, window,
            [this](uart::ReadFault fault, qint64 sentMsAgo) { noteLostAnswer(fault, sentMsAgo); });
        informationTimer = new QTimer;
        QObject::connect(informationTimer, &QTimer::timeout, window, &Window::updateI);
        informationTimer->start(kFirstPollPeriodMs);
        send(readSoftwareVersion());
    }

    // Hands one command to the link, which owns its copy from then on; a
    // command the link cannot take is said.
    void send(const QByteArray &payload) const;
    // The information poll, unless "Never" is ticked or the link is still
    // busy with the last round (or a command): rounds never pile up.
    void pollInformation() const;
    void setPollPeriod(int seconds) const;
    // Appends the message area to Messages.txt, then clears it; when the
    // whole block did not reach the file the messages stay and a line says why.
    void saveMessages() const;
    void closeWindow() const;
    // One received payload: logged, decoded, shown as messages or label text.
    // A log that cannot be written is said once per gap in the log, and the
    // gap is marked in the log when writing works again.
    void showAnswer(const quint8 *data, int length);

    const int edition;
    uart *link = nullptr;
    QTimer *informationTimer = nullptr;
    const QString title = QStringLiteral("ZQ-Interface");
    QWidget *main_window = nullptr;
    QHBoxLayout *main_horizontalLayout = nullptr;
    MessageColumn messages;
    InformationColumn information;
    ConsoleMenu menu;

private:
    // A time-stamped line of the console's own at the end of the message
    // area, wherever the user's cursor is; the view follows unless told not to.
    void tell(const QString &text, bool scrollToBottom = true) const;
    void tellPortLost(const QString &reason) const;
    void noteLostAnswer(uart::ReadFault fault, qint64 sentMsAgo);
    // Returns the line to tell when the log stops taking payloads.
    std::optional<QString> logReceived(const QDateTime &now, const quint8 *data, int length);
    void placeColumns(const ScrolledControlColumn &controls) const;
    void placeColumns(const FramedControlColumn &controls) const;
    void show() const;

    QString portName;
    AnswerWatch answers{false}; // set up with the link
    // Payloads that did not reach ReceivedMessages.txt since the last one that did.
    struct LogGap {
        QDateTime since;
        int payloads = 0;
        QString reason;
    };
    std::optional<LogGap> logGap;
};

ScrolledControlColumn buildScrolledControlColumn();
FramedControlColumn buildFramedControlColumn();

// The connections that every edition makes to the same slots.
template <class Window> void connectSharedControls(Window *window, const ConsoleShell &shell) {
    QObject::connect(shell.menu.actionSuperUser, &QAction::triggered, window, &Window::superUser);
    // The start window must be back before this one goes away.
    QObject::connect(shell.menu.actionDisconnect, &QAction::triggered, window, &Window::mwClosed);
    QObject::connect(shell.menu.actionDisconnect, &QAction::triggered, window,
                     &Window::closeWindow);
    QObject::connect(shell.messages.saveMessages_button, &QPushButton::clicked, window,
                     &Window::saveMessages);
    QObject::connect(shell.information.updateI_spinBox, qOverload<int>(&QSpinBox::valueChanged),
                     window, &Window::updateI_Timer);
}

} // namespace zq::console
