// The running-status page's slots hand its state to the status panel (statuspanel.cpp).
#include "mainwindow.h"

#include "statuspanel.h"

void MainWindow::onRecvState(uchar err, uchar output, uchar input)
{
    Q_UNUSED(err)
    statusPanel->showState(output, input);
}

void MainWindow::showStateAreas(int channel)
{
    statusPanel->showChannel(channel);
}

void MainWindow::redrawStateAreas()
{
    statusPanel->redraw();
}

QGraphicsPathItem *MainWindow::stateZoneItem(int area) const
{
    return statusPanel->zoneItem(area);
}
