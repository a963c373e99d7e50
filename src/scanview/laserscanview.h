#pragma once

#include <QGraphicsView>
#include <QPoint>
#include <QVector>

class QGraphicsEllipseItem;
class QGraphicsItemGroup;
class QGraphicsLineItem;
class QGraphicsPathItem;
class QGraphicsScene;
class ScanPointLayer;

namespace Ui {
class LaserScanView;
}

// Live top view of the scan: the scanner at the origin, 10 mm per scene unit, looking
// up the screen. A panel over the view reads out the cursor and a tracked point.
class LaserScanView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit LaserScanView(QWidget *parent = nullptr);
    ~LaserScanView() override;

    Ui::LaserScanView *panel() const { return form; }
    ScanPointLayer *pointGroup() const { return m_points; }
    QGraphicsPathItem *gridItem() const { return m_gridItem; }
    QGraphicsLineItem *trackingLine() const { return m_trackingLine; }

public slots:
    void onShowContextMenu(QPoint pos);
    void onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                            QVector<ushort> intensityVec);
    void setLockGrid(bool locked);
    void setTrackMouse(bool track);
    void setRenderIntensities(bool render);
    void resetView();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildGrid();
    void applyGridOrientation();

    Ui::LaserScanView *form = nullptr;
    QGraphicsScene *m_scene = nullptr;
    QGraphicsLineItem *m_trackingLine = nullptr;
    QPoint lastMousePos;
    bool panning = false;
    bool lockGrid = true;
    bool trackMouse = false;
    ScanPointLayer *m_points = nullptr;
    QGraphicsPathItem *m_gridItem = nullptr;
    QGraphicsEllipseItem *m_fieldOfView = nullptr;
    // Kept out of the scene: the view is never rotated, so nothing hangs in it yet.
    QGraphicsItemGroup *gridOrientation = nullptr;
};
