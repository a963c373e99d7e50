#include "mainwindow.h"

// Placeholder until the zone store draws a channel's stored zones into stateZoneItems;
// until then the running-status outlines stay empty.
void MainWindow::showStateAreas(int channel)
{
    Q_UNUSED(channel)
}
