#pragma once

#include <QGraphicsView>
#include <QVector>

class QGraphicsScene;

// Live top view of the scan: the scanner at the origin, 10 mm per scene unit,
// looking up the screen.
class LaserScanView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit LaserScanView(QWidget *parent = nullptr);

    QGraphicsScene *scanScene() const { return m_scene; }

public slots:
    void onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                            QVector<ushort> intensityVec);

private:
    QGraphicsScene *m_scene = nullptr;
};
