#include "WidgetFactory.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zq::ui {

namespace {

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

void setWindowSpacing(QBoxLayout *outer) {
    constexpr int kSpacingPx = 6;
    constexpr int kMarginPx = 11;
    outer->setSpacing(kSpacingPx);
    outer->setContentsMargins(kMarginPx, kMarginPx, kMarginPx, kMarginPx);
}

QFrame *line(QFrame::Shape shape, const QString &objectName, QWidget *parent) {
    auto *frame = new QFrame(parent);
    frame->setObjectName(objectName);
    frame->setFrameShape(shape);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

QFrame *addLine(QBoxLayout *layout, const char *objectName) {
    const bool inRow = layout->direction() == QBoxLayout::LeftToRight ||
                       layout->direction() == QBoxLayout::RightToLeft;
    QFrame *frame = line(inRow ? QFrame::VLine : QFrame::HLine, QString::fromLatin1(objectName));
    layout->addWidget(frame);
    return frame;
}

} // namespace zq::ui
