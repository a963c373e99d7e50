// The running-status indicators and the live scan over the zone editor, driven by the
// window's slots as the worker would drive them.

#include "laserscanview.h"
#include "lgraphicsview.h"
#include "mainwindow.h"
#include "testsupport.h"
#include "ui_laserscanview.h"
#include "ui_mainwindow.h"

#include <QGraphicsItemGroup>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QPixmap>
#include <QtTest>

namespace {
const QString kActive = QStringLiteral("background-color:rgb(0, 153, 115);color:white");
const QString kInactive = QStringLiteral("background-color:gray; color:white");

void sendState(MainWindow &window, uchar output, uchar input)
{
    QVERIFY(QMetaObject::invokeMethod(&window, "onRecvState", Qt::DirectConnection, Q_ARG(uchar, 0),
                                      Q_ARG(uchar, output), Q_ARG(uchar, input)));
}

// Both copies of output n (1..4) and input n (1..6), running-status tab first.
QList<QLabel *> outputIndicators(Ui::MainWindow *ui, int n)
{
    const QList<QList<QLabel *>> all{{ui->stateOutOne, ui->stateOutOne_2},
                                     {ui->stateOutTwo, ui->stateOutTwo_2},
                                     {ui->stateOutThree, ui->stateOutThree_2},
                                     {ui->stateOutFour, ui->stateOutFour_2}};
    return all.at(n - 1);
}

QList<QLabel *> inputIndicators(Ui::MainWindow *ui, int n)
{
    const QList<QList<QLabel *>> all{
        {ui->stateInOne, ui->stateInOne_2},     {ui->stateInTwo, ui->stateInTwo_2},
        {ui->stateInThree, ui->stateInThree_2}, {ui->stateInFour, ui->stateInFour_2},
        {ui->stateInFive, ui->stateInFive_2},   {ui->stateInSix, ui->stateInSix_2}};
    return all.at(n - 1);
}

// The attention, warning and alarm zones of the scan view, told apart by their fill.
QVector<QGraphicsPathItem *> stateZones(Ui::MainWindow *ui)
{
    const QColor fills[3] = {Qt::yellow, QColor(255, 128, 0), Qt::red};
    QVector<QGraphicsPathItem *> zones(3, nullptr);
    const QList<QGraphicsItem *> items = ui->stateGraphicsView->scene()->items();
    for (QGraphicsItem *item : items)
        if (auto *path = qgraphicsitem_cast<QGraphicsPathItem *>(item))
            for (int k = 0; k < 3; ++k)
                if (path->brush().color() == fills[k])
                    zones[k] = path;
    return zones;
}

QGraphicsItemGroup *zoneScanGroup(Ui::MainWindow *ui)
{
    const QList<QGraphicsItem *> items = ui->areaMonitorGraphicsView->zoneScene()->items();
    for (QGraphicsItem *item : items)
        if (auto *group = qgraphicsitem_cast<QGraphicsItemGroup *>(item))
            return group;
    return nullptr;
}

QList<QGraphicsRectItem *> squaresIn(QGraphicsItemGroup *group)
{
    QList<QGraphicsRectItem *> out;
    const QList<QGraphicsItem *> children = group->childItems();
    for (QGraphicsItem *child : children)
        out.append(static_cast<QGraphicsRectItem *>(child));
    return out;
}

// Counts style changes of a widget.
class StyleCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::StyleChange;
        return false;
    }
};
} // namespace

class TestLivePages : public QObject
{
    Q_OBJECT

private slots:
    void statusBitTable_data()
    {
        QTest::addColumn<int>("output");
        QTest::addColumn<int>("input");
        QTest::addColumn<QVector<bool>>("outputs"); // outputs 1..4
        QTest::addColumn<QVector<qreal>>("opacities");
        QTest::addColumn<QVector<bool>>("inputs"); // inputs 1..6
        QTest::addColumn<QString>("channel");

        const QVector<bool> noInputs(6, false);
        QTest::newRow("all outputs, channel 0")
            << 0x0F << 0x00 << QVector<bool>{true, true, true, true}
            << QVector<qreal>{0.4, 0.4, 0.4} << noInputs << "0";
        QTest::newRow("output 4 only, all inputs")
            << 0x01 << 0x3F << QVector<bool>{false, false, false, true}
            << QVector<qreal>{0.2, 0.2, 0.2} << QVector<bool>(6, true) << "63";
        QTest::newRow("attention and alarm, inputs 1 and 3")
            << 0x0A << 0x05 << QVector<bool>{true, false, true, false}
            << QVector<qreal>{0.4, 0.2, 0.4}
            << QVector<bool>{true, false, true, false, false, false} << "5";
        QTest::newRow("high bits shown nowhere")
            << 0xF0 << 0xD0 << QVector<bool>{false, false, false, false}
            << QVector<qreal>{0.2, 0.2, 0.2}
            << QVector<bool>{false, false, false, false, true, false} << "208";
    }
    void statusBitTable()
    {
        QFETCH(int, output);
        QFETCH(int, input);
        QFETCH(QVector<bool>, outputs);
        QFETCH(QVector<qreal>, opacities);
        QFETCH(QVector<bool>, inputs);
        TempWorkingDir dir;
        MainWindow window;
        Ui::MainWindow *ui = window.ui();
        // Start from the opposite of every expected state, so each one has to change.
        sendState(window, uchar(~output), uchar(~input));
        sendState(window, uchar(output), uchar(input));

        for (int n = 1; n <= 4; ++n)
            for (QLabel *label : outputIndicators(ui, n))
                QVERIFY2(label->styleSheet() == (outputs[n - 1] ? kActive : kInactive),
                         qPrintable(label->objectName()));
        for (int n = 1; n <= 6; ++n)
            for (QLabel *label : inputIndicators(ui, n))
                QVERIFY2(label->styleSheet() == (inputs[n - 1] ? kActive : kInactive),
                         qPrintable(label->objectName()));
        const QVector<QGraphicsPathItem *> zones = stateZones(ui);
        for (int k = 0; k < 3; ++k)
            QCOMPARE(zones[k]->opacity(), opacities[k]);
        QTEST(ui->curAreaIndexLabel->text(), "channel");
    }

    void indicatorsRestyledOnlyOnChange()
    {
        TempWorkingDir dir;
        MainWindow window;
        Ui::MainWindow *ui = window.ui();
        sendState(window, 0x02, 0x01);
        QList<QLabel *> all;
        for (int n = 1; n <= 4; ++n)
            all += outputIndicators(ui, n);
        for (int n = 1; n <= 6; ++n)
            all += inputIndicators(ui, n);
        QVector<StyleCounter *> counters;
        for (QLabel *label : all) {
            counters.append(new StyleCounter);
            counters.last()->setParent(label);
            label->installEventFilter(counters.last());
        }
        // A repeated message, as 150 scan frames a second bring, restyles nothing.
        sendState(window, 0x02, 0x01);
        for (int i = 0; i < all.size(); ++i)
            QVERIFY2(counters[i]->count == 0, qPrintable(all[i]->objectName()));
        // Output 1 off and output 2 on: exactly their four labels change.
        sendState(window, 0x04, 0x01);
        for (int i = 0; i < all.size(); ++i) {
            const bool changed = i < 4;
            QVERIFY2((counters[i]->count > 0) == changed, qPrintable(all[i]->objectName()));
        }
        QCOMPARE(ui->stateOutTwo->styleSheet(), kActive);
    }

    void scanPointsOverTheZones()
    {
        TempWorkingDir dir;
        MainWindow window;
        Ui::MainWindow *ui = window.ui();
        QGraphicsItemGroup *group = zoneScanGroup(ui);
        QVERIFY(group);
        // Later items of the same Z value, such as the vertex handles, lie above it.
        auto *handle = new QGraphicsRectItem(0, 0, 10, 10);
        ui->areaMonitorGraphicsView->zoneScene()->addItem(handle);
        const QList<QGraphicsItem *> stack =
            ui->areaMonitorGraphicsView->zoneScene()->items(Qt::AscendingOrder);
        QVERIFY(stack.indexOf(group) < stack.indexOf(handle));

        // 4 screen pixels at 3 pixels per scene unit of the zone view.
        ui->areaMonitorGraphicsView->setTransform(QTransform::fromScale(3, 3));
        window.onRecvAndShowPoint({90.0f, 45.0f}, {1000, 0}, {2048, 100});
        const QList<QGraphicsRectItem *> items = squaresIn(group);
        QCOMPARE(items.size(), 2);
        QVERIFY(qAbs(items[0]->pos().x()) < 0.01 && qAbs(items[0]->pos().y() + 100) < 0.01);
        QCOMPARE(items[0]->brush().color().rgba(), 0xFF7FFF00u);
        QVERIFY(qFuzzyCompare(items[0]->scale(), 1.0 / 3));
        // No echo: hidden, but its square keeps its place in the order.
        QVERIFY(items[0]->isVisible() && !items[1]->isVisible());
    }

    void scanViewImagesAreBuiltIn()
    {
        TempWorkingDir dir;
        MainWindow window;
        QVERIFY(!QPixmap(QStringLiteral(":/resources/images/menu_show.png")).isNull());
        QVERIFY(!QPixmap(QStringLiteral(":/resources/images/menu_hide.png")).isNull());
        auto *view = qobject_cast<LaserScanView *>(window.ui()->stateGraphicsView);
        QVERIFY(view);
        QVERIFY(!view->panel()->label->pixmap(Qt::ReturnByValue).isNull());
    }
};

QTEST_MAIN(TestLivePages)
#include "tst_livepages.moc"
