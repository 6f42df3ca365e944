#include "BootloaderWindow.h"

#include <QAction>
#include <QDebug>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

#include "BootloaderProtocol.h"
#include "PICProgram.h"
#include "PayloadFeeder.h"
#include "Pic18Memory.h"
#include "WidgetFactory.h"
#include "WindowChrome.h"
#include "uart.h"

using namespace zq::ui;

namespace {

const char kTitle[] = "ZQ-Bootloader";
constexpr int kMenuBarWidthPx = 703;
constexpr int kMenuBarHeightPx = 21;
// Pixel sizes are those of a 96 dpi screen; see scaled().
constexpr int kStartRowMinWidthPx = 200;
constexpr int kStatusFontPt = 9;
constexpr int kStatusMinHeightPx = 21;
constexpr int kProgressBarMaxWidthPx = 200;
constexpr int kFileNameMinWidthPx = 250;
constexpr int kTableWidthPx = 400;
constexpr int kTableHeightPx = 200;
constexpr int kRowPaddingPx = 6; // above and below the text, together

// Column 0 names the row; columns 1-3 show one byte in decimal, hex and binary.
// The decimal column is the one the value dialog edits and the writes read.
constexpr int kValueColumn = 1;
constexpr int kByteColumns = 3;

constexpr int kValueInitial = 25;
constexpr int kValueMin = 0;
constexpr int kValueMax = 255;
constexpr int kValueStep = 1;

const char kModeOffStyle[] = "border: 1px solid grey; background-color : red";
const char kModeOnStyle[] = "border: 1px solid grey; background-color : green";

QStringList configRegisterNames() {
    QStringList names;
    for (const char *name : zq::pic18::kConfigRegisterNames)
        names << QLatin1String(name);
    return names;
}

// A larger text setting (a logical dpi above 96) enlarges every font while
// pixel sizes stay: the window's sizes grow in step, so that text that fits
// at 100 % still fits at 125, 150 and 200 %. With the toolkit's own scaling
// the logical dpi stays 96 and nothing changes here.
int scaled(const QWidget *widget, int px) {
    constexpr double kReferenceDpi = 96.0;
    return qRound(px * qMax(1.0, widget->logicalDpiY() / kReferenceDpi));
}

// Room for every header and for the widest text each column can hold (the
// row names in column 0, the bytes' three renderings in the others), in
// columns of equal width beside the vertical scroll bar.
int tableContentWidth(const QTableWidget *table, const QStringList &rowNames) {
    const QStyle *style = table->style();
    // The item view's text margins, and a grid line.
    const int cellMargins =
        2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1) + 1;
    const int headerMargins = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, table);
    const QFontMetrics cells = table->fontMetrics();
    const QFontMetrics headers = table->horizontalHeader()->fontMetrics();
    int widest = 0;
    for (int column = 0; column < table->columnCount(); ++column)
        widest =
            qMax(widest, headers.horizontalAdvance(table->horizontalHeaderItem(column)->text()) +
                             headerMargins);
    for (const QString &name : rowNames)
        widest = qMax(widest, cells.horizontalAdvance(name) + cellMargins);
    for (int value = 0; value <= 0xFF; ++value)
        for (const QString &text : zq::boot::byteRenderings(quint8(value)))
            widest = qMax(widest, cells.horizontalAdvance(text) + cellMargins);
    return 2 * table->frameWidth() +
           style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table) +
           table->columnCount() * widest;
}

// The firmware window's buttons answer Space when they have the focus, and
// not Return.
QPushButton *button(const char *objectName, const QString &text) {
    return named(new QPushButton(text), objectName);
}

// A fixed-size, read-only table: one row per name, the byte columns empty.
QTableWidget *byteTable(const char *objectName, const QStringList &headers,
                        const QStringList &rowNames) {
    auto *table = named(new QTableWidget(rowNames.size(), headers.size()), objectName);
    table->setHorizontalHeaderLabels(headers);
    table->setFixedSize(qMax(scaled(table, kTableWidthPx), tableContentWidth(table, rowNames)),
                        scaled(table, kTableHeightPx));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setShowGrid(true);
    table->verticalHeader()->hide();
    // The style's default row height shows barely six rows in 200 pixels.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + kRowPaddingPx);
    // Four default-width columns are wider than the table; stretched (to equal
    // widths) they fit beside the vertical scroll bar without a horizontal one.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < rowNames.size(); ++row)
        table->setItem(row, 0, new QTableWidgetItem(rowNames.at(row)));
    return table;
}

void setRowByte(QTableWidget *table, int row, quint8 value) {
    const QStringList texts = zq::boot::byteRenderings(value);
    for (int i = 0; i < kByteColumns; ++i)
        table->setItem(row, kValueColumn + i, new QTableWidgetItem(texts.at(i)));
}

// Column 1 of every row as the bytes a write sends; a cell without text is 0.
QByteArray tableBytes(const QTableWidget *table) {
    QByteArray bytes(table->rowCount(), 0);
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, kValueColumn);
        bytes[row] = char(zq::boot::tableCellByte(item ? item->text() : QString()));
    }
    return bytes;
}

void clearByteColumns(QTableWidget *table) {
    for (int row = 0; row < table->rowCount(); ++row)
        for (int i = 0; i < kByteColumns; ++i)
            table->setItem(row, kValueColumn + i, new QTableWidgetItem(QString()));
}

} // namespace

BootloaderWindow::BootloaderWindow(QWidget *parent, QSerialPort *port, int linkEdition)
    : QMainWindow(parent) {
    main_window = createTopLevel(QString::fromLatin1(kTitle));
    main_verticalLayout = named(new QVBoxLayout, "main_verticalLayout");
    setWindowSpacing(main_verticalLayout);
    buildMenu();
    buildStartRow();
    addLine(main_verticalLayout, "hLine1");
    buildStatusRow();
    addLine(main_verticalLayout, "hLine4");
    buildProgramFileRow();
    addLine(main_verticalLayout, "hLine2");
    buildEepromRow();
    addLine(main_verticalLayout, "hLine3");
    buildConfigRow();
    // Each table is as wide as its texts need; one above the other, they line up.
    const int tableWidth = qMax(EEPROM_tableWidget->width(), config_tableWidget->width());
    EEPROM_tableWidget->setFixedWidth(tableWidth);
    config_tableWidget->setFixedWidth(tableWidth);
    setMode(Mode::Initial);
    connectControls();
    installDefaultDialogs();

    main_window->setLayout(main_verticalLayout);
    main_window->show();
    main_window->setFixedSize(main_window->size());

    statusHold_ = new QTimer(this);
    statusHold_->setSingleShot(true);
    statusHold_->setInterval(kRefusalShownMs);
    connect(statusHold_, &QTimer::timeout, this, &BootloaderWindow::releaseHeldStatus);
    // The window manager's close button closes main_window, which would end
    // the program in the middle of a write.
    main_window->installEventFilter(this);

    portName_ = port->portName();
    link = new uart(port, linkEdition);
    feeder = new PayloadFeeder(link, this);
    connectLink();
    program = new PICProgram;
}

BootloaderWindow::~BootloaderWindow() {
    link->deleteLater();
    program->deleteLater();
    // main_window has no parent: without this it would stay on screen after
    // "Disconnect", and leak with every widget in it.
    delete main_window;
    qDebug() << "Destroy BW";
}

void BootloaderWindow::buildMenu() {
    QMenu *menuZQ = nullptr;
    QMenuBar *menuBar = createMenuBar(&menuZQ);
    menuBar->setGeometry(0, 0, kMenuBarWidthPx, kMenuBarHeightPx);
    main_verticalLayout->setMenuBar(menuBar);
    actionResetUartQueue =
        addMenuAction(menuZQ, this, "actionResetUartQueue", QStringLiteral("Reset Uart Queue"));
    actionDisconnect =
        addMenuAction(menuZQ, this, "actionDisconnect", QStringLiteral("Disconnect"));
}

void BootloaderWindow::buildStartRow() {
    startBL_button = button("startBL_button", QString());
    startBL_button->setMinimumWidth(scaled(startBL_button, kStartRowMinWidthPx));
    startBL_label = makeLabel("startBL_label", QString());
    startBL_label->setMinimumWidth(scaled(startBL_label, kStartRowMinWidthPx));
    startBL_label->setAlignment(Qt::AlignCenter);
    QHBoxLayout *row = makeRow("horizontalLayout_1", {startBL_button, startBL_label});
    main_verticalLayout->addLayout(row);
    row->setAlignment(Qt::AlignHCenter);
}

void BootloaderWindow::buildStatusRow() {
    status_label = makeLabel("status_label", QStringLiteral("Status : -"));
    QFont font(QStringLiteral("Arial"), kStatusFontPt);
    font.setBold(true);
    status_label->setFont(font);
    status_label->setMinimumHeight(scaled(status_label, kStatusMinHeightPx));
    status_progressBar = named(new QProgressBar, "status_progressBar");
    status_progressBar->setValue(0);
    status_progressBar->setMaximumWidth(scaled(status_progressBar, kProgressBarMaxWidthPx));
    status_progressBar->hide();
    main_verticalLayout->addLayout(
        makeRow("horizontalLayout_5", {status_label, status_progressBar}));
}

void BootloaderWindow::buildProgramFileRow() {
    progFile_label = makeLabel("progFile_label", QStringLiteral("Program File :"));
    progFile_lineEdit = named(new QLineEdit, "progFile_lineEdit");
    progFile_lineEdit->setMinimumWidth(scaled(progFile_lineEdit, kFileNameMinWidthPx));
    progFile_lineEdit->setReadOnly(true);
    progFile_button = button("progFile_button", QStringLiteral("Browse"));
    analyzeHexFile_button = button("analyzeHexFile_button", QStringLiteral("Analyze HEX File"));
    QFrame *vLine21 = line(QFrame::VLine, QStringLiteral("vLine21"));
    writeProg_button = button("writeProg_button", QStringLiteral("Write Program"));
    eraseProg_button = button("eraseProg_button", QStringLiteral("Erase Program"));
    main_verticalLayout->addLayout(
        makeRow("horizontalLayout_2",
                {progFile_label, progFile_lineEdit, progFile_button, analyzeHexFile_button, vLine21,
                 writeProg_button, eraseProg_button}));
}

void BootloaderWindow::buildEepromRow() {
    auto *horizontalLayout_3 = named(new QHBoxLayout, "horizontalLayout_3");
    auto *verticalLayout_31 = named(new QVBoxLayout, "verticalLayout_31");
    loadEEPROM_button =
        button("loadEEPROM_button", QStringLiteral("Load EEPROM Data from HEX File"));
    clearEEPROMTable_button =
        button("clearEEPROMTable_button", QStringLiteral("Clear EEPROM Data Table"));
    readEEPROM_button = button("readEEPROM_button", QStringLiteral("Read EEPROM Data"));
    writeEEPROM_button = button("writeEEPROM_button", QStringLiteral("Write EEPROM Data"));
    for (QPushButton *b :
         {loadEEPROM_button, clearEEPROMTable_button, readEEPROM_button, writeEEPROM_button})
        verticalLayout_31->addWidget(b);

    QStringList addresses;
    for (int address = 0; address < zq::boot::kEepromSize; ++address)
        addresses << QString::number(address);
    EEPROM_tableWidget = byteTable("EEPROM_tableWidget",
                                   {"Address", "Data", "Data (Hexa)", "Data (Bin)"}, addresses);
    horizontalLayout_3->addLayout(verticalLayout_31);
    horizontalLayout_3->addWidget(EEPROM_tableWidget);
    main_verticalLayout->addLayout(horizontalLayout_3);
}

void BootloaderWindow::buildConfigRow() {
    auto *horizontalLayout_4 = named(new QHBoxLayout, "horizontalLayout_4");
    auto *verticalLayout_41 = named(new QVBoxLayout, "verticalLayout_41");
    loadConfig_button = button("loadConfig_button", QStringLiteral("Load Config from HEX File"));
    clearConfigTable_button =
        button("clearConfigTable_button", QStringLiteral("Clear Config Table"));
    readConfig_button = button("readConfig_button", QStringLiteral("Read Config"));
    writeConfig_button = button("writeConfig_button", QStringLiteral("Write Config"));
    for (QPushButton *b :
         {loadConfig_button, clearConfigTable_button, readConfig_button, writeConfig_button})
        verticalLayout_41->addWidget(b);
    config_tableWidget =
        byteTable("config_tableWidget", {"Register", "Value", "Value (Hexa)", "Value (Bin)"},
                  configRegisterNames());
    horizontalLayout_4->addLayout(verticalLayout_41);
    horizontalLayout_4->addWidget(config_tableWidget);
    main_verticalLayout->addLayout(horizontalLayout_4);
}

void BootloaderWindow::connectControls() {
    connect(startBL_button, &QPushButton::clicked, this, &BootloaderWindow::startBL);
    connect(progFile_button, &QPushButton::clicked, this, &BootloaderWindow::browse);
    connect(analyzeHexFile_button, &QPushButton::clicked, this, &BootloaderWindow::analyzeHexFile);
    connect(writeProg_button, &QPushButton::clicked, this, &BootloaderWindow::writeProg);
    connect(eraseProg_button, &QPushButton::clicked, this, &BootloaderWindow::eraseProg);
    connect(loadEEPROM_button, &QPushButton::clicked, this, &BootloaderWindow::loadEEPROM);
    connect(clearEEPROMTable_button, &QPushButton::clicked, this,
            &BootloaderWindow::clearEEPROMTable);
    connect(readEEPROM_button, &QPushButton::clicked, this, &BootloaderWindow::readEEPROM);
    connect(writeEEPROM_button, &QPushButton::clicked, this, &BootloaderWindow::writeEEPROM);
    connect(EEPROM_tableWidget, &QTableWidget::cellDoubleClicked, this,
            &BootloaderWindow::EEPROMTable_cellSelected);
    connect(loadConfig_button, &QPushButton::clicked, this, &BootloaderWindow::loadConfig);
    connect(clearConfigTable_button, &QPushButton::clicked, this,
            &BootloaderWindow::clearConfigTable);
    connect(readConfig_button, &QPushButton::clicked, this, &BootloaderWindow::readConfig);
    connect(writeConfig_button, &QPushButton::clicked, this, &BootloaderWindow::writeConfig);
    connect(config_tableWidget, &QTableWidget::cellDoubleClicked, this,
            &BootloaderWindow::ConfigTable_cellSelected);
    connect(actionDisconnect, &QAction::triggered, this, &BootloaderWindow::bwClosed);
    connect(actionDisconnect, &QAction::triggered, this, &BootloaderWindow::closeWindow);
}

void BootloaderWindow::connectLink() {
    connect(link, &uart::receivedData, this, &BootloaderWindow::manageReceivedData);
    connect(actionResetUartQueue, &QAction::triggered, link, &uart::resetUartQueue);
    // A reset is the user's way to stop: what the controls asked for and the
    // feeder has not handed over yet goes with the link's queue (the feeder
    // abandons its own run on the same signal), and a write with it.
    connect(link, &uart::queueCleared, this, [this] {
        backlog_.clear();
        if (write_.running())
            endWrite(zq::boot::WriteProgress::End::Stopped);
    });
    connect(feeder, &PayloadFeeder::finished, this, &BootloaderWindow::feedBacklog);
    connect(link, &uart::entryTaken, this, [this] { write_.frameTaken(); });
    connect(link, &uart::lineFreed, this, &BootloaderWindow::onLineFreed);
    connect(link, &uart::portLost, this, &BootloaderWindow::tellPortLost);
}

void BootloaderWindow::installDefaultDialogs() {
    // The dialogs' parent is this hidden object, and a dialog centres itself
    // on its parent: give it main_window's place so they open over the window.
    const auto alignWithVisibleWindow = [this] { setGeometry(main_window->geometry()); };
    openFileDialog = [=](const QString &caption, const QString &dir, const QString &filter) {
        alignWithVisibleWindow();
        return QFileDialog::getOpenFileName(this, caption, dir, filter);
    };
    confirmDialog = [](const QString &title, const QString &text) {
        QMessageBox box;
        box.setWindowTitle(title);
        box.setText(text);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok;
    };
    valueDialog = [=](const ValueRequest &r) -> std::optional<int> {
        alignWithVisibleWindow();
        bool ok = false;
        const int value = QInputDialog::getInt(this, r.title, r.label, r.initial, r.minimum,
                                               r.maximum, r.step, &ok);
        return ok ? std::optional<int>(value) : std::nullopt;
    };
    questionDialog = [=](const QString &title, const QString &text) {
        return QMessageBox::question(main_window, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
}

bool BootloaderWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched != main_window || event->type() != QEvent::Close || disconnecting_ ||
        !write_.running())
        return QMainWindow::eventFilter(watched, event);
    if (!questionDialog(QStringLiteral("Writing Program"),
                        QStringLiteral("A write is running: closing now leaves the unit without "
                                       "a whole program.\nClose anyway?"))) {
        event->ignore(); // the write goes on
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool BootloaderWindow::isSending() const {
    return write_.running() || feeder->isRunning() || !backlog_.isEmpty();
}

bool BootloaderWindow::refused(const QString &operation) {
    if (link->isPortLost())
        showStatus(QStringLiteral("Status : %1 -> Not sent, %2 lost, use Disconnect")
                       .arg(operation, portName_));
    else if (write_.running())
        showStatus(QStringLiteral("Status : %1 -> Refused, a write is running").arg(operation),
                   true);
    else
        return false;
    return true;
}

void BootloaderWindow::tellPortLost(const QString &reason) {
    if (write_.running())
        endWrite(zq::boot::WriteProgress::End::PortLost);
    else
        showStatus(QStringLiteral("Status : Serial Port -> %1 lost (%2), use Disconnect")
                       .arg(portName_, reason));
}

void BootloaderWindow::startWrite(const QVector<QByteArray> &sequence) {
    QByteArray codes;
    codes.reserve(sequence.size());
    for (const QByteArray &payload : sequence)
        codes.append(payload.at(0));
    const int notOnTheLineYet = backlog_.size() + link->queuedCount() +
                                (feeder->isRunning() ? feeder->total() - feeder->handedOver() : 0);
    write_.start(codes, notOnTheLineYet);
    status_progressBar->setRange(0, write_.total());
    status_progressBar->setValue(0);
    status_progressBar->show();
}

void BootloaderWindow::endWrite(zq::boot::WriteProgress::End end) {
    if (end != zq::boot::WriteProgress::End::Finished)
        write_.stop();
    status_progressBar->hide();
    const QString text = write_.endStatus(end, portName_);
    if (!text.isNull())
        showStatus(text);
    else // a refusal held now refuses nothing: the last answer shows at once
        releaseHeldStatus();
}

void BootloaderWindow::onLineFreed() {
    const bool ended = write_.lineFreed();
    status_progressBar->setValue(write_.done());
    if (ended)
        endWrite(zq::boot::WriteProgress::End::Finished);
}

void BootloaderWindow::showStatus(const QString &text, bool hold) {
    status_label->setText(text);
    heldAnswerStatus_.clear();
    if (hold)
        statusHold_->start();
    else
        statusHold_->stop();
}

void BootloaderWindow::releaseHeldStatus() {
    statusHold_->stop();
    if (!heldAnswerStatus_.isNull())
        status_label->setText(std::exchange(heldAnswerStatus_, QString()));
}

void BootloaderWindow::showAnswerStatus(const QString &text) {
    if (statusHold_->isActive())
        heldAnswerStatus_ = text;
    else
        status_label->setText(text);
}

// Everything the window sends goes through here, so nothing is ever dropped by
// a full link queue and nothing overtakes what was asked for earlier.
void BootloaderWindow::send(QVector<QByteArray> payloads) {
    backlog_ += std::move(payloads);
    feedBacklog();
}

void BootloaderWindow::feedBacklog() {
    if (!feeder->isRunning() && !backlog_.isEmpty())
        feeder->start(std::exchange(backlog_, {}));
}

QList<QWidget *> BootloaderWindow::bootloaderControls() const {
    return {
        status_label,       status_progressBar,      progFile_label,          progFile_lineEdit,
        progFile_button,    analyzeHexFile_button,   writeProg_button,        eraseProg_button,
        loadEEPROM_button,  clearEEPROMTable_button, readEEPROM_button,       writeEEPROM_button,
        EEPROM_tableWidget, loadConfig_button,       clearConfigTable_button, readConfig_button,
        writeConfig_button, config_tableWidget};
}

void BootloaderWindow::setMode(Mode mode) {
    const bool on = mode == Mode::On;
    startBL_button->setText(on ? QStringLiteral("Restart ZQ")
                               : QStringLiteral("Start ZQ Bootloader"));
    startBL_label->setText(on                      ? QStringLiteral("ZQ Bootloader actived")
                           : mode == Mode::Initial ? QStringLiteral("ZQ Bootloader disable")
                                                   : QStringLiteral("ZQ Bootloader disabled"));
    startBL_label->setStyleSheet(QString::fromLatin1(on ? kModeOnStyle : kModeOffStyle));
    for (QWidget *control : bootloaderControls())
        control->setEnabled(on);
}

void BootloaderWindow::startBL() {
    // The mode is the controls' enabled state; progFile_label stands for them all.
    if (refused(progFile_label->isEnabled() ? QStringLiteral("Starting User Program")
                                            : QStringLiteral("Starting Bootloader")))
        return;
    if (progFile_label->isEnabled()) {
        send({zq::boot::command(zq::boot::StartUserProgram)});
        return; // the answer switches the mode off
    }
    send({zq::boot::command(zq::boot::StartBootloader)});
    setMode(Mode::On);
    send({zq::boot::command(zq::boot::ReadVersion)});
}

void BootloaderWindow::browse() {
    const QString fileName =
        openFileDialog(tr("Open HEX File"), QStringLiteral("C:/"), tr("HEX File (*.hex)"));
    if (fileName.isEmpty())
        return;
    program->clear();
    progFile_lineEdit->setText(fileName);
}

void BootloaderWindow::analyzeHexFile() {
    program->clear();
    const bool read = program->readHexFile(progFile_lineEdit->text()) == 0;
    showStatus(read ? QStringLiteral("Status : HEX File analyzed")
                    : QStringLiteral("Status : Can't analyze HEX File"));
}

void BootloaderWindow::writeProg() {
    // A second image behind or inside the first would make no sense to the
    // unit; asking to confirm a write that would be refused makes none either.
    if (refused(QStringLiteral("Writing Program")))
        return;
    if (!confirmDialog(QStringLiteral("Writing Program"),
                       QStringLiteral("This action will Write :\n-The Program\n-The EEPROM "
                                      "Memory\n-The Config Bits")))
        return;
    if (!program->isAnalyzed()) {
        showStatus(QStringLiteral("Status : Please analyze HEX File before writing"));
        return;
    }
    QVector<QByteArray> sequence = zq::boot::programWriteSequence(*program);
    startWrite(sequence);
    send(std::move(sequence));
}

void BootloaderWindow::eraseProg() {
    if (refused(QStringLiteral("Erasing Program")))
        return;
    send({zq::boot::command(zq::boot::EraseProgram)});
}

void BootloaderWindow::readConfig() {
    if (refused(QStringLiteral("Reading Config")))
        return;
    send({zq::boot::command(zq::boot::ReadConfig)});
}

void BootloaderWindow::writeConfig() {
    if (refused(QStringLiteral("Writing Config")))
        return;
    send({zq::boot::configWritePayload(tableBytes(config_tableWidget))});
}

void BootloaderWindow::closeWindow() {
    // "Disconnect" was chosen: the start window is already back and deletes
    // this window, whatever it is doing.
    disconnecting_ = true;
    main_window->close();
}

void BootloaderWindow::readEEPROM() {
    if (refused(QStringLiteral("Reading EEPROM Data")))
        return;
    send({zq::boot::command(zq::boot::ReadEeprom)});
}

void BootloaderWindow::writeEEPROM() {
    if (refused(QStringLiteral("Writing EEPROM Data")))
        return;
    send(zq::boot::eepromWriteSequence(tableBytes(EEPROM_tableWidget)));
}

void BootloaderWindow::clearEEPROMTable() {
    clearByteColumns(EEPROM_tableWidget);
}

void BootloaderWindow::clearConfigTable() {
    clearByteColumns(config_tableWidget);
}

void BootloaderWindow::EEPROMTable_cellSelected(int nRow, int nCol) {
    askCellValue(EEPROM_tableWidget, nRow, nCol);
}

void BootloaderWindow::ConfigTable_cellSelected(int nRow, int nCol) {
    askCellValue(config_tableWidget, nRow, nCol);
}

void BootloaderWindow::askCellValue(QTableWidget *table, int row, int column) {
    if (column != kValueColumn)
        return;
    const std::optional<int> value = valueDialog(
        {tr("Enter a value"), tr("Value :"), kValueInitial, kValueMin, kValueMax, kValueStep});
    if (value)
        setRowByte(table, row, quint8(*value));
}

void BootloaderWindow::loadEEPROM() {
    if (!program->isAnalyzed()) {
        showStatus(QStringLiteral("Status : Please analyze HEX File before loading EEPROM Data"));
        return;
    }
    for (const EepromByte &entry : program->eepromBytes())
        if (entry.address < zq::boot::kEepromSize)
            setRowByte(EEPROM_tableWidget, entry.address, entry.value);
}

void BootloaderWindow::loadConfig() {
    if (!program->isAnalyzed()) {
        showStatus(QStringLiteral("Status : Please analyze HEX File before loading Config Bits"));
        return;
    }
    const QByteArray &bytes = program->configBytes();
    for (int i = 0; i < bytes.size() && i < zq::boot::kConfigSize; ++i)
        setRowByte(config_tableWidget, i, quint8(bytes.at(i)));
}

void BootloaderWindow::manageReceivedData(quint8 length, quint8 *buffer) {
    if (write_.answerReceived(buffer, length))
        return; // the stopped write's status stays
    // The core judges the answer, an empty one included; the window only applies it.
    const zq::boot::BootloaderAnswer answer = zq::boot::handleAnswer(buffer, length);
    if (answer.setsStatus)
        showAnswerStatus(answer.status);
    for (const zq::boot::TableCell &cell : answer.eepromRows)
        setRowByte(EEPROM_tableWidget, cell.row, cell.value);
    for (const zq::boot::TableCell &cell : answer.configRows)
        setRowByte(config_tableWidget, cell.row, cell.value);
    if (answer.bootloaderModeOff)
        setMode(Mode::Off);
}
