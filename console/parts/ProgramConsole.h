#pragma once
// The console a program opens on a connected port. Each edition's library
// defines it once, so a program chooses its console by the edition it links
// and the start window needs no edition's header.

#include <QMainWindow>

#include <functional>

class QSerialPort;

namespace zq::console {

struct ProgramConsole {
    int edition; // the console's, and the firmware window's link habits
    // Opens the console; `closed` runs when the console's window closes,
    // after which the window deletes itself.
    QMainWindow *(*open)(QWidget *parent, QSerialPort *port, std::function<void()> closed);
};
extern const ProgramConsole kProgramConsole;

template <class Window> ProgramConsole programConsoleOf() {
    return {Window::kEdition,
            [](QWidget *parent, QSerialPort *port, std::function<void()> closed) -> QMainWindow * {
                auto *window = new Window(parent, port);
                QObject::connect(window, &Window::mwClosed, window, std::move(closed));
                QObject::connect(window, &Window::mwClosed, window, &QObject::deleteLater);
                return window;
            }};
}

} // namespace zq::console
