#include "TriggerRows.h"

#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtMath>

#include "WidgetFactory.h"

namespace zq::console {

using namespace zq::ui;

namespace {

constexpr int kColumns = 2;
constexpr int kEnergyMax = 255;
constexpr int kTimeMax = 65535;
constexpr int kEdition4RowHeightPx = 22;
constexpr qreal kStandardDpi = 96;
const QColor kHeadingColour(163, 204, 233);

const char *const kEnergyTexts[kMaxFlashesPerTrigger] = {"Energy Flash 1", "Energy Flash 2",
                                                         "Energy Flash 3", "Energy Flash 4"};
const char *const kTimeTexts[kMaxFlashesPerTrigger] = {
    "Time before Flash 1", "Time between Flash 1 & 2", "Time between Flash 2 & 3",
    "Time between Flash 3 & 4"};

QTableWidgetItem *centredItem(const QString &text) {
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

int appendRow(QTableWidget *table) {
    const int row = table->rowCount();
    table->insertRow(row);
    return row;
}

void appendSpanningRow(QTableWidget *table, QTableWidgetItem *item, QWidget *widget = nullptr) {
    const int row = appendRow(table);
    table->setSpan(row, 0, 1, kColumns);
    if (item)
        table->setItem(row, 0, item);
    if (widget)
        table->setCellWidget(row, 0, widget);
}

void appendLabelledRow(QTableWidget *table, const char *text, QWidget *editor) {
    const int row = appendRow(table);
    table->setItem(row, 0, centredItem(QString::fromLatin1(text)));
    table->setCellWidget(row, 1, editor);
}

QTableWidget *emptyTable(int trigger, TriggerLayout layout) {
    auto *table = new QTableWidget(0, kColumns);
    table->setObjectName(QStringLiteral("trigger%1_tableWidget").arg(trigger));
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    if (layout == TriggerLayout::Edition5)
        table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    // Tab goes through the editors in the cells and on out of the table, not
    // from cell to cell for ever; the table itself, with nothing to select,
    // takes no focus.
    table->setTabKeyNavigation(false);
    table->setFocusPolicy(Qt::NoFocus);
    table->setShowGrid(true);
    table->setStyleSheet(QStringLiteral("QTableWidget {border: 0px;}"));
    return table;
}

// All rows as tall as the first, and the table exactly as tall as its rows,
// so that it never needs a scroll bar of its own. Edition 4's fixed height is
// for the standard 96 dpi; larger text gets taller rows, or the editors lose
// their text and arrows.
void fitToRows(QTableWidget *table, TriggerLayout layout) {
    const int rowHeight = layout == TriggerLayout::Edition4
                              ? qCeil(kEdition4RowHeightPx * table->logicalDpiY() / kStandardDpi)
                              : table->rowHeight(0);
    for (int row = 0; row < table->rowCount(); ++row)
        table->setRowHeight(row, rowHeight);
    const int height = table->rowHeight(0) * table->rowCount();
    table->setMinimumHeight(height);
    table->setMaximumHeight(height);
}

TriggerTable buildTriggerTable(int trigger, TriggerLayout layout) {
    TriggerTable t;
    t.tableWidget = emptyTable(trigger, layout);
    auto *heading = centredItem(QStringLiteral("Trigger %1 Settings").arg(trigger));
    heading->setBackground(kHeadingColour);
    appendSpanningRow(t.tableWidget, heading);

    t.flashes_comboBox = new QComboBox;
    t.flashes_comboBox->setObjectName(QStringLiteral("trigger%1Flashes_comboBox").arg(trigger));
    t.flashes_comboBox->addItems(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    appendLabelledRow(t.tableWidget, "Number of flashes", t.flashes_comboBox);

    for (int k = 0; k < kMaxFlashesPerTrigger; ++k) {
        const QByteArray name =
            QStringLiteral("trigger%1Energy%2_spinBox").arg(trigger).arg(k + 1).toLatin1();
        t.energy_spinBoxes[k] = makeSpinBox(name.constData(), 0, kEnergyMax, 0, k == 0);
        appendLabelledRow(t.tableWidget, kEnergyTexts[k], t.energy_spinBoxes[k]);
    }
    for (int k = 0; k < kMaxFlashesPerTrigger; ++k) {
        const QByteArray name =
            QStringLiteral("trigger%1Time%2_spinBox").arg(trigger).arg(k + 1).toLatin1();
        t.time_spinBoxes[k] = makeSpinBox(name.constData(), 0, kTimeMax, 0, k == 0);
        appendLabelledRow(t.tableWidget, kTimeTexts[k], t.time_spinBoxes[k]);
    }

    const QByteArray buttonName = QStringLiteral("setTrigger%1_button").arg(trigger).toLatin1();
    t.set_button =
        makeButton(buttonName.constData(), QStringLiteral("Set Trigger %1").arg(trigger));
    appendSpanningRow(t.tableWidget, nullptr, t.set_button);
    fitToRows(t.tableWidget, layout);
    return t;
}

void addTriggerChoice(QVBoxLayout *column, TriggerRows &r, TriggerLayout layout) {
    r.trigger1_checkBox = makeCheckBox("trigger1_checkBox", QStringLiteral("Trigger 1"), true);
    r.trigger2_checkBox = makeCheckBox("trigger2_checkBox", QStringLiteral("Trigger 2"), false);
    if (layout == TriggerLayout::Edition5) {
        for (QCheckBox *box : {r.trigger1_checkBox, r.trigger2_checkBox})
            box->setFixedHeight(box->sizeHint().height());
    }
    r.trigger_horizontalLayout =
        makeRow("trigger_horizontalLayout", {r.trigger1_checkBox, r.trigger2_checkBox});
    r.trigger_horizontalLayout->setAlignment(Qt::AlignHCenter);
    column->addLayout(r.trigger_horizontalLayout);
}

const TriggerTable &tableOf(const TriggerRows &rows, const QObject *sender) {
    const bool second =
        sender == rows.trigger2.flashes_comboBox || sender == rows.trigger2.set_button;
    return second ? rows.trigger2 : rows.trigger1;
}

} // namespace

TriggerSequence TriggerTable::sequence() const {
    TriggerSequence s;
    s.flashes = flashes_comboBox->currentIndex() + 1;
    for (int k = 0; k < kMaxFlashesPerTrigger; ++k) {
        s.energies[k] = quint8(energy_spinBoxes[k]->value());
        s.times[k] = quint16(time_spinBoxes[k]->value());
    }
    return s;
}

void TriggerTable::showFlashes(int index) const {
    for (int k = 0; k < kMaxFlashesPerTrigger; ++k) {
        energy_spinBoxes[k]->setEnabled(k <= index);
        time_spinBoxes[k]->setEnabled(k <= index);
    }
}

QByteArray TriggerRows::flashPayload() const {
    return flash(trigger2_checkBox->isChecked());
}

void TriggerRows::selectTrigger(const QObject *sender, bool state) const {
    if (sender == trigger1_checkBox)
        trigger2_checkBox->setChecked(!state);
    else if (sender == trigger2_checkBox)
        trigger1_checkBox->setChecked(!state);
}

void TriggerRows::showFlashes(const QObject *sender, int index) const {
    tableOf(*this, sender).showFlashes(index);
}

QByteArray TriggerRows::readSettingsPayload(const QObject *sender) const {
    return readTriggerSettings(sender == readTrigger1_button ? 1 : 2);
}

QByteArray TriggerRows::sequencePayload(const QObject *sender) const {
    const TriggerTable &table = tableOf(*this, sender);
    return setTriggerSequence(&table == &trigger1 ? 1 : 2, table.sequence());
}

TriggerRows buildTriggerRows(QVBoxLayout *column, TriggerLayout layout) {
    TriggerRows r;
    addTriggerChoice(column, r, layout);
    r.hLine21 = addLine(column, "hLine21");
    r.trigger1 = buildTriggerTable(1, layout);
    column->addWidget(r.trigger1.tableWidget);
    r.trigger2 = buildTriggerTable(2, layout);
    column->addWidget(r.trigger2.tableWidget);
    r.saveTriggers_button = makeButton("saveTriggers_button", QStringLiteral("Save Triggers"));
    column->addWidget(r.saveTriggers_button);
    r.readTrigger1_button =
        makeButton("readTrigger1_button", QStringLiteral("Read Saved Settings of Trigger 1"));
    r.readTrigger2_button =
        makeButton("readTrigger2_button", QStringLiteral("Read Saved Settings of Trigger 2"));
    r.readSettings_horizontalLayout =
        makeRow("readSettings_horizontalLayout", {r.readTrigger1_button, r.readTrigger2_button});
    column->addLayout(r.readSettings_horizontalLayout);
    r.hLine22 = addLine(column, "hLine22");
    return r;
}

} // namespace zq::console
