#include "laserscanview.h"

#include <QGraphicsScene>

LaserScanView::LaserScanView(QWidget *parent) : QGraphicsView(parent)
{
    m_scene = new QGraphicsScene(this);
    m_scene->setSceneRect(-6000, -6000, 12000, 12000);
    setScene(m_scene);
}

void LaserScanView::onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                                       QVector<ushort> intensityVec)
{
    Q_UNUSED(angleVec)
    Q_UNUSED(rangeVec)
    Q_UNUSED(intensityVec)
}
