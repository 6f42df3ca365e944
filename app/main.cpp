#include <QApplication>

#include "ConnectionWindow.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    ConnectionWindow window;
    return app.exec();
}
