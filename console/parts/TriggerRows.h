#pragma once
// Editions 4 and 5: the trigger choice and the two trigger tables with their
// buttons, from the "Trigger 1"/"Trigger 2" row down to hLine22.

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QObject>
#include <QPushButton>

#include "Payloads.h"

class QFrame;
class QHBoxLayout;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;

namespace zq::console {

// Edition 4 laid the rows out slightly differently: trigger check boxes
// without a fixed height, table rows of a fixed 22 pixels.
enum class TriggerLayout { Edition4, Edition5 };

struct TriggerTable {
    QTableWidget *tableWidget = nullptr;
    QComboBox *flashes_comboBox = nullptr; // "Number of flashes"
    QSpinBox *energy_spinBoxes[kMaxFlashesPerTrigger] = {};
    QSpinBox *time_spinBoxes[kMaxFlashesPerTrigger] = {};
    QPushButton *set_button = nullptr;

    TriggerSequence sequence() const;
    // Only the cells of the first index + 1 flashes can be edited; the
    // others keep their values.
    void showFlashes(int index) const;
};

struct TriggerRows {
    QHBoxLayout *trigger_horizontalLayout = nullptr;
    QCheckBox *trigger1_checkBox = nullptr;
    QCheckBox *trigger2_checkBox = nullptr;
    QFrame *hLine21 = nullptr;
    TriggerTable trigger1;
    TriggerTable trigger2;
    QPushButton *saveTriggers_button = nullptr;
    QHBoxLayout *readSettings_horizontalLayout = nullptr;
    QPushButton *readTrigger1_button = nullptr;
    QPushButton *readTrigger2_button = nullptr;
    QFrame *hLine22 = nullptr;

    QByteArray flashPayload() const;
    // Keeps exactly one trigger ticked: the other box follows the clicked one.
    void selectTrigger(const QObject *sender, bool state) const;
    void showFlashes(const QObject *sender, int index) const;
    QByteArray readSettingsPayload(const QObject *sender) const;
    QByteArray sequencePayload(const QObject *sender) const;
};
TriggerRows buildTriggerRows(QVBoxLayout *column, TriggerLayout layout);

// Each check box, combo box and button to its slot; the combo boxes are
// connected after they are filled, so that filling them sends nothing.
template <class Window> void connectTriggerRows(Window *window, const TriggerRows &rows) {
    for (QCheckBox *box : {rows.trigger1_checkBox, rows.trigger2_checkBox})
        QObject::connect(box, &QCheckBox::clicked, window, &Window::trigger_selected);
    for (const TriggerTable *table : {&rows.trigger1, &rows.trigger2}) {
        QObject::connect(table->flashes_comboBox, qOverload<int>(&QComboBox::currentIndexChanged),
                         window, &Window::numberOfFlashesChanged);
        QObject::connect(table->set_button, &QPushButton::clicked, window, &Window::setTrigger);
    }
    QObject::connect(rows.saveTriggers_button, &QPushButton::clicked, window,
                     &Window::saveTriggersSettings);
    for (QPushButton *read : {rows.readTrigger1_button, rows.readTrigger2_button})
        QObject::connect(read, &QPushButton::clicked, window, &Window::readTriggerSettings);
}

} // namespace zq::console
