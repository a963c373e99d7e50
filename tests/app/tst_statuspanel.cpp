// The status panel on the window's form, fed with zone records of its own rather than a
// store: which channel it asks for, and when.

#include "areasettings.h"
#include "statuspanel.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QGraphicsPathItem>
#include <QMainWindow>
#include <QtTest>

namespace {
// Outlines are clipped to the field of view, which trims fractions off their edges.
QRect rounded(const QRectF &r)
{
    return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height()));
}

ZoneAreaRecord area(int type, const QVector<QPoint> &points)
{
    ZoneAreaRecord a;
    a.regionType = quint8(type);
    a.points = points;
    return a;
}

// The form with a panel whose zones come from a table, every request for them logged.
struct Page
{
    QMainWindow host;
    Ui::MainWindow form;
    QList<int> asked;
    QMap<int, ZoneChannelRecord> stored;
    std::unique_ptr<StatusPanel> panel;

    Page()
    {
        form.setupUi(&host);
        panel = std::make_unique<StatusPanel>(&form, [this](int channel) {
            asked << channel;
            return stored.value(channel);
        });
    }
    QRect drawn(int k) const { return rounded(panel->zoneItem(k)->path().boundingRect()); }
};
} // namespace

class TestStatusPanel : public QObject
{
    Q_OBJECT

private slots:
    void theInputsChooseTheChannelDrawn()
    {
        Page page;
        page.stored[0][0] = area(PolygonRegion, {{-1000, 1000}, {1000, 1000}});
        page.stored[5][2] =
            area(RectangleRegion, {{-500, 300}, {-500, 800}, {500, 800}, {500, 300}});
        // The first message draws whatever its input byte, even the 0 a fresh panel shows.
        page.panel->showState(0, 0);
        QCOMPARE(page.asked, QList<int>{0});
        QCOMPARE(page.drawn(0), QRect(-100, -100, 200, 100));
        // 150 messages a second with the same inputs ask for nothing more.
        for (int i = 0; i < 3; ++i)
            page.panel->showState(0x0F, 0);
        QCOMPARE(page.asked, QList<int>{0});
        page.panel->showState(0, 5);
        QCOMPARE(page.asked, (QList<int>{0, 5}));
        QCOMPARE(page.panel->shownChannel(), 5);
        QVERIFY(page.drawn(0).isEmpty());
        QCOMPARE(page.drawn(2), QRect(-50, -80, 100, 80));

        // Its zones changed: a redraw asks again for the channel the inputs chose.
        page.stored[5][2] = area(NoRegion, {});
        page.panel->redraw();
        QCOMPARE(page.asked, (QList<int>{0, 5, 5}));
        QVERIFY(page.drawn(2).isEmpty());
    }

    void areaOutlines_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVector<QPoint>>("points"); // millimetres, y forward
        QTest::addColumn<bool>("drawn");
        QTest::addColumn<QRect>("bounds"); // scene units, y down
        QTest::newRow("polygon") << int(PolygonRegion)
                                 << QVector<QPoint>{{-1000, 1000}, {1000, 1000}} << true
                                 << QRect(-100, -100, 200, 100);
        QTest::newRow("arc, 2 m out") << int(ArcRegion) << QVector<QPoint>{{2000, 0}, {-2000, 0}}
                                      << true << QRect(-200, -200, 400, 200);
        QTest::newRow("rectangle ahead")
            << int(RectangleRegion)
            << QVector<QPoint>{{-500, 300}, {-500, 800}, {500, 800}, {500, 300}} << true
            << QRect(-50, -80, 100, 80);
        QTest::newRow("none") << int(NoRegion) << QVector<QPoint>{{3000, 3000}} << true << QRect();
        // The single-value types have no outline: the one drawn before stays.
        QTest::newRow("single value") << 6 << QVector<QPoint>{{3000, 3000}} << false << QRect();
    }
    void areaOutlines()
    {
        QFETCH(int, type);
        QFETCH(QVector<QPoint>, points);
        QPainterPath outline;
        outline.addRect(1, 2, 3, 4);
        QTEST(StatusPanel::areaOutline(area(type, points), &outline), "drawn");
        QFETCH(bool, drawn);
        if (drawn)
            QTEST(rounded(outline.boundingRect()), "bounds");
        else
            QCOMPARE(outline.boundingRect(), QRectF(1, 2, 3, 4));
    }
};

QTEST_MAIN(TestStatusPanel)
#include "tst_statuspanel.moc"
