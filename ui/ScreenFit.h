#pragma once
// Keeps a window within its screen. Where the screen has room the window
// keeps the size and place its own code gave it; where it has not (a laptop
// screen, a large text setting), its content moves into a scroll area and the
// window takes the room there is, so every control stays reachable and
// nothing overlaps.

#include <QRect>

#include <functional>

class QScrollArea;
class QWidget;

namespace zq::ui {

// The part of the screen a window may take, by default its screen's available
// geometry (without panels). Process-wide; a test may stand in a screen size.
using ScreenArea = std::function<QRect(const QWidget *window)>;
ScreenArea &screenArea();

// Fits `window` (shown or not) to screenArea(): nothing changes when its
// size fits; otherwise its layout goes into a scroll area (once) and the
// window is sized to the screen, fixed if it was fixed. A window placed by
// its code is moved as far as needed to lie on the screen.
void fitToScreen(QWidget *window);

// Fits `window` again each time it has been shown, once the code that showed
// it has sized it.
void fitToScreenWhenShown(QWidget *window);

// The scroll area that fitToScreen put around the window's content, if any.
QScrollArea *screenFitScrollArea(const QWidget *window);

} // namespace zq::ui
