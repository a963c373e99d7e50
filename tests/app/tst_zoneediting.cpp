// Zone editing at scale on the real window: copy and paste of areas, a channel copied to a
// list of channels, the mirror, the handles' size on the screen at every zoom, the wheel
// zoom about the cursor, snapped drags and unsnapped typed values, and the keys on the
// selected vertex. Each edit is checked in the store and taken back in one step.
#include "lgraphicsview.h"
#include "pathitem.h"
#include "rectangleitem.h"
#include "studiorig.h"
#include "zoneedit.h"
#include "zonestorefile.h"

#include <QStandardItemModel>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

namespace {

AreaSettings polygon(std::initializer_list<QPointF> points, quint8 onDelay = 0)
{
    AreaSettings a;
    a.regionType = PolygonRegion;
    a.onDelay = onDelay;
    a.offDelay = quint8(onDelay + 1);
    a.hysteresis = quint8(onDelay + 2);
    a.detectableSize = 3;
    a.points = points;
    return a;
}

// The zone page of the real window, offline.
struct Page
{
    StudioRig rig;
    MainWindow &window = rig.offlineWindow();
    Ui::MainWindow *ui = window.ui();
    ZoneEditor *editor = window.zoneEditor();
    ZoneStoreFile *store = window.zoneStoreFile();
    LGraphicsView *view = ui->areaMonitorGraphicsView;
    QUndoStack *history = editor->undoStack();

    Page()
    {
        QVERIFY(rig.show(1));
        view->resetView(); // only the first view of a process resets itself
    }
    QPoint at(const QPointF &scene) const
    {
        return view->viewport()->mapTo(&window, view->mapFromScene(scene));
    }
    void drag(const QPointF &from, const QPointF &to)
    {
        QWindow *w = window.windowHandle();
        QTest::mousePress(w, Qt::LeftButton, {}, at(from));
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(w, at(from + (to - from) * step / 4));
        QTest::mouseRelease(w, Qt::LeftButton, {}, at(to));
    }
    // The area's stored record as the editor's record would be stored.
    QVector<QPoint> storedPoints(int channel, int area) const
    {
        return store->channel(channel)[size_t(area)].points;
    }
    void showChannel(int channel) { ui->channels->setCurrentIndex(channel); }
    void showArea(int area) { ui->areas->setCurrentIndex(area); }
    RectangleItem *handle(int k) const { return editor->handles()[k]; }
    void selectVertex(int k)
    {
        view->setFocus();
        view->scene()->clearSelection();
        handle(k)->setSelected(true);
        handle(k)->setFocus();
    }
};

} // namespace

class TestZoneEditing : public QObject
{
    Q_OBJECT

private slots:
    void pasteReplacesTheEditedArea_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("area");
        QTest::newRow("same channel, other area") << 0 << 2;
        QTest::newRow("other channel, same area") << 7 << 0;
        QTest::newRow("other channel, other area") << 63 << 1;
    }
    void pasteReplacesTheEditedArea()
    {
        QFETCH(int, channel);
        QFETCH(int, area);
        Page p;
        const AreaSettings source = polygon({{-50, -80}, {60, -90}, {0, -200}}, 4);
        p.editor->replaceAreaRecord(0, source);
        QVERIFY(p.editor->saveChannel());
        const QVector<QPoint> sourceStored = p.storedPoints(0, 0);
        p.ui->actionCopyArea->trigger();

        p.showChannel(channel);
        p.showArea(area);
        const ZoneAreaRecord before = p.store->channel(channel)[size_t(area)];
        const int steps = p.history->count();
        p.ui->actionPasteArea->trigger();

        QCOMPARE(p.editor->areaRecord(area), source);
        // The store took it at once, parameters and all.
        const ZoneAreaRecord pasted = p.store->channel(channel)[size_t(area)];
        QCOMPARE(pasted.points, sourceStored);
        QCOMPARE(int(pasted.onDelay), 4);
        QCOMPARE(int(pasted.hysteresis), 6);
        QVERIFY(p.store->hasUnsentChanges());
        QCOMPARE(p.history->count(), steps + 1);

        p.ui->actionUndo->trigger();
        QCOMPARE(p.store->channel(channel)[size_t(area)], before);
        QVERIFY(p.editor->areaRecord(area) != source);
        p.ui->actionRedo->trigger();
        QCOMPARE(p.store->channel(channel)[size_t(area)], pasted);
    }

    void copyChannelToRanges_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("agree");
        QTest::addColumn<int>("replaced"); // channels replaced; -1: refused before asking
        QTest::newRow("ranges") << "8-15, 20" << true << 9;
        QTest::newRow("own channel left out") << "2-4" << true << 2;
        QTest::newRow("declined") << "8-15, 20" << false << 0;
        QTest::newRow("not a list") << "8-70" << true << -1;
    }
    void copyChannelToRanges()
    {
        QFETCH(QString, typed);
        QFETCH(bool, agree);
        QFETCH(int, replaced);
        Page p;
        p.showChannel(3);
        p.editor->replaceAreaRecord(0, polygon({{-50, -80}, {60, -90}}, 2));
        p.showArea(1);
        QTest::mouseClick(p.ui->arcBtn, Qt::LeftButton);
        p.drag(QPointF(0, 0), QPointF(100, -100));
        p.editor->setChannelListProvider([typed]() { return typed; });
        if (agree)
            p.rig.boxes.answerQuestion(QStringLiteral("&Yes"));
        p.editor->saveChannel();
        const ZoneSet saved = p.store->zones();
        const int steps = p.history->count();
        p.rig.boxes.clear();
        p.ui->actionCopyChannelTo->trigger();

        if (replaced < 0) {
            QCOMPARE(p.rig.boxes.count(), 1);
            QVERIFY(p.rig.boxes.boxes().first().text.contains(QStringLiteral("8-70")));
            QCOMPARE(p.store->zones(), saved);
            return;
        }
        QCOMPARE(p.rig.boxes.count(), 1);
        const QString question = p.rig.boxes.boxes().first().text;
        QVERIFY2(question.contains(QStringLiteral("%1 channels").arg(replaced == 0 ? 9 : replaced)),
                 qPrintable(question));
        if (!agree) {
            QCOMPARE(p.store->zones(), saved);
            QCOMPARE(p.history->count(), steps);
            return;
        }
        QVector<int> targets;
        QString bad;
        QVERIFY(ZoneEdit::parseChannelList(typed, 64, &targets, &bad));
        targets.removeAll(3);
        for (int c = 0; c < 64; ++c) {
            const ZoneChannelRecord expected =
                targets.contains(c) ? saved.channel(3) : saved.channel(c);
            QVERIFY2(p.store->channel(c) == expected, qPrintable(QString::number(c)));
        }
        QVERIFY(p.store->hasUnsentChanges());
        // One step takes all of it back, and the store file with it.
        QCOMPARE(p.history->count(), steps + 1);
        p.ui->actionUndo->trigger();
        QCOMPARE(p.store->zones(), saved);
        ZoneSet reread;
        {
            QSettings file(p.store->fileName(), QSettings::IniFormat);
            reread.load(file);
        }
        QCOMPARE(reread, saved);
        p.ui->actionRedo->trigger();
        QCOMPARE(p.store->channel(targets.last()), saved.channel(3));
    }

    void mirrorSwapsSides()
    {
        Page p;
        AreaSettings rectangle;
        rectangle.regionType = RectangleRegion;
        rectangle.points = {{50, -20}, {50, -80}, {120, -80}, {120, -20}};
        p.editor->replaceAreaRecord(0, rectangle);
        QVERIFY(p.editor->saveChannel());
        const ZoneAreaRecord before = p.store->channel(0)[0];
        const QRectF drawn = p.editor->outlines()[0]->path().boundingRect();
        QVERIFY(drawn.left() >= 0);

        p.ui->actionMirrorArea->trigger();
        const QRectF mirrored = p.editor->outlines()[0]->path().boundingRect();
        QVERIFY(qAbs(mirrored.left() + drawn.right()) < 1e-6);
        QVERIFY(qAbs(mirrored.width() - drawn.width()) < 1e-6);
        for (const QPoint &corner : p.storedPoints(0, 0))
            QVERIFY(corner.x() <= 0);
        p.ui->actionUndo->trigger();
        QCOMPARE(p.store->channel(0)[0], before);
        QCOMPARE(p.editor->outlines()[0]->path().boundingRect(), drawn);
    }

    void editsFollowTheZonePageMode()
    {
        StudioRig rig;
        MainWindow &window = rig.windowAlone();
        Ui::MainWindow *ui = window.ui();
        // Without a scanner and not offline, the zone page cannot be edited.
        for (QAction *edit : {ui->actionPasteArea, ui->actionCopyChannelTo, ui->actionMirrorArea})
            QVERIFY(!edit->isEnabled());
        QVERIFY(ui->actionZoomIn->isEnabled());
        window.workOffline();
        for (QAction *edit : {ui->actionPasteArea, ui->actionCopyChannelTo, ui->actionMirrorArea})
            QVERIFY(edit->isEnabled());
    }

    void handlesKeepTheirScreenSize_data()
    {
        QTest::addColumn<int>("steps"); // zoom steps from the default fit, + in, - out
        QTest::newRow("default") << 0;
        QTest::newRow("in") << 6;
        QTest::newRow("out") << -4;
    }
    void handlesKeepTheirScreenSize()
    {
        QFETCH(int, steps);
        Page p;
        p.editor->replaceAreaRecord(0, polygon({{-300, -300}, {300, -300}, {0, -600}}));
        const QPainterPath outline = p.editor->outlines()[0]->path();
        for (int i = 0; i < qAbs(steps); ++i)
            (steps > 0 ? p.ui->actionZoomIn : p.ui->actionZoomOut)->trigger();
        QCoreApplication::processEvents();
        RectangleItem *h = p.handle(0);
        const QPointF centre = h->scenePos() + QPointF(5, 5);
        const QPoint c = p.view->mapFromScene(centre);
        // The whole marker within a few pixels more than its drawn size, at every zoom.
        const QRect box = p.view->mapFromScene(h->sceneBoundingRect()).boundingRect();
        QVERIFY2(box.width() >= 8 && box.width() <= 18, qPrintable(QString::number(box.width())));
        // Grabbed within 6 px of its centre, and not from afar.
        for (const QPoint &d : {QPoint(5, 0), QPoint(0, -5), QPoint(-4, 3)})
            QVERIFY(p.view->items(c + d).contains(h));
        QVERIFY(!p.view->items(c + QPoint(9, 0)).contains(h));
        // Zooming replaced no outline.
        QCOMPARE(p.editor->outlines()[0]->path(), outline);
    }

    void wheelZoomsAboutTheCursor()
    {
        Page p;
        const QPoint cursor = p.view->viewport()->rect().center() + QPoint(80, -60);
        const QPointF under = p.view->mapToScene(cursor);
        const qreal scale = p.view->pixelsPerUnit();
        for (int delta : {120, 120, -120, 120}) {
            QWheelEvent wheel(QPointF(cursor), p.view->viewport()->mapToGlobal(cursor), QPoint(),
                              QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QCoreApplication::sendEvent(p.view->viewport(), &wheel);
            QVERIFY((p.view->mapToScene(cursor) - under).manhattanLength() <
                    2 / p.view->pixelsPerUnit());
        }
        QVERIFY(qAbs(p.view->pixelsPerUnit() - scale * 1.2 * 1.2) < 1e-9);
        // Fit shows the field of view and an area beyond it.
        p.editor->replaceAreaRecord(2, polygon({{1400, -200}, {1500, -300}}));
        p.ui->actionZoomFit->trigger();
        const QRectF shown = p.view->mapToScene(p.view->viewport()->rect()).boundingRect();
        QVERIFY(shown.contains(QRectF(-1000, -1000, 2500, 2000)));
    }

    void panAndMeasureLeaveTheZonesAlone()
    {
        Page p;
        p.editor->replaceAreaRecord(0, polygon({{-100, -100}, {100, -100}, {0, -300}}));
        const AreaSettings zone = p.editor->areaRecord(0);
        const int steps = p.history->count();
        QWidget *viewport = p.view->viewport();
        // The middle button, and Space with the left button, drag the view along.
        const QPointF handle0 = QPointF(-100, -100);
        for (bool space : {false, true}) {
            const QPoint from = p.view->mapFromScene(handle0);
            const QPoint to = from + QPoint(40, -30);
            if (space)
                QTest::keyPress(p.view, Qt::Key_Space);
            const Qt::MouseButton button = space ? Qt::LeftButton : Qt::MiddleButton;
            const auto send = [viewport](QEvent::Type type, const QPoint &at, Qt::MouseButton which,
                                         Qt::MouseButtons held) {
                QMouseEvent event(type, at, viewport->mapToGlobal(at), which, held, {});
                QCoreApplication::sendEvent(viewport, &event);
            };
            send(QEvent::MouseButtonPress, from, button, button);
            send(QEvent::MouseMove, to, Qt::NoButton, button);
            send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
            if (space)
                QTest::keyRelease(p.view, Qt::Key_Space);
            QVERIFY((p.view->mapToScene(to) - handle0).manhattanLength() <
                    3 / p.view->pixelsPerUnit());
        }
        QCOMPARE(p.editor->areaRecord(0), zone);

        // While measuring, clicks place a line and edit nothing, not even over a handle.
        p.ui->actionMeasure->trigger();
        const QPoint a = p.view->mapFromScene(handle0);
        const QPoint b = p.view->mapFromScene(QPointF(-100, -400));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, a);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, b);
        const QString shown = p.window.statusBar()->currentMessage();
        QVERIFY2(shown.contains(QStringLiteral("90.0")), qPrintable(shown));
        QVERIFY2(shown.contains(QString::number(
                     qRound(QLineF(p.view->mapToScene(a), p.view->mapToScene(b)).length() * 10))),
                 qPrintable(shown));
        QTest::keyClick(p.view, Qt::Key_Escape);
        QVERIFY(p.window.statusBar()->currentMessage().isEmpty());
        p.ui->actionMeasure->trigger();
        QCOMPARE(p.editor->areaRecord(0), zone);
        QCOMPARE(p.history->count(), steps);
    }

    void snapAppliesToDragsOnly_data()
    {
        QTest::addColumn<int>("gridMm");
        QTest::newRow("50 mm") << 50;
        QTest::newRow("500 mm") << 500;
    }
    void snapAppliesToDragsOnly()
    {
        QFETCH(int, gridMm);
        Page p;
        QTest::mouseClick(p.ui->polygonBtn, Qt::LeftButton);
        p.ui->actionSnapToGrid->trigger();
        QVERIFY(p.editor->isSnapping());
        p.editor->setSnapGridMm(gridMm);
        p.drag(QPointF(0, 0), QPointF(123.4, -267.9));
        const QPointF v = p.editor->areaRecord(0).points.value(0);
        const qreal step = gridMm / 10.0;
        QVERIFY2(qAbs(std::remainder(v.x(), step)) < 1e-9 &&
                     qAbs(std::remainder(v.y(), step)) < 1e-9,
                 qPrintable(QStringLiteral("%1 %2").arg(v.x()).arg(v.y())));
        QVERIFY((v - QPointF(123.4, -267.9)).manhattanLength() <= step + 2);
        // A typed value lands where it is typed.
        QStandardItemModel *model = p.editor->pointModel();
        const QModelIndex x = model->index(0, 0);
        QTest::mouseClick(p.ui->tableView->viewport(), Qt::LeftButton, {},
                          p.ui->tableView->visualRect(x).center());
        model->setData(x, 1237);
        QCOMPARE(p.editor->areaRecord(0).points.value(0).x(), 123.7);
        p.ui->actionSnapToGrid->trigger();
        QVERIFY(!p.editor->isSnapping());
    }

    void keysMoveDeleteAndCycleVertices()
    {
        Page p;
        p.editor->replaceAreaRecord(0, polygon({{-100, -100}, {100, -100}, {0, -300}, {50, -50}}));
        const AreaSettings start = p.editor->areaRecord(0);
        const int steps = p.history->count();
        p.selectVertex(1);
        QTest::keyClick(p.view, Qt::Key_Right);
        QTest::keyClick(p.view, Qt::Key_Right);
        QTest::keyClick(p.view, Qt::Key_Up, Qt::ShiftModifier);
        QTest::keyClick(p.view, Qt::Key_Down);
        // 20 mm right, 100 up and 10 down: in scene units (10 mm, y down).
        QCOMPARE(p.editor->areaRecord(0).points[1], QPointF(102, -109));
        QCOMPARE(p.history->count(), steps + 1);
        QCOMPARE(p.editor->pointModel()->index(1, 0).data().toInt(), 1020);
        p.ui->actionUndo->trigger();
        QCOMPARE(p.editor->areaRecord(0), start);

        // Another vertex starts a new series.
        p.selectVertex(1);
        QTest::keyClick(p.view, Qt::Key_Left);
        QTest::keyClick(p.view, Qt::Key_Tab);
        QCOMPARE(p.editor->selectedVertex(), 2);
        QTest::keyClick(p.view, Qt::Key_Left);
        QCOMPARE(p.history->count(), p.history->index());
        QCOMPARE(p.history->index(), steps + 2);
        QTest::keyClick(p.view, Qt::Key_Tab);
        QTest::keyClick(p.view, Qt::Key_Tab);
        QCOMPARE(p.editor->selectedVertex(), 0);

        QTest::keyClick(p.view, Qt::Key_Delete);
        QCOMPARE(p.editor->areaRecord(0).points.size(), 3);
        QCOMPARE(p.editor->areaRecord(0).points[0], QPointF(99, -100));
        QCOMPARE(p.editor->pointModel()->rowCount(), 4); // three rows and the add row
        p.ui->actionUndo->trigger();
        QCOMPARE(p.editor->areaRecord(0).points.size(), 4);

        // An arc's vertex moves with its partner; Delete leaves its two vertices.
        p.showArea(1);
        QTest::mouseClick(p.ui->arcBtn, Qt::LeftButton);
        p.drag(QPointF(0, 0), QPointF(100, -100));
        p.selectVertex(0);
        QTest::keyClick(p.view, Qt::Key_Delete);
        QCOMPARE(p.editor->areaRecord(1).points.size(), 2);
    }
};

QTEST_MAIN(TestZoneEditing)
#include "tst_zoneediting.moc"
