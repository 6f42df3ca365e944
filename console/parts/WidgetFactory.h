#pragma once
// Small constructors for the console's widgets, so that a row reads as its
// contents: object name, text, range, initial state.

#include <QString>
#include <initializer_list>

class QBoxLayout;
class QCheckBox;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace zq::console {

QLabel *makeLabel(const char *objectName, const QString &text, bool enabled = true);
QPushButton *makeButton(const char *objectName, const QString &text, bool enabled = true);
QSpinBox *makeSpinBox(const char *objectName, int minimum, int maximum, int value,
                      bool enabled = true);
QCheckBox *makeCheckBox(const char *objectName, const QString &text, bool checked);
QRadioButton *makeRadioButton(const char *objectName, const QString &text, bool checked);

// A horizontal row holding `widgets` from left to right.
QHBoxLayout *makeRow(const char *objectName, std::initializer_list<QWidget *> widgets);
QVBoxLayout *makeStack(const char *objectName, std::initializer_list<QWidget *> widgets);

// Appends a sunken horizontal line to `column` and returns it.
QFrame *addLine(QBoxLayout *column, const char *objectName);

} // namespace zq::console
