#include "laserscanview.h"

#include "firstshow.h"
#include "scanpointlayer.h"
#include "ui_laserscanview.h"

#include <QCursor>
#include <QFont>
#include <QGraphicsEllipseItem>
#include <QGraphicsItemGroup>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainterPath>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>

namespace {
// The first show of any scan view fits it; later shows keep the user's zoom and pan.
bool firstShowDone = false;

const QString kNoValue = QStringLiteral("--");
} // namespace

LaserScanView::LaserScanView(QWidget *parent) : QGraphicsView(parent)
{
    form = new Ui::LaserScanView;
    form->setupUi(this);
    form->lockGridCheckBox->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTransformationAnchor(QGraphicsView::NoAnchor);

    m_scene = new QGraphicsScene(this);
    m_scene->setSceneRect(-6000, -6000, 12000, 12000);
    m_scene->setBackgroundBrush(QColor(252, 252, 252));
    // Hundreds of point squares move on every scan; keeping a spatial index of them up
    // to date costs far more than drawing them, and the scene is never searched.
    m_scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    setScene(m_scene);
    setRenderHint(QPainter::Antialiasing, true);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    // Moves without a pressed button reach the view only if its viewport tracks them;
    // the cursor readout and the tracked point depend on them.
    viewport()->setMouseTracking(true);

    connect(form->lockGridCheckBox, &QCheckBox::toggled, this, &LaserScanView::setLockGrid);
    connect(form->trackMouseCheckBox, &QCheckBox::toggled, this, &LaserScanView::setTrackMouse);
    connect(form->renderIntensityCheckBox, &QCheckBox::toggled, this,
            &LaserScanView::setRenderIntensities);
    connect(form->resetViewButton, &QPushButton::clicked, this, &LaserScanView::resetView);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &LaserScanView::onShowContextMenu);

    m_trackingLine = new QGraphicsLineItem(0, 0, 10, 10);
    m_trackingLine->setPen(QPen(Qt::red));
    m_trackingLine->hide();
    m_scene->addItem(m_trackingLine);
    buildGrid();
    m_points = new ScanPointLayer;
    // The tracked point's readout shows what its square holds.
    m_points->setKeepEchoData(true);
    m_scene->addItem(m_points);
    gridOrientation = new QGraphicsItemGroup;
}

LaserScanView::~LaserScanView()
{
    delete gridOrientation;
    delete form;
}

void LaserScanView::buildGrid()
{
    QFont font;
    font.setStyleHint(QFont::Serif, QFont::PreferAntialias);
    font.setWeight(QFont::Bold);
    QPainterPath path;
    for (int k = 0; k <= 20; ++k) {
        const int b = 100 * k;
        const int v = 1000 * k - 10000;
        path.moveTo(b, 0);
        path.lineTo(b, 2000);
        path.moveTo(0, b);
        path.lineTo(2000, b);
        path.addText(QPointF(995, b), font, QStringLiteral("%1").arg(-v));
        path.addText(QPointF(b - 5, 1000), font, QStringLiteral("%1").arg(v));
    }
    m_gridItem = new QGraphicsPathItem(path);
    m_gridItem->setPos(-1000, -1000);
    m_gridItem->setPen(QPen(Qt::gray, 2));
    m_gridItem->setBrush(QBrush(Qt::gray, Qt::SolidPattern));
    m_gridItem->setZValue(-61);
    // Stroking the label glyphs costs far more than all the points of a scan; the grid
    // changes only with the zoom, so it is drawn once into a pixmap and blitted.
    m_gridItem->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    m_scene->addItem(m_gridItem);

    auto *blind = new QGraphicsEllipseItem(-1000, -1000, 2000, 2000);
    blind->setStartAngle(-2160);
    blind->setSpanAngle(1440);
    blind->setBrush(QBrush(Qt::gray, Qt::SolidPattern));
    blind->setOpacity(0.6);
    blind->setZValue(-61);
    m_scene->addItem(blind);

    m_fieldOfView = new QGraphicsEllipseItem(-1000, -1000, 2000, 2000);
    m_fieldOfView->setStartAngle(-720);
    m_fieldOfView->setSpanAngle(4320);
    m_fieldOfView->setOpacity(0.3);
    m_fieldOfView->setZValue(-60);
    m_scene->addItem(m_fieldOfView);
}

void LaserScanView::onShowContextMenu(QPoint pos)
{
    Q_UNUSED(pos)
    // On the stack: a menu parented to the view but never deleted would pile up with
    // every right click.
    QMenu menu(this);
    QAction *show = menu.addAction(QIcon(QStringLiteral(":/resources/images/menu_show.png")),
                                   QStringLiteral("show"));
    QAction *hide = menu.addAction(QIcon(QStringLiteral(":/resources/images/menu_hide.png")),
                                   QStringLiteral("hide"));
    QWidget *panels[] = {form->cursorGroupBox, form->viewGroupBox, form->trackedPointGroupBox};
    connect(show, &QAction::triggered, this, [panels]() {
        for (QWidget *panel : panels)
            panel->show();
    });
    connect(hide, &QAction::triggered, this, [panels]() {
        for (QWidget *panel : panels)
            panel->hide();
    });
    menu.exec(QCursor::pos());
}

void LaserScanView::onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                                       QVector<ushort> intensityVec)
{
    const qreal zoom = viewZoom(transform());
    m_trackingLine->setPen(QPen(Qt::red, zoom < 1 ? 1 : int(1 / zoom)));

    QPointF mouse;
    std::optional<float> mouseAngle;
    if (trackMouse) {
        mouse = mapToScene(lastMousePos);
        float angle = float(std::atan2(-mouse.y(), mouse.x()) * 180 / 3.14159f);
        if (angle >= -180 && angle < -90)
            angle += 360;
        mouseAngle = angle;
    }
    m_points->setTrackedDirection(mouseAngle);
    const int tracked = m_points->showScan(angleVec, rangeVec, intensityVec, zoom);
    if (tracked < 0)
        return;

    // Of the points within the cursor's direction, the last one is read out.
    const float theta = angleVec[tracked] * 3.14159f / 180.0f;
    const ushort range = rangeVec.value(tracked);
    const double x = range * std::cos(theta) / 1000.0;
    const double y = range * std::sin(theta) / 1000.0;
    form->trackedPointPositionLabel->setText(
        QStringLiteral("(%1, %2)").arg(x, 0, 'f', 3).arg(y, 0, 'f', 3));
    form->trackedPointDistanceLabel->setText(QString::number(std::hypot(x, y), 'f', 3));
    form->trackedPointIntensityLabel->setText(QString::number(intensityVec.value(tracked)));
    m_trackingLine->setLine(0, 0, mouse.x(), mouse.y());
}

void LaserScanView::setLockGrid(bool locked)
{
    lockGrid = locked;
    applyGridOrientation();
}

void LaserScanView::setTrackMouse(bool track)
{
    trackMouse = track;
    if (!track) {
        form->trackedPointPositionLabel->setText(kNoValue);
        form->trackedPointDistanceLabel->setText(kNoValue);
        form->trackedPointIntensityLabel->setText(kNoValue);
    }
    m_trackingLine->setVisible(track);
}

void LaserScanView::setRenderIntensities(bool render)
{
    m_points->setRenderIntensities(render);
}

void LaserScanView::resetView()
{
    resetTransform();
    applyGridOrientation();
    fitInView(QRectF(-1000, -1000, 2000, 2000), Qt::KeepAspectRatio);
    centerOn(0, 0);
}

void LaserScanView::applyGridOrientation()
{
    const QTransform t = transform();
    gridOrientation->setRotation(lockGrid ? qRadiansToDegrees(std::atan2(t.m12(), t.m11())) : 0.0);
}

void LaserScanView::mousePressEvent(QMouseEvent *event)
{
    if ((event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier)) ||
        event->button() == Qt::MiddleButton)
        panning = true;
    lastMousePos = event->pos();
}

void LaserScanView::mouseReleaseEvent(QMouseEvent *event)
{
    panning = false;
    QGraphicsView::mouseReleaseEvent(event);
}

void LaserScanView::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF scenePos = mapToScene(event->pos());
    const double x = scenePos.x() / 100;
    const double y = -scenePos.y() / 100;
    form->cursorPositionLabel->setText(
        QStringLiteral("(%1, %2)").arg(x, 0, 'f', 3).arg(y, 0, 'f', 3));
    form->cursorDistanceLabel->setText(QString::number(std::sqrt(x * x + y * y), 'f', 2));

    if (panning) {
        if ((event->modifiers() & Qt::ShiftModifier) || (event->buttons() & Qt::MiddleButton)) {
            const QPointF last = mapToScene(lastMousePos);
            translate(scenePos.x() - last.x(), scenePos.y() - last.y());
        } else {
            panning = false;
        }
    }
    lastMousePos = event->pos();
    QGraphicsView::mouseMoveEvent(event);
}

void LaserScanView::wheelEvent(QWheelEvent *event)
{
    const qreal zoom = viewZoom(transform());
    const qreal factor = event->angleDelta().y() > 0 ? 1.2 : 0.8333333333333334;
    scale(factor, factor);
    m_gridItem->setPen(QPen(Qt::gray, zoom < 1 ? 1 : int(1 / zoom)));
}

void LaserScanView::showEvent(QShowEvent *event)
{
    QGraphicsView::showEvent(event);
    fitOnFirstShow(this, &firstShowDone);
}
