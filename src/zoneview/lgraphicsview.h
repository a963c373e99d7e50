#pragma once

#include <QGraphicsView>
#include <QPointF>

class QGraphicsLineItem;
class QGraphicsScene;
class QGraphicsSimpleTextItem;

// The zone editor's view. It owns the zone scene: 10 mm per scene unit, the scanner at
// the origin, scene y pointing down. The wheel zooms about the cursor, the middle button
// (or Space held with the left button) pans, and while measuring two clicks span a
// measured line instead of editing.
class LGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit LGraphicsView(QWidget *parent = nullptr);

    QGraphicsScene *zoneScene() const { return m_scene; }

    // One zoom step, and the wheel's factor per notch.
    static constexpr qreal kZoomStep = 1.2;
    // Screen pixels per scene unit along x.
    qreal pixelsPerUnit() const;
    // Scales by factor keeping the scene point under viewPoint (pixels) where it is.
    void zoomAt(qreal factor, const QPoint &viewPoint);
    // Fits a scene rectangle into the viewport with a small margin, centred.
    void fitRect(const QRectF &sceneRect);

    // While measuring, left clicks place the ends of a measured line (a third click starts
    // a new one); Escape takes the line away.
    void setMeasuring(bool on);
    bool isMeasuring() const { return m_measuring; }
    void clearMeasurement();
    // The text shown beside the measured line's end.
    void setMeasureText(const QString &text);

signals:
    void mouseMovePoint(QPoint point);
    // After every change of the zoom: screen pixels per scene unit.
    void zoomChanged(qreal pixelsPerUnit);
    // Both ends of a measured line were placed (scene points).
    void measured(QPointF from, QPointF to);
    void measureCleared();

public slots:
    void resetView();
    void zoomIn();
    void zoomOut();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void measureClick(const QPointF &scenePoint);
    void updateMeasureLine(const QPointF &end);

    QGraphicsScene *m_scene = nullptr;
    bool m_spaceHeld = false;
    bool m_panning = false;
    QPoint m_panFrom;
    bool m_measuring = false;
    int m_measureEnds = 0; // 0 none, 1 the first end placed, 2 both
    QPointF m_measureFrom;
    QGraphicsLineItem *m_measureLine = nullptr;
    QGraphicsSimpleTextItem *m_measureLabel = nullptr;
};
