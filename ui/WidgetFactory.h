#pragma once
// Small constructors for the windows' widgets, so that a row reads as its
// contents: object name, text, range, initial state. The start window, the
// consoles and the firmware window build their widgets with these.

#include <QFrame>
#include <QString>
#include <initializer_list>

class QBoxLayout;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace zq::ui {

// `object` with its object name set, so that it is built and named in one
// expression.
template <class Object> Object *named(Object *object, const char *objectName) {
    object->setObjectName(QString::fromLatin1(objectName));
    return object;
}

QLabel *makeLabel(const char *objectName, const QString &text, bool enabled = true);
// Return presses the button when it has the focus, as Space does.
QPushButton *makeButton(const char *objectName, const QString &text, bool enabled = true);
QSpinBox *makeSpinBox(const char *objectName, int minimum, int maximum, int value,
                      bool enabled = true);
QCheckBox *makeCheckBox(const char *objectName, const QString &text, bool checked);
QRadioButton *makeRadioButton(const char *objectName, const QString &text, bool checked);

// A horizontal row holding `widgets` from left to right.
QHBoxLayout *makeRow(const char *objectName, std::initializer_list<QWidget *> widgets);
QVBoxLayout *makeStack(const char *objectName, std::initializer_list<QWidget *> widgets);

// The spacing between a window's columns or rows and the margin around them.
void setWindowSpacing(QBoxLayout *outer);

// A sunken horizontal or vertical line.
QFrame *line(QFrame::Shape shape, const QString &objectName = QString(), QWidget *parent = nullptr);
// Appends a sunken line across `layout` (horizontal in a column, vertical in
// a row) and returns it.
QFrame *addLine(QBoxLayout *layout, const char *objectName);

} // namespace zq::ui
