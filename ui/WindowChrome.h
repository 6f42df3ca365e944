#pragma once
// What every window of the program shares: the visible top-level widget
// `main_window` (the QMainWindow objects themselves stay hidden and only
// receive connections), the menu bar style and the "ZQ" menu.

#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QWidget;

namespace zq::ui {

extern const char kMenuBarStyleSheet[];

// A parentless top-level widget named main_window with the shared style
// sheet, fitted to its screen each time it is shown (ScreenFit.h).
QWidget *createTopLevel(const QString &title);

// The menu bar `menuBar` (parentless, as the layout's menu bar) with the menu
// `menuZQ` titled "ZQ", opened from the keyboard by F10 or Alt+Z. Set it on
// `layout` with setMenuBar.
QMenuBar *createMenuBar(QMenu **menuZQ);

// An action of the "ZQ" menu, owned by `owner` (the hidden QMainWindow).
QAction *addMenuAction(QMenu *menu, QObject *owner, const char *objectName, const QString &text);

} // namespace zq::ui
