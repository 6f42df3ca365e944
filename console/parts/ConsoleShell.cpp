#include "ConsoleShell.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>

#include <optional>

#include "Edition.h"
#include "ScreenFit.h"
#include "WidgetFactory.h"
#include "WindowChrome.h"
#include "ZqResources.h"

namespace zq::console {

using namespace zq::ui;

namespace {

constexpr int kWindowX = 100;
constexpr int kWindowY = 100;
constexpr int kMessagesMinWidthPx = 700;
constexpr int kMessagesMaxWidthPx = 750;
constexpr int kScrollAreaMinWidthPx = 500;
constexpr int kScrollAreaMinHeightPx = 700;
constexpr int kControlSpacingPx = 5;
constexpr int kInformationTitlePointSize = 9;
constexpr QFont::Weight kInformationTitleWeight = QFont::Bold;
constexpr int kPollPeriodMinS = 1;
constexpr int kPollPeriodMaxS = 10;

const char kMessagesFile[] = "Messages.txt";
const char kReceivedLogFile[] = "ReceivedMessages.txt";
const char kLogoPath[] = ":/new/prefix1/zq_logo_w300.png";

QLabel *addInformationLabel(QVBoxLayout *column, const char *objectName, const char *text,
                            QFrame *&lineBelow, const char *lineName) {
    QLabel *label = makeLabel(objectName, QString::fromUtf8(text));
    column->addWidget(label);
    lineBelow = addLine(column, lineName);
    return label;
}

void addUpdateRow(InformationColumn &c, const EditionTraits &traits) {
    c.updateI_label = makeLabel("updateI_label", QString::fromLatin1(traits.updateIntervalLabel));
    c.updateI_checkBox = makeCheckBox("updateI_checkBox", QStringLiteral("Never"), true);
    c.updateI_spinBox =
        makeSpinBox("updateI_spinBox", kPollPeriodMinS, kPollPeriodMaxS, kPollPeriodMinS, false);
    // The period can be edited only while polling is on.
    QObject::connect(c.updateI_checkBox, &QCheckBox::toggled, c.updateI_spinBox,
                     &QWidget::setDisabled);
    c.horizontalLayout_31 =
        makeRow("horizontalLayout_31", {c.updateI_label, c.updateI_checkBox, c.updateI_spinBox});
    c.verticalLayout_3->addLayout(c.horizontalLayout_31);
}

void addLogo(InformationColumn &c) {
    initZqResources();
    c.logo_label = makeLabel("logo_label", QString());
    c.logo_label->setPixmap(QPixmap(QString::fromLatin1(kLogoPath)));
    c.logo_label->setAlignment(Qt::AlignCenter);
    c.verticalLayout_3->addWidget(c.logo_label);
}

// Appends `text` to the file `name` and returns what went wrong, or nothing
// when all of it reached the file. Written unbuffered in a loop, so that a
// disk that fills in the middle gives the system's own reason; the part that
// did arrive is cut off again, so that the file stays as it was and a later
// attempt does not glue a cut line to a whole one.
std::optional<QString> appendToFile(const char *name, const QString &text) {
    QFile file(QString::fromLatin1(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text |
                   QIODevice::Unbuffered))
        return file.errorString();
    const qint64 sizeBefore = file.size();
    // The bytes a text stream would write: the locale's encoding.
    const QByteArray bytes = text.toLocal8Bit();
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    if (written == bytes.size())
        return std::nullopt;
    const QString reason = file.errorString();
    file.resize(sizeBefore);
    return reason;
}

QString absolutePath(const char *name) {
    return QFileInfo(QString::fromLatin1(name)).absoluteFilePath();
}

QWidget *createConsoleTopLevel(const QString &title, QHBoxLayout *&main_horizontalLayout) {
    QWidget *main_window = zq::ui::createTopLevel(title);
    // A 0 x 0 request: the layout's minimum size decides.
    main_window->setGeometry(kWindowX, kWindowY, 0, 0);
    main_horizontalLayout = named(new QHBoxLayout(main_window), "main_horizontalLayout");
    setWindowSpacing(main_horizontalLayout);
    return main_window;
}

ConsoleMenu buildConsoleMenu(QObject *owner, QHBoxLayout *main_horizontalLayout) {
    ConsoleMenu m;
    m.menuBar = zq::ui::createMenuBar(&m.menuZQ);
    main_horizontalLayout->setMenuBar(m.menuBar);
    m.actionSuperUser =
        zq::ui::addMenuAction(m.menuZQ, owner, "actionSuperUser", QStringLiteral("Super User"));
    m.actionResetUartQueue = zq::ui::addMenuAction(m.menuZQ, owner, "actionResetUartQueue",
                                                   QStringLiteral("Reset Uart Queue"));
    m.actionDisconnect =
        zq::ui::addMenuAction(m.menuZQ, owner, "actionDisconnect", QStringLiteral("Disconnect"));
    return m;
}

MessageColumn buildMessageColumn() {
    MessageColumn c;
    c.messages_label = makeLabel("messages_label", QStringLiteral("Messages :"));
    c.messages_textEdit = new QTextEdit;
    c.messages_textEdit->setObjectName(QStringLiteral("messages_textEdit"));
    c.messages_textEdit->setReadOnly(true);
    c.messages_textEdit->setMinimumWidth(kMessagesMinWidthPx);
    c.messages_textEdit->setMaximumWidth(kMessagesMaxWidthPx);
    c.saveMessages_button =
        makeButton("saveMessages_button", QStringLiteral("Save/Clear Messages"));
    c.verticalLayout_1 = makeStack("verticalLayout_1",
                                   {c.messages_label, c.messages_textEdit, c.saveMessages_button});
    return c;
}

InformationColumn buildInformationColumn(const EditionTraits &traits) {
    InformationColumn c;
    c.verticalLayout_3 = makeStack("verticalLayout_3", {});
    c.verticalLayout_3->setAlignment(Qt::AlignVCenter);
    c.information_label = addInformationLabel(c.verticalLayout_3, "information_label",
                                              traits.informationTitle, c.hLine1, "hLine1");
    c.information_label->setAlignment(Qt::AlignHCenter);
    QFont titleFont(QStringLiteral("Arial"), kInformationTitlePointSize, kInformationTitleWeight);
    c.information_label->setFont(titleFont);
    c.i_softwareVersion_label = addInformationLabel(c.verticalLayout_3, "i_softwareVersion_label",
                                                    "Software Version :", c.hLine7, "hLine7");
    c.i_chgVoltage_label = addInformationLabel(c.verticalLayout_3, "i_chgVoltage_label",
                                               "Charge Voltage :", c.hLine2, "hLine2");
    c.i_temperature_label = addInformationLabel(c.verticalLayout_3, "i_temperature_label",
                                                "Temperature :", c.hLine3, "hLine3");
    c.i_flashCounter_label = addInformationLabel(c.verticalLayout_3, "i_flashCounter_label",
                                                 "Flash Counter :", c.hLine4, "hLine4");
    c.i_rFlashCounter_label = addInformationLabel(c.verticalLayout_3, "i_rFlashCounter_label",
                                                  "Flash Request :", c.hLine5, "hLine5");
    addUpdateRow(c, traits);
    c.hLine6 = addLine(c.verticalLayout_3, "hLine6");
    addLogo(c);
    return c;
}

} // namespace

QLabel *InformationColumn::label(InfoLabel which) const {
    switch (which) {
    case InfoLabel::FlashCounter:
        return i_flashCounter_label;
    case InfoLabel::FlashRequest:
        return i_rFlashCounter_label;
    case InfoLabel::ChargeVoltage:
        return i_chgVoltage_label;
    case InfoLabel::Temperature:
        return i_temperature_label;
    case InfoLabel::SoftwareVersion:
        return i_softwareVersion_label;
    case InfoLabel::None:
        break;
    }
    return nullptr;
}

ConsoleShell::ConsoleShell(QObject *owner, int edition) : edition(edition) {
    main_window = createConsoleTopLevel(title, main_horizontalLayout);
    menu = buildConsoleMenu(owner, main_horizontalLayout);
    messages = buildMessageColumn();
    information = buildInformationColumn(editionTraits(edition));
}

ConsoleShell::~ConsoleShell() {
    if (informationTimer && informationTimer->isActive())
        informationTimer->stop();
    delete informationTimer;
    if (link)
        link->deleteLater();
    delete main_window;
    qDebug("Destroy MW");
}

void ConsoleShell::placeColumns(const ScrolledControlColumn &controls) const {
    // With large text the column is wider than its usual minimum: the
    // scroll area widens with it, so that it only ever scrolls up and down.
    QWidget *contents = controls.scrollAreaWidgetContents;
    contents->ensurePolished();
    const int bar = controls.scrollArea->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                              controls.scrollArea);
    controls.scrollArea->setMinimumWidth(
        qMax(kScrollAreaMinWidthPx, contents->minimumSizeHint().width() + bar));
    main_horizontalLayout->addLayout(messages.verticalLayout_1);
    main_horizontalLayout->addWidget(controls.scrollArea);
    main_horizontalLayout->addLayout(information.verticalLayout_3);
}

void ConsoleShell::placeColumns(const FramedControlColumn &controls) const {
    main_horizontalLayout->addLayout(messages.verticalLayout_1);
    main_horizontalLayout->addWidget(controls.vLine1);
    main_horizontalLayout->addLayout(controls.verticalLayout_2);
    main_horizontalLayout->addWidget(controls.vLine2);
    main_horizontalLayout->addLayout(information.verticalLayout_3);
}

void ConsoleShell::show() const {
    main_window->show();
    // Fixed at the preferred size rather than the minimum one: at the
    // minimum, labels with a set minimum width lose the end of their text.
    if (!editionTraits(edition).hasScrollArea)
        main_window->setFixedSize(main_window->size().expandedTo(main_window->sizeHint()));
    zq::ui::fitToScreen(main_window);
}

void ConsoleShell::send(const QByteArray &payload) const {
    if (link->enqueuePayload(makeUartPayload(payload)))
        return;
    if (link->isPortLost())
        tell(QStringLiteral("Command not sent: serial port %1 is lost; choose Disconnect in the ZQ "
                            "menu to go back to the start window")
                 .arg(portName));
    else
        tell(QStringLiteral("Command not sent: %1 commands already wait for the unit; wait for "
                            "their answers, or choose Reset Uart Queue in the ZQ menu to drop them")
                 .arg(uart::kQueueLimit));
}

// A slow or silent unit answers a round more slowly than the timer asks for
// one: queued regardless, rounds would fill the link's queue and hold up, or
// crowd out, what the technician presses.
void ConsoleShell::pollInformation() const {
    if (information.updateI_checkBox->isChecked() || !link->isIdle())
        return;
    for (const QByteArray &payload : informationPoll())
        link->enqueuePayload(makeUartPayload(payload));
}

void ConsoleShell::setPollPeriod(int seconds) const {
    informationTimer->setInterval(seconds * kMsPerSecond);
}

void ConsoleShell::saveMessages() const {
    const std::optional<QString> failure =
        appendToFile(kMessagesFile, messages.messages_textEdit->toPlainText() + QLatin1Char('\n'));
    if (!failure) {
        messages.messages_textEdit->clear();
        return;
    }
    tell(QStringLiteral("Messages not saved to %1 (%2); nothing was cleared")
             .arg(absolutePath(kMessagesFile), *failure));
}

void ConsoleShell::tell(const QString &text, bool scrollToBottom) const {
    QTextCursor end(messages.messages_textEdit->document());
    end.movePosition(QTextCursor::End);
    const bool onALineOfItsOwn = end.atBlockStart();
    end.insertText((onALineOfItsOwn ? QString() : QStringLiteral("\n")) +
                   timeStampPrefix(QDateTime::currentDateTime()) + QStringLiteral(" : ") + text +
                   QLatin1Char('\n'));
    if (!scrollToBottom)
        return;
    QScrollBar *bar = messages.messages_textEdit->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void ConsoleShell::tellPortLost(const QString &reason) const {
    tell(QStringLiteral("Serial port %1 lost (%2); choose Disconnect in the ZQ menu to go back to "
                        "the start window")
             .arg(portName, reason));
}

void ConsoleShell::closeWindow() const {
    main_window->close();
}

void ConsoleShell::noteLostAnswer(uart::ReadFault fault, qint64 sentMsAgo) {
    const QDateTime sentAt = QDateTime::currentDateTime().addMSecs(-sentMsAgo);
    if (const std::optional<QString> line = answers.lost(fault, sentAt))
        tell(*line);
}

void ConsoleShell::showAnswer(const quint8 *data, int length) {
    const EditionTraits &traits = editionTraits(edition);
    QTextEdit *area = messages.messages_textEdit;
    const QDateTime now = QDateTime::currentDateTime();
    const QString prefix = timeStampPrefix(now);
    const DecodedAnswer answer = decodeAnswer(edition, data, length);
    if (const std::optional<QString> back = answers.answered(now))
        tell(*back, answer.scrollToBottom);
    std::optional<QString> logProblem;
    if (length > 0 && traits.logsReceivedPayloads)
        logProblem = logReceived(now, data, length);
    // Older editions write at the user's cursor, replacing any selection there.
    if (length > 0 && traits.movesCursorToEnd)
        area->moveCursor(QTextCursor::End);
    for (const QString &message : answer.messages)
        area->insertPlainText(prefix + message);
    if (QLabel *label = information.label(answer.label))
        label->setText(answer.labelText);
    if (answer.scrollToBottom) {
        QScrollBar *bar = area->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
    if (logProblem)
        tell(*logProblem, answer.scrollToBottom);
}

// A log that cannot be written must not keep the answer from being shown.
std::optional<QString> ConsoleShell::logReceived(const QDateTime &now, const quint8 *data,
                                                 int length) {
    const QString prefix = timeStampPrefix(now);
    QString lines = receivedLogLine(prefix, data, length) + QLatin1Char('\n');
    if (logGap)
        lines.prepend(receivedLogGapLine(prefix, logGap->payloads, logGap->since, logGap->reason) +
                      QLatin1Char('\n'));
    const std::optional<QString> failure = appendToFile(kReceivedLogFile, lines);
    if (!failure) {
        logGap.reset();
        return std::nullopt;
    }
    const bool gapStarts = !logGap;
    if (gapStarts)
        logGap = LogGap{now, 0, *failure};
    ++logGap->payloads;
    logGap->reason = *failure;
    if (!gapStarts)
        return std::nullopt;
    return QStringLiteral("Received payloads are not logged: %1 cannot be written (%2)")
        .arg(absolutePath(kReceivedLogFile), *failure);
}

ScrolledControlColumn buildScrolledControlColumn() {
    ScrolledControlColumn c;
    c.scrollArea = new QScrollArea;
    c.scrollArea->setObjectName(QStringLiteral("scrollArea"));
    c.scrollArea->setWidgetResizable(true);
    c.scrollArea->setStyleSheet(QStringLiteral("QScrollArea {border: 0px;}"));
    c.scrollArea->setMinimumSize(kScrollAreaMinWidthPx, kScrollAreaMinHeightPx);
    c.scrollAreaWidgetContents = new QWidget;
    c.scrollAreaWidgetContents->setObjectName(QStringLiteral("scrollAreaWidgetContents"));
    c.verticalLayout_2 = new QVBoxLayout(c.scrollAreaWidgetContents);
    c.verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    c.verticalLayout_2->setSpacing(kControlSpacingPx);
    c.verticalLayout_2->setAlignment(Qt::AlignVCenter);
    c.scrollArea->setWidget(c.scrollAreaWidgetContents);
    return c;
}

FramedControlColumn buildFramedControlColumn() {
    FramedControlColumn c;
    c.vLine1 = zq::ui::line(QFrame::VLine, QStringLiteral("vLine1"));
    c.verticalLayout_2 = makeStack("verticalLayout_2", {});
    c.verticalLayout_2->setAlignment(Qt::AlignVCenter);
    c.vLine2 = zq::ui::line(QFrame::VLine, QStringLiteral("vLine2"));
    return c;
}

} // namespace zq::console
