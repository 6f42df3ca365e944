// The entry of every window program: the consoles and zq-firmware differ only
// in the edition they link and in the definitions that app/programs.cmake
// gives each (ZQ_PROGRAM, ZQ_ICON, ZQ_DESKTOP_ID, ZQ_FIRMWARE_FIRST). No
// command-line options of their own.

#include <QApplication>
#include <QIcon>

#include "ConnectionWindow.h"
#include "QtCompat.h"

namespace {

// The program's icon at the sizes the package installs, embedded so that a
// program run from the build tree shows it too.
QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/" ZQ_ICON ".png").arg(size),
                     QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char *argv[]) {
    zq::compat::enableHighDpiScaling();
    QApplication app = zq::compat::makeApplication<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral(ZQ_PROGRAM));
    QApplication::setApplicationVersion(QStringLiteral(ZQ_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(ZQ_DESKTOP_ID));
    QApplication::setWindowIcon(programIcon());
    ConnectionWindow window(nullptr, ZQ_FIRMWARE_FIRST ? ConnectionWindow::Choices::FirmwareFirst
                                                       : ConnectionWindow::Choices::ConsoleOnly);
    return app.exec();
}
