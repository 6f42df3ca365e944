#pragma once
// The firmware-update window: starts and stops the unit's bootloader, reads a
// HEX image and writes it to the unit, and reads, edits and writes the EEPROM
// and configuration bytes through two tables. The payloads and the meaning of
// the answers come from the firmware core; this class reads widgets, hands
// payloads to the link and applies what the core decided.

#include <QByteArray>
#include <QMainWindow>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

#include "BootloaderProtocol.h"

class PICProgram;
class PayloadFeeder;
class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSerialPort;
class QTableWidget;
class QTimer;
class QVBoxLayout;
class uart;

class BootloaderWindow : public QMainWindow {
    Q_OBJECT
public:
    // What the tables' value dialog asks for; a test checks it and answers.
    struct ValueRequest {
        QString title;
        QString label;
        int initial;
        int minimum;
        int maximum;
        int step;
    };

    // `linkEdition` is the program's edition, for its link habits.
    BootloaderWindow(QWidget *parent, QSerialPort *port, int linkEdition = 5);
    ~BootloaderWindow() override;

    // Dialog seams. The defaults show the real dialogs; a test replaces them
    // to answer without a modal loop.
    // The chosen file name, or an empty string when cancelled.
    std::function<QString(const QString &caption, const QString &dir, const QString &filter)>
        openFileDialog;
    // True when the user pressed OK.
    std::function<bool(const QString &title, const QString &text)> confirmDialog;
    // The entered value, or nothing when cancelled.
    std::function<std::optional<int>(const ValueRequest &request)> valueDialog;
    // A yes-or-no question; true for Yes.
    std::function<bool(const QString &title, const QString &text)> questionDialog;

    QWidget *topLevel() const { return main_window; }
    // How long a refused command's status line stays before the answers of
    // the running write show again.
    static constexpr int kRefusalShownMs = 3000;
    // True while payloads accepted from the controls still wait to be handed
    // to the link, or a program write waits for its last answer.
    bool isSending() const;

signals:
    void bwClosed();

public slots:
    void startBL();
    void browse();
    void analyzeHexFile();
    void writeProg();
    void eraseProg();
    void readConfig();
    void writeConfig();
    void closeWindow();
    void readEEPROM();
    void writeEEPROM();
    void clearEEPROMTable();
    void clearConfigTable();
    void EEPROMTable_cellSelected(int nRow, int nCol);
    void ConfigTable_cellSelected(int nRow, int nCol);
    void loadEEPROM();
    void loadConfig();
    void manageReceivedData(quint8 length, quint8 *buffer);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Mode { Initial, On, Off };

    void buildStartRow();
    void buildStatusRow();
    void buildProgramFileRow();
    void buildEepromRow();
    void buildConfigRow();
    void buildMenu();
    void connectControls();
    void connectLink();
    void installDefaultDialogs();

    void setMode(Mode mode);
    QList<QWidget *> bootloaderControls() const;
    void askCellValue(QTableWidget *table, int row, int column);
    void send(QVector<QByteArray> payloads);
    void feedBacklog();
    // A command to the unit is refused during a program write (it would reach
    // the unit only after the image, and an erase would wipe it) and once the
    // port is lost (nothing would be sent).
    bool refused(const QString &operation);
    void tellPortLost(const QString &reason);
    void startWrite(const QVector<QByteArray> &sequence);
    void endWrite(zq::boot::WriteProgress::End end);
    void onLineFreed();
    // The status line: `hold` keeps the text for kRefusalShownMs against the
    // answers that follow; an answer's text waits out a hold.
    void showStatus(const QString &text, bool hold = false);
    void showAnswerStatus(const QString &text);
    void releaseHeldStatus();

    uart *link = nullptr;
    PICProgram *program = nullptr;
    QWidget *main_window = nullptr;
    QVBoxLayout *main_verticalLayout = nullptr;
    QPushButton *startBL_button = nullptr;
    QLabel *startBL_label = nullptr;
    QLabel *status_label = nullptr;
    QProgressBar *status_progressBar = nullptr;
    QLabel *progFile_label = nullptr;
    QLineEdit *progFile_lineEdit = nullptr;
    QPushButton *progFile_button = nullptr;
    QPushButton *analyzeHexFile_button = nullptr;
    QPushButton *writeProg_button = nullptr;
    QPushButton *eraseProg_button = nullptr;
    QPushButton *loadEEPROM_button = nullptr;
    QPushButton *clearEEPROMTable_button = nullptr;
    QPushButton *readEEPROM_button = nullptr;
    QPushButton *writeEEPROM_button = nullptr;
    QTableWidget *EEPROM_tableWidget = nullptr;
    QPushButton *loadConfig_button = nullptr;
    QPushButton *clearConfigTable_button = nullptr;
    QPushButton *readConfig_button = nullptr;
    QPushButton *writeConfig_button = nullptr;
    QTableWidget *config_tableWidget = nullptr;
    QAction *actionResetUartQueue = nullptr;
    QAction *actionDisconnect = nullptr;

    // The link's queue holds only uart::kQueueLimit entries; the feeder tops
    // it up as the sender takes them, and what the controls ask for while it
    // runs waits here, in order, instead of being dropped by a full queue.
    PayloadFeeder *feeder = nullptr;
    QVector<QByteArray> backlog_;
    zq::boot::WriteProgress write_;
    QString portName_;
    QTimer *statusHold_ = nullptr;
    QString heldAnswerStatus_; // the latest answer's text while a refusal is held
    bool disconnecting_ = false;
};
