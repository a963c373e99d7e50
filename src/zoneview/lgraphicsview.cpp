#include "lgraphicsview.h"

#include "firstshow.h"

#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPen>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

namespace {
// The first show of any zone view sets it up; later shows keep the user's zoom.
bool firstShowDone = false;
// Above the zones, the grid and the handles.
constexpr qreal kMeasureZ = 200;
// Pixels of margin around a fitted rectangle.
constexpr int kFitMargin = 12;
} // namespace

LGraphicsView::LGraphicsView(QWidget *parent) : QGraphicsView(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("LGraphicsView"));
    resize(527, 434);
    setWindowTitle(tr("Form"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTransformationAnchor(QGraphicsView::NoAnchor);

    m_scene = new QGraphicsScene(this);
    m_scene->setSceneRect(-6000, -6000, 12000, 12000);
    m_scene->setBackgroundBrush(QColor(252, 252, 252));
    setScene(m_scene);

    setRenderHint(QPainter::Antialiasing, true);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
}

qreal LGraphicsView::pixelsPerUnit() const
{
    const QTransform t = transform();
    return std::hypot(t.m11(), t.m12());
}

void LGraphicsView::resetView()
{
    resetTransform();
    fitInView(QRectF(-1000, -1000, 2000, 2000), Qt::KeepAspectRatio);
    centerOn(0, 0);
    emit zoomChanged(pixelsPerUnit());
}

void LGraphicsView::fitRect(const QRectF &sceneRect)
{
    if (sceneRect.isEmpty())
        return;
    const QRect room =
        viewport()->rect().adjusted(kFitMargin, kFitMargin, -kFitMargin, -kFitMargin);
    if (room.width() <= 0 || room.height() <= 0)
        return;
    const qreal s = qMin(room.width() / sceneRect.width(), room.height() / sceneRect.height());
    setTransform(QTransform::fromScale(s, s));
    centerOn(sceneRect.center());
    emit zoomChanged(pixelsPerUnit());
}

void LGraphicsView::zoomAt(qreal factor, const QPoint &viewPoint)
{
    const QPointF anchor = mapToScene(viewPoint);
    scale(factor, factor);
    // Scroll so that the anchor is under the same pixel again.
    const QPoint moved = mapFromScene(anchor) - viewPoint;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + moved.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + moved.y());
    emit zoomChanged(pixelsPerUnit());
}

void LGraphicsView::zoomIn()
{
    zoomAt(kZoomStep, viewport()->rect().center());
}

void LGraphicsView::zoomOut()
{
    zoomAt(1.0 / kZoomStep, viewport()->rect().center());
}

void LGraphicsView::setMeasuring(bool on)
{
    m_measuring = on;
    if (!on)
        clearMeasurement();
    viewport()->setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
}

void LGraphicsView::clearMeasurement()
{
    m_measureEnds = 0;
    if (m_measureLine)
        m_measureLine->hide();
    if (m_measureLabel)
        m_measureLabel->hide();
    emit measureCleared();
}

void LGraphicsView::setMeasureText(const QString &text)
{
    if (!m_measureLabel)
        return;
    m_measureLabel->setText(text);
    m_measureLabel->setPos(m_measureLine->line().p2());
    m_measureLabel->show();
}

void LGraphicsView::updateMeasureLine(const QPointF &end)
{
    if (!m_measureLine) {
        m_measureLine = new QGraphicsLineItem;
        QPen pen(QColor(0, 90, 200), 2, Qt::DashLine);
        pen.setCosmetic(true);
        m_measureLine->setPen(pen);
        m_measureLine->setZValue(kMeasureZ);
        m_measureLine->setAcceptedMouseButtons(Qt::NoButton);
        m_scene->addItem(m_measureLine);
        m_measureLabel = new QGraphicsSimpleTextItem;
        m_measureLabel->setBrush(QColor(0, 60, 150));
        // Readable at every zoom.
        m_measureLabel->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        m_measureLabel->setZValue(kMeasureZ);
        m_measureLabel->setAcceptedMouseButtons(Qt::NoButton);
        m_scene->addItem(m_measureLabel);
    }
    m_measureLine->setLine(QLineF(m_measureFrom, end));
    m_measureLine->show();
}

void LGraphicsView::measureClick(const QPointF &scenePoint)
{
    if (m_measureEnds != 1) {
        clearMeasurement();
        m_measureFrom = scenePoint;
        m_measureEnds = 1;
        updateMeasureLine(scenePoint);
        return;
    }
    m_measureEnds = 2;
    updateMeasureLine(scenePoint);
    emit measured(m_measureFrom, scenePoint);
}

void LGraphicsView::mousePressEvent(QMouseEvent *event)
{
    const bool pan =
        event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && m_spaceHeld);
    if (pan) {
        m_panning = true;
        m_panFrom = event->pos();
        viewport()->setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    if (m_measuring && event->button() == Qt::LeftButton) {
        measureClick(mapToScene(event->pos()));
        event->accept();
        return;
    }
    QGraphicsView::mousePressEvent(event);
}

void LGraphicsView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_panning) {
        m_panning = false;
        viewport()->setCursor(m_measuring ? Qt::CrossCursor : Qt::ArrowCursor);
        event->accept();
        return;
    }
    if (m_measuring && event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QGraphicsView::mouseReleaseEvent(event);
}

void LGraphicsView::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMovePoint(event->pos());
    if (m_panning) {
        const QPoint delta = event->pos() - m_panFrom;
        m_panFrom = event->pos();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
        event->accept();
        return;
    }
    if (m_measuring) {
        if (m_measureEnds == 1)
            updateMeasureLine(mapToScene(event->pos()));
        event->accept();
        return;
    }
    QGraphicsView::mouseMoveEvent(event);
}

void LGraphicsView::wheelEvent(QWheelEvent *event)
{
    const qreal factor = event->angleDelta().y() > 0 ? kZoomStep : 1.0 / kZoomStep;
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    const QPoint at = event->position().toPoint();
#else
    const QPoint at = event->pos();
#endif
    zoomAt(factor, at);
    event->accept();
}

void LGraphicsView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space) {
        m_spaceHeld = true;
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && m_measureEnds > 0) {
        clearMeasurement();
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

void LGraphicsView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        m_spaceHeld = false;
        event->accept();
        return;
    }
    QGraphicsView::keyReleaseEvent(event);
}

void LGraphicsView::focusOutEvent(QFocusEvent *event)
{
    // A Space released elsewhere must not leave the left button panning.
    m_spaceHeld = false;
    QGraphicsView::focusOutEvent(event);
}

void LGraphicsView::showEvent(QShowEvent *event)
{
    QGraphicsView::showEvent(event);
    fitOnFirstShow(this, &firstShowDone);
}
