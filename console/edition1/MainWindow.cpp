#include "MainWindow.h"

#include <QAction>
#include <QDebug>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "WindowChrome.h"
#include "uart.h"

MainWindow::MainWindow(QWidget *parent, QSerialPort *port) : QMainWindow(parent) {
    main_window = zq::ui::createTopLevel(windowTitle_);
    main_layout = new QVBoxLayout;
    menuBar = zq::ui::createMenuBar(&menuZQ);
    main_layout->setMenuBar(menuBar);
    actionResetUartQueue =
        zq::ui::addMenuAction(menuZQ, this, "actionResetUartQueue", QStringLiteral("Reset Uart Queue"));
    actionDisconnect =
        zq::ui::addMenuAction(menuZQ, this, "actionDisconnect", QStringLiteral("Disconnect"));
    connect(actionDisconnect, &QAction::triggered, this, &MainWindow::mwClosed);
    connect(actionDisconnect, &QAction::triggered, this, &MainWindow::closeWindow);
    main_window->setLayout(main_layout);
    main_window->resize(400, 200);
    main_window->show();

    link = new uart(port, kEdition);
    connect(actionResetUartQueue, &QAction::triggered, link, &uart::resetUartQueue);
}

MainWindow::~MainWindow() {
    link->deleteLater();
    delete main_window;
    qDebug() << "Destroy MW";
}

void MainWindow::closeWindow() { main_window->close(); }
