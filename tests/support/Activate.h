#pragma once
// Makes a shown window the active one, as a click on it would, and waits
// until the platform says it is: keyboard tests need the focus it brings.

#include <QTest>
#include <QWidget>

inline bool activate(QWidget *window) {
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}
