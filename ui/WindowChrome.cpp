#include "WindowChrome.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QWidget>

#include "ScreenFit.h"

namespace zq::ui {

const char kMenuBarStyleSheet[] =
    "QMenuBar { background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 lightgray, "
    "stop:1 darkgray); }QMenuBar::item { background-color: transparent; }QMenuBar::item:selected "
    "{ background: #a8a8a8; }QMenuBar::item:pressed { background: #888888; }";

QWidget *createTopLevel(const QString &title) {
    auto *w = new QWidget;
    w->setObjectName(QStringLiteral("main_window"));
    w->setWindowTitle(title);
    w->setStyleSheet(QString::fromLatin1(kMenuBarStyleSheet));
    fitToScreenWhenShown(w);
    return w;
}

QMenuBar *createMenuBar(QMenu **menuZQ) {
    auto *bar = new QMenuBar;
    bar->setObjectName(QStringLiteral("menuBar"));
    auto *menu = new QMenu(QStringLiteral("ZQ"), bar);
    menu->setObjectName(QStringLiteral("menuZQ"));
    bar->addMenu(menu);
    // The menu from the keyboard: F10 as in most desktops, Alt+Z for its
    // initial. The shortcuts work once the bar is in its window.
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_F10), QKeySequence(Qt::ALT | Qt::Key_Z)})
        QObject::connect(new QShortcut(keys, bar), &QShortcut::activated, bar,
                         [bar, menu] { bar->setActiveAction(menu->menuAction()); });
    *menuZQ = menu;
    return bar;
}

QAction *addMenuAction(QMenu *menu, QObject *owner, const char *objectName, const QString &text) {
    auto *action = new QAction(text, owner);
    action->setObjectName(QString::fromLatin1(objectName));
    menu->addAction(action);
    return action;
}

} // namespace zq::ui
