#include "lgraphicsview.h"

#include "firstshow.h"

#include <QGraphicsScene>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {
// The first show of any zone view sets it up; later shows keep the user's zoom.
bool firstShowDone = false;
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

void LGraphicsView::resetView()
{
    resetTransform();
    fitInView(QRectF(-1000, -1000, 2000, 2000), Qt::KeepAspectRatio);
    centerOn(0, 0);
}

void LGraphicsView::mousePressEvent(QMouseEvent *event)
{
    QGraphicsView::mousePressEvent(event);
}

void LGraphicsView::mouseReleaseEvent(QMouseEvent *event)
{
    QGraphicsView::mouseReleaseEvent(event);
}

void LGraphicsView::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMovePoint(event->pos());
    QGraphicsView::mouseMoveEvent(event);
}

void LGraphicsView::wheelEvent(QWheelEvent *event)
{
    const qreal factor = event->angleDelta().y() > 0 ? 1.2 : 1.0 / 1.2;
    scale(factor, factor);
}

void LGraphicsView::showEvent(QShowEvent *event)
{
    QGraphicsView::showEvent(event);
    fitOnFirstShow(this, &firstShowDone);
}
