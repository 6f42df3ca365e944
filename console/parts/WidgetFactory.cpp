#include "WidgetFactory.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "WindowChrome.h"

namespace zq::console {

namespace {

template <class Widget> Widget *named(Widget *widget, const char *objectName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

void fill(QBoxLayout *layout, std::initializer_list<QWidget *> widgets) {
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
}

} // namespace

QLabel *makeLabel(const char *objectName, const QString &text, bool enabled) {
    auto *label = named(new QLabel(text), objectName);
    label->setEnabled(enabled);
    return label;
}

QPushButton *makeButton(const char *objectName, const QString &text, bool enabled) {
    auto *button = named(new QPushButton(text), objectName);
    button->setEnabled(enabled);
    button->setAutoDefault(true); // Return presses it when it has the focus, as Space does
    return button;
}

QSpinBox *makeSpinBox(const char *objectName, int minimum, int maximum, int value, bool enabled) {
    auto *spinBox = named(new QSpinBox, objectName);
    spinBox->setRange(minimum, maximum);
    spinBox->setValue(value);
    spinBox->setEnabled(enabled);
    return spinBox;
}

QCheckBox *makeCheckBox(const char *objectName, const QString &text, bool checked) {
    auto *checkBox = named(new QCheckBox(text), objectName);
    checkBox->setChecked(checked);
    return checkBox;
}

QRadioButton *makeRadioButton(const char *objectName, const QString &text, bool checked) {
    auto *radioButton = named(new QRadioButton(text), objectName);
    radioButton->setChecked(checked);
    return radioButton;
}

QHBoxLayout *makeRow(const char *objectName, std::initializer_list<QWidget *> widgets) {
    auto *row = named(new QHBoxLayout, objectName);
    fill(row, widgets);
    return row;
}

QVBoxLayout *makeStack(const char *objectName, std::initializer_list<QWidget *> widgets) {
    auto *stack = named(new QVBoxLayout, objectName);
    fill(stack, widgets);
    return stack;
}

QFrame *addLine(QBoxLayout *column, const char *objectName) {
    QFrame *frame = zq::ui::line(QFrame::HLine, QString::fromLatin1(objectName));
    column->addWidget(frame);
    return frame;
}

} // namespace zq::console
