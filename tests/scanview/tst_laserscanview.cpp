#include "intensitycolor.h"
#include "laserscanview.h"
#include "scanpointlayer.h"
#include "ui_laserscanview.h"

#include <QApplication>
#include <QGraphicsItemGroup>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

namespace {

struct Frame
{
    QVector<float> angles;
    QVector<ushort> ranges;
    QVector<ushort> intensities;
};

// count points at half-degree steps from -45 degrees, each at rangeMm.
Frame frame(int count, ushort rangeMm = 2000)
{
    Frame f;
    for (int i = 0; i < count; ++i) {
        f.angles.append(float(-45.0 + i * 0.5));
        f.ranges.append(rangeMm);
        f.intensities.append(ushort(i * 8));
    }
    return f;
}

void show(LaserScanView &view, const Frame &f)
{
    view.onRecvAndShowPoint(f.angles, f.ranges, f.intensities);
}

QList<QGraphicsRectItem *> squares(LaserScanView &view)
{
    QList<QGraphicsRectItem *> out;
    const QList<QGraphicsItem *> children = view.pointGroup()->childItems();
    for (QGraphicsItem *child : children)
        out.append(static_cast<QGraphicsRectItem *>(child));
    return out;
}

int visibleCount(LaserScanView &view)
{
    int n = 0;
    for (QGraphicsRectItem *item : squares(view))
        n += item->isVisible();
    return n;
}

// Sends a mouse event to the viewport at the pixel that shows scene point at.
void mouse(LaserScanView &view, QEvent::Type type, const QPoint &pixel,
           Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons buttons = Qt::NoButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pixel), QPointF(view.viewport()->mapToGlobal(pixel)), button,
                      buttons, modifiers);
    QApplication::sendEvent(view.viewport(), &event);
}

void wheel(LaserScanView &view, int delta)
{
    const QPointF at(view.viewport()->rect().center());
    QWheelEvent event(at, view.viewport()->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &event);
}

// An untransformed view maps scene units to whole pixels, so readouts come out exact.
void identity(LaserScanView &view)
{
    view.resetTransform();
    view.centerOn(0, 0);
}

} // namespace

class TestLaserScanView : public QObject
{
    Q_OBJECT

private slots:
    void intensityColour_data()
    {
        QTest::addColumn<int>("intensity");
        QTest::addColumn<uint>("argb");
        QTest::newRow("0 blue") << 0 << 0xFF0000FFu;
        QTest::newRow("1 almost blue") << 1 << 0xFF0000FEu;
        QTest::newRow("1024 between blue and green") << 1024 << 0xFF00BF3Fu;
        QTest::newRow("1365 about green") << 1365 << 0xFF00FE00u;
        QTest::newRow("2048 between green and yellow") << 2048 << 0xFF7FFF00u;
        QTest::newRow("2731 about yellow") << 2731 << 0xFFFFFE00u;
        QTest::newRow("4096 red") << 4096 << 0xFFFF0000u;
        QTest::newRow("65535 red") << 65535 << 0xFFFF0000u;
    }
    void intensityColour()
    {
        QFETCH(int, intensity);
        QFETCH(uint, argb);
        QCOMPARE(uint(intensityColor(ushort(intensity))), argb);
        // The shared pens and brushes the squares are given.
        QCOMPARE(uint(intensityPen(ushort(intensity)).color().rgba()), argb);
        QCOMPARE(uint(intensityBrush(ushort(intensity)).color().rgba()), argb);
        QCOMPARE(intensityBrush(ushort(intensity)).style(), Qt::SolidPattern);
    }

    void framesPlaceColourAndReuseSquares()
    {
        LaserScanView view;
        Frame f = frame(500);
        f.angles[0] = 90.0f; // straight ahead is up the screen
        f.angles[1] = 180.0f;
        f.ranges[1] = 400;
        f.intensities[1] = 2048;
        f.ranges[10] = 0; // no echo
        show(view, f);
        const QList<QGraphicsRectItem *> first = squares(view);
        QCOMPARE(first.size(), 500);
        QCOMPARE(visibleCount(view), 499);
        QVERIFY(!first[10]->isVisible());
        QVERIFY(qAbs(first[0]->pos().x()) < 0.01 && qAbs(first[0]->pos().y() + 200) < 0.01);
        QVERIFY(qAbs(first[1]->pos().x() + 40) < 0.01 && qAbs(first[1]->pos().y()) < 0.01);
        QCOMPARE(first[1]->pen().color().rgba(), intensityColor(2048));
        QCOMPARE(first[1]->brush().color().rgba(), intensityColor(2048));
        QCOMPARE(first[1]->data(1).toInt(), 400);
        QCOMPARE(first[1]->data(2).toInt(), 2048);

        // The same length keeps every square, and an echo returning shows it again.
        f.ranges[10] = 1500;
        view.panel()->renderIntensityCheckBox->setChecked(false);
        show(view, f);
        QCOMPARE(squares(view), first);
        QCOMPARE(visibleCount(view), 500);
        QCOMPARE(first[1]->brush().color(), QColor(Qt::blue));

        // One point fewer: only 499 squares show, all at the new frame's places.
        show(view, frame(499, 3000));
        const QList<QGraphicsRectItem *> now = squares(view);
        QCOMPARE(visibleCount(view), 499);
        for (int i = 0; i < 499; ++i)
            QVERIFY(qAbs(QLineF(QPointF(), now[i]->pos()).length() - 300) < 0.01);
        show(view, Frame());
        QCOMPARE(visibleCount(view), 0);

        // Vectors of unequal length: the missing ranges read as "no echo".
        view.onRecvAndShowPoint({10.0f, 20.0f, 30.0f}, {1000}, {});
        QCOMPARE(visibleCount(view), 1);
    }

    void squaresKeepTheirScreenSize_data()
    {
        QTest::addColumn<qreal>("zoom");
        QTest::addColumn<qreal>("itemScale");
        QTest::addColumn<int>("lineWidth");
        QTest::newRow("zoomed out") << 0.4 << 1.0 << 1;
        QTest::newRow("one to one") << 1.0 << 1.0 << 1;
        QTest::newRow("zoomed in") << 3.0 << 1.0 / 3 << 0;
    }
    void squaresKeepTheirScreenSize()
    {
        QFETCH(qreal, zoom);
        LaserScanView view;
        view.setTransform(QTransform::fromScale(zoom, zoom));
        show(view, frame(5));
        for (QGraphicsRectItem *item : squares(view))
            QTEST(item->scale(), "itemScale");
        QTEST(view.trackingLine()->pen().width(), "lineWidth");
        QCOMPARE(view.trackingLine()->pen().color(), QColor(Qt::red));
    }

    void tracksThePointUnderTheCursor_data()
    {
        QTest::addColumn<QPointF>("cursor");
        QTest::addColumn<int>("tracked"); // index in the frame
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("distance");
        // 1000 scene units out the pixel grid is fine enough for the 0.2 degree window.
        QTest::newRow("straight ahead") << QPointF(0, -1000) << 270 << "(0.000, 2.000)"
                                        << "2.000";
        QTest::newRow("-100 degrees matches 260") << QPointF(-174, 985) << 610 << "(-0.347, -1.970)"
                                                  << "2.000";
    }
    void tracksThePointUnderTheCursor()
    {
        QFETCH(QPointF, cursor);
        QFETCH(int, tracked);
        LaserScanView view;
        view.resize(400, 300);
        identity(view);
        view.panel()->trackMouseCheckBox->setChecked(true);
        QVERIFY(view.trackingLine()->isVisible());
        mouse(view, QEvent::MouseMove, view.mapFromScene(cursor));

        // Half-degree points all the way round, so exactly one lies within 0.2 degrees.
        Frame f;
        for (int i = 0; i < 720; ++i) {
            f.angles.append(float(-45.0 + i * 0.5));
            f.ranges.append(2000);
            f.intensities.append(ushort(i));
        }
        show(view, f);
        const QList<QGraphicsRectItem *> items = squares(view);
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items[i]->brush().color() == QColor(Qt::red), i == tracked);
        Ui::LaserScanView *panel = view.panel();
        QTEST(panel->trackedPointPositionLabel->text(), "position");
        QTEST(panel->trackedPointDistanceLabel->text(), "distance");
        QCOMPARE(panel->trackedPointIntensityLabel->text(), QString::number(tracked));
        QCOMPARE(view.trackingLine()->line(), QLineF(QPointF(0, 0), cursor));

        // Switching tracking off blanks the readout and the line.
        panel->trackMouseCheckBox->setChecked(false);
        QVERIFY(!view.trackingLine()->isVisible());
        QCOMPARE(panel->trackedPointPositionLabel->text(), QStringLiteral("--"));
        QCOMPARE(panel->trackedPointDistanceLabel->text(), QStringLiteral("--"));
        QCOMPARE(panel->trackedPointIntensityLabel->text(), QStringLiteral("--"));
        show(view, f);
        for (QGraphicsRectItem *item : squares(view))
            QVERIFY(item->brush().color() != QColor(Qt::red));
    }

    void cursorReadout()
    {
        LaserScanView view;
        view.resize(400, 300);
        identity(view);
        mouse(view, QEvent::MouseMove, view.mapFromScene(QPointF(150, -200)));
        QCOMPARE(view.panel()->cursorPositionLabel->text(), QStringLiteral("(1.500, 2.000)"));
        QCOMPARE(view.panel()->cursorDistanceLabel->text(), QStringLiteral("2.50"));
    }

    void wheelZoomsAndThinsTheGrid()
    {
        LaserScanView view;
        view.resize(400, 300);
        identity(view);
        wheel(view, 120); // from 1:1
        QCOMPARE(view.gridItem()->pen().width(), 1);
        wheel(view, 120);
        wheel(view, 120);
        QVERIFY(qFuzzyCompare(viewZoom(view.transform()), 1.2 * 1.2 * 1.2));
        // Zoomed in the grid is drawn with a one-pixel cosmetic pen.
        QCOMPARE(view.gridItem()->pen().width(), 0);
        for (int i = 0; i < 3; ++i)
            wheel(view, -120);
        QVERIFY(qFuzzyCompare(viewZoom(view.transform()), 1.0));
        wheel(view, -120);
        wheel(view, -120); // from 1 / 1.2
        QCOMPARE(view.gridItem()->pen().width(), 1);
        QVERIFY(qFuzzyCompare(viewZoom(view.transform()), 1 / 1.44));
    }

    void shiftDragAndMiddleDragPan()
    {
        LaserScanView view;
        view.resize(400, 300);
        identity(view);
        const QPoint start(200, 150);
        const QPointF grabbed = view.mapToScene(start);

        mouse(view, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton,
              Qt::ShiftModifier);
        mouse(view, QEvent::MouseMove, start + QPoint(30, 20), Qt::NoButton, Qt::LeftButton,
              Qt::ShiftModifier);
        // The scene follows the cursor.
        QCOMPARE(view.mapFromScene(grabbed), start + QPoint(30, 20));
        mouse(view, QEvent::MouseButtonRelease, start + QPoint(30, 20), Qt::LeftButton);
        mouse(view, QEvent::MouseMove, start + QPoint(80, 20));
        QCOMPARE(view.mapFromScene(grabbed), start + QPoint(30, 20));

        // A plain left drag does not pan; a middle drag does.
        mouse(view, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        mouse(view, QEvent::MouseMove, start + QPoint(-40, 0), Qt::NoButton, Qt::LeftButton);
        mouse(view, QEvent::MouseButtonRelease, start + QPoint(-40, 0), Qt::LeftButton);
        QCOMPARE(view.mapFromScene(grabbed), start + QPoint(30, 20));
        mouse(view, QEvent::MouseButtonPress, start, Qt::MiddleButton, Qt::MiddleButton);
        mouse(view, QEvent::MouseMove, start + QPoint(0, -50), Qt::NoButton, Qt::MiddleButton);
        QCOMPARE(view.mapFromScene(grabbed), start + QPoint(30, -30));
    }

    void contextMenuShowsAndHidesThePanels()
    {
        LaserScanView view;
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        Ui::LaserScanView *panel = view.panel();
        const QList<QWidget *> panels{panel->cursorGroupBox, panel->viewGroupBox,
                                      panel->trackedPointGroupBox};
        for (const QString choice : {"hide", "show"}) {
            QTimer::singleShot(0, [choice]() {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                QVERIFY(menu);
                for (QAction *action : menu->actions())
                    if (action->text() == choice)
                        action->trigger();
                menu->close();
            });
            view.onShowContextMenu(QPoint());
            for (QWidget *w : panels)
                QCOMPARE(w->isVisible(), choice == "show");
        }
        // Menus do not pile up with every right click.
        QTRY_VERIFY(view.findChildren<QMenu *>().isEmpty());
    }
};

QTEST_MAIN(TestLaserScanView)
#include "tst_laserscanview.moc"
