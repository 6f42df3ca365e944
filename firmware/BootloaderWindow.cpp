#include "BootloaderWindow.h"

#include <QAction>
#include <QDebug>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "WindowChrome.h"
#include "uart.h"

BootloaderWindow::BootloaderWindow(QWidget *parent, QSerialPort *port, int linkEdition)
    : QMainWindow(parent) {
    main_window = zq::ui::createTopLevel(windowTitle_);
    main_verticalLayout = new QVBoxLayout;
    menuBar = zq::ui::createMenuBar(&menuZQ);
    main_verticalLayout->setMenuBar(menuBar);
    actionResetUartQueue = zq::ui::addMenuAction(menuZQ, this, "actionResetUartQueue",
                                                 QStringLiteral("Reset Uart Queue"));
    actionDisconnect =
        zq::ui::addMenuAction(menuZQ, this, "actionDisconnect", QStringLiteral("Disconnect"));
    connect(actionDisconnect, &QAction::triggered, this, &BootloaderWindow::bwClosed);
    connect(actionDisconnect, &QAction::triggered, this, &BootloaderWindow::closeWindow);
    main_window->setLayout(main_verticalLayout);
    main_window->show();

    link = new uart(port, linkEdition);
    connect(actionResetUartQueue, &QAction::triggered, link, &uart::resetUartQueue);
}

BootloaderWindow::~BootloaderWindow() {
    link->deleteLater();
    delete main_window;
    qDebug() << "Destroy BW";
}

void BootloaderWindow::closeWindow() { main_window->close(); }
