// The squares both scan displays draw their scans with.

#include "intensitycolor.h"
#include "scanpointlayer.h"

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {
QVector<float> halfDegrees(int count, float from)
{
    QVector<float> angles;
    for (int i = 0; i < count; ++i)
        angles.append(from + 0.5f * i);
    return angles;
}

QImage rendered(QGraphicsScene &scene, const QRectF &source)
{
    QImage image(300, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(image.rect()), source);
    return image;
}

// Counts the paint events of a widget.
class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

int visibleSquares(const ScanPointLayer &layer)
{
    int n = 0;
    const QList<QGraphicsItem *> children = layer.childItems();
    for (QGraphicsItem *child : children)
        n += child->isVisible();
    return n;
}
} // namespace

class TestScanPointLayer : public QObject
{
    Q_OBJECT

private slots:
    // A stream with one damaged frame per batch alternates 540 and 450 points: the pool
    // keeps its squares, in order, and hides the spare ones.
    void scansOfChangingLengthReuseTheSquares()
    {
        QGraphicsScene scene;
        auto *layer = new ScanPointLayer;
        scene.addItem(layer);
        const QVector<ushort> ranges(540, 1000), intensities(540, 0);
        layer->showScan(halfDegrees(540, -45), ranges, intensities, 1);
        const QList<QGraphicsItem *> pool = layer->childItems();
        QCOMPARE(pool.size(), 540);
        for (int i = 0; i < 540; ++i)
            QCOMPARE(static_cast<QGraphicsItem *>(layer->square(i)), pool[i]);

        layer->showScan(halfDegrees(450, 0), ranges.mid(0, 450), intensities.mid(0, 450), 1);
        QCOMPARE(layer->squareCount(), 450);
        QCOMPARE(visibleSquares(*layer), 450);
        QVERIFY(!pool[450]->isVisible() && !pool[539]->isVisible());
        // Square i shows measurement i of the scan, whatever it showed before.
        QCOMPARE(layer->square(0)->pos(), scanPointPosition(0, 1000));

        layer->showScan(halfDegrees(540, -45), ranges, intensities, 1);
        QCOMPARE(layer->childItems(), pool);
        QCOMPARE(visibleSquares(*layer), 540);
        // Only the scan view asks its squares to carry their echo.
        QVERIFY(!layer->square(0)->data(1).isValid());
        layer->setKeepEchoData(true);
        layer->showScan({10}, {1234}, {99}, 1);
        QCOMPARE(layer->square(0)->data(1).toInt(), 1234);
        QCOMPARE(layer->square(0)->data(2).toInt(), 99);
        QCOMPARE(visibleSquares(*layer), 1);
    }

    // The layer draws its squares in one pass: the picture must be the one the squares
    // would draw as items of their own, zoomed in (squares at a third) and out.
    void drawsWhatItsSquaresWould_data()
    {
        QTest::addColumn<qreal>("zoom");
        QTest::addColumn<QRectF>("source");
        QTest::newRow("zoomed out") << 0.5 << QRectF(-600, -600, 1200, 1200);
        QTest::newRow("zoomed in") << 3.0 << QRectF(-50, -100, 100, 100);
    }
    void drawsWhatItsSquaresWould()
    {
        QFETCH(qreal, zoom);
        QFETCH(QRectF, source);
        QGraphicsScene layered, itemised;
        auto *layer = new ScanPointLayer;
        layered.addItem(layer);
        QVector<ushort> ranges, intensities;
        for (int i = 0; i < 360; ++i) {
            ranges.append(ushort(i % 7 ? 200 + 15 * i : 0));
            intensities.append(ushort(12 * i));
        }
        layer->setTrackedDirection(60.0f);
        layer->showScan(halfDegrees(360, 0), ranges, intensities, zoom);
        for (int i = 0; i < layer->squareCount(); ++i) {
            const QGraphicsRectItem *square = layer->square(i);
            auto *own = new QGraphicsRectItem(square->rect());
            own->setPen(square->pen());
            own->setBrush(square->brush());
            own->setScale(square->scale());
            own->setPos(square->pos());
            own->setVisible(square->isVisible());
            itemised.addItem(own);
        }
        const QImage expected = rendered(itemised, source);
        QGraphicsScene empty;
        QVERIFY(expected != rendered(empty, source)); // the squares are in the picture
        QCOMPARE(rendered(layered, source), expected);
    }

    void aScanRepaintsTheView()
    {
        QGraphicsScene scene(-500, -500, 1000, 1000);
        auto *layer = new ScanPointLayer;
        scene.addItem(layer);
        QGraphicsView view(&scene);
        view.resize(200, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        layer->showScan({90}, {1000}, {0}, 1);
        PaintCounter paints;
        view.viewport()->installEventFilter(&paints);
        QTest::qWait(50);
        paints.count = 0;
        layer->showScan({90}, {2000}, {0}, 1);
        QTRY_VERIFY(paints.count > 0);
    }

    void theTrackedDirectionPaintsItsPointsRed()
    {
        ScanPointLayer layer;
        const QVector<float> angles{89.5f, 89.9f, 90.0f, 90.2f, 90.3f, 270.0f};
        const QVector<ushort> ranges(6, 2000), intensities(6, 2048);
        layer.setTrackedDirection(90.0f);
        QCOMPARE(layer.showScan(angles, ranges, intensities, 1), 3); // the last within 0.2
        for (int i = 0; i < angles.size(); ++i)
            QCOMPARE(layer.square(i)->brush().color() == QColor(Qt::red), i >= 1 && i <= 3);
        QCOMPARE(layer.square(0)->pen().color().rgba(), intensityColor(2048));

        layer.setTrackedDirection(std::nullopt);
        layer.setRenderIntensities(false);
        QCOMPARE(layer.showScan(angles, ranges, intensities, 1), -1);
        for (int i = 0; i < angles.size(); ++i) {
            QCOMPARE(layer.square(i)->brush().color(), QColor(Qt::blue));
            QCOMPARE(layer.square(i)->pen().color(), QColor(Qt::blue));
        }
    }
};

QTEST_MAIN(TestScanPointLayer)
#include "tst_scanpointlayer.moc"
