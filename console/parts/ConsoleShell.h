#pragma once
// What every console edition shares around its control column: the top-level
// widget with the "ZQ" menu, the message column, the information column, the
// session with the unit (link, information poll, first command), the saving of
// the message area and the way an answer is shown.

#include <QAction>
#include <QObject>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QTimer>

#include "AnswerDecoder.h"
#include "Payloads.h"
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
constexpr int kMsPerSecond = 1000;

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

// The parentless, still hidden main_window with its empty main_horizontalLayout.
QWidget *createConsoleTopLevel(const QString &title, QHBoxLayout *&main_horizontalLayout);
// menuBar above the columns; the actions belong to `owner`, the hidden console object.
ConsoleMenu buildConsoleMenu(QObject *owner, QHBoxLayout *main_horizontalLayout);
MessageColumn buildMessageColumn();
InformationColumn buildInformationColumn(int edition);
ScrolledControlColumn buildScrolledControlColumn();
FramedControlColumn buildFramedControlColumn();

void placeColumns(QHBoxLayout *main_horizontalLayout, const MessageColumn &messages,
                  const ScrolledControlColumn &controls, const InformationColumn &information);
void placeColumns(QHBoxLayout *main_horizontalLayout, const MessageColumn &messages,
                  const FramedControlColumn &controls, const InformationColumn &information);

// Shows main_window; the editions without a scroll area then keep it at that size.
void showConsoleWindow(QWidget *main_window, int edition);

// Hands one command to the link, which owns the copy from then on.
void enqueue(uart *link, const QByteArray &payload);

// The connections that every edition makes to the same slots.
template <class Window>
void connectSharedControls(Window *window, const ConsoleMenu &menu, const MessageColumn &messages,
                           const InformationColumn &information) {
    QObject::connect(menu.actionSuperUser, &QAction::triggered, window, &Window::superUser);
    // The start window must be back before this one goes away.
    QObject::connect(menu.actionDisconnect, &QAction::triggered, window, &Window::mwClosed);
    QObject::connect(menu.actionDisconnect, &QAction::triggered, window, &Window::closeWindow);
    QObject::connect(messages.saveMessages_button, &QPushButton::clicked, window,
                     &Window::saveMessages);
    QObject::connect(information.updateI_spinBox, qOverload<int>(&QSpinBox::valueChanged), window,
                     &Window::updateI_Timer);
}

// The end of construction: the link on the borrowed port, the information
// timer, then the one command sent at start.
template <class Window>
void startSession(Window *window, QSerialPort *port, const ConsoleMenu &menu, uart *&link,
                  QTimer *&informationTimer) {
    link = new uart(port, Window::kEdition);
    QObject::connect(link, &uart::receivedData, window, &Window::manageReceivedData);
    QObject::connect(menu.actionResetUartQueue, &QAction::triggered, link, &uart::resetUartQueue);
    informationTimer = new QTimer;
    QObject::connect(informationTimer, &QTimer::timeout, window, &Window::updateI);
    informationTimer->start(kFirstPollPeriodMs);
    enqueue(link, readSoftwareVersion());
}

// Releases what the console created without a parent: the link (deferred, its
// thread ends with it), the timer and the visible window.
void endSession(uart *link, QTimer *informationTimer, QWidget *main_window);

// The information poll, unless "Never" is ticked.
void pollInformation(uart *link, const InformationColumn &information);
void setPollPeriod(QTimer *informationTimer, int seconds);

// Appends the message area to Messages.txt, then clears it (even if the file
// cannot be written: the user asked for a clean area).
void saveMessages(QTextEdit *messages_textEdit);

// One received payload: logged, decoded, shown as messages or label text.
void showAnswer(int edition, QTextEdit *messages_textEdit, const InformationColumn &information,
                const quint8 *data, int length);

} // namespace zq::console
