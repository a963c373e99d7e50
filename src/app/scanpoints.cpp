#include "mainwindow.h"

#include "intensitycolor.h"
#include "pointitems.h"
#include "ui_mainwindow.h"

#include <QGraphicsItemGroup>
#include <QGraphicsRectItem>
#include <QGraphicsScene>

void MainWindow::setupScanPointGroup()
{
    QGraphicsScene *scene = form->areaMonitorGraphicsView->zoneScene();
    // The scan's squares move on every scan; a spatial index would be rebuilt for each
    // of them, while the few hundred items of the zone page are cheap to walk.
    scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    // First in the scene: among the items of Z value 0 the points then lie below the
    // vertex handles added later, and above the zone outlines, grid and sectors.
    scanPointGroup = new QGraphicsItemGroup;
    scene->addItem(scanPointGroup);
}

void MainWindow::onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                                    QVector<ushort> intensityVec)
{
    const qreal scale = pointItemScale(viewZoom(form->areaMonitorGraphicsView->transform()));
    const QVector<QGraphicsItem *> items = pointItems(scanPointGroup, angleVec.size());
    for (int i = 0; i < items.size(); ++i) {
        auto *item = static_cast<QGraphicsRectItem *>(items[i]);
        // Equal lengths are the worker's promise; a short vector reads as "no echo".
        const ushort range = rangeVec.value(i);
        const ushort intensity = intensityVec.value(i);
        item->setPen(intensityPen(intensity));
        item->setBrush(intensityBrush(intensity));
        // setScale() prepares a geometry change even when the scale stays the same.
        if (item->scale() != scale)
            item->setScale(scale);
        item->setVisible(range != 0);
        item->setPos(scanPointPosition(angleVec[i], range));
    }
}
