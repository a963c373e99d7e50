#pragma once

#include <QGraphicsView>

class QGraphicsScene;

// The zone editor's view. It owns the zone scene: 10 mm per scene unit, the scanner at
// the origin, scene y pointing down.
class LGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit LGraphicsView(QWidget *parent = nullptr);

    QGraphicsScene *zoneScene() const { return m_scene; }

signals:
    void mouseMovePoint(QPoint point);

public slots:
    void resetView();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QGraphicsScene *m_scene = nullptr;
};
