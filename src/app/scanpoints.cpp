#include "mainwindow.h"

#include "scanpointlayer.h"
#include "ui_mainwindow.h"

#include <QGraphicsScene>

void MainWindow::setupScanPointGroup()
{
    QGraphicsScene *scene = form->areaMonitorGraphicsView->zoneScene();
    // The scan's squares move on every scan; a spatial index would be rebuilt for each
    // of them, while the few hundred items of the zone page are cheap to walk.
    scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    // First in the scene: among the items of Z value 0 the points then lie below the
    // vertex handles added later, and above the zone outlines, grid and sectors.
    zoneScanPoints = new ScanPointLayer;
    scene->addItem(zoneScanPoints);
}

void MainWindow::onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                                    QVector<ushort> intensityVec)
{
    zoneScanPoints->showScan(angleVec, rangeVec, intensityVec,
                             viewZoom(form->areaMonitorGraphicsView->transform()));
    keepScan(angleVec, rangeVec);
}
