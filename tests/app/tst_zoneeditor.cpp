#include "lgraphicsview.h"
#include "pathitem.h"
#include "pointstext.h"
#include "rectangleitem.h"
#include "studiorig.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonegeometry.h"
#include "zonestorefile.h"

#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QtTest>

using ZoneGeometry::sceneToMm;

namespace {
const QPointF kOnScanner(-5, -5); // handle position of a vertex on the scanner

// The real window on its zone page, driven through the mouse and the table.
struct Editor
{
    StudioRig rig;
    MainWindow &window = rig.offlineWindow();
    Ui::MainWindow *ui = window.ui();
    LGraphicsView *view = ui->areaMonitorGraphicsView;
    QStandardItemModel *model = qobject_cast<QStandardItemModel *>(ui->tableView->model());
    QVector<RectangleItem *> handles = QVector<RectangleItem *>(540);
    QVector<PathItem *> outlines = QVector<PathItem *>(3);

    Editor()
    {
        QVERIFY(rig.show(1));
        view->resetView(); // only the first view of a process resets itself
        const QList<QGraphicsItem *> items = view->scene()->items();
        for (QGraphicsItem *item : items) {
            if (item->type() == RectangleItem::Type)
                handles[item->data(3).toInt()] = static_cast<RectangleItem *>(item);
            else if (item->type() == PathItem::Type)
                outlines[static_cast<PathItem *>(item)->areaId()] = static_cast<PathItem *>(item);
        }
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
    void click(const QPointF &scene)
    {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at(scene));
    }
    void press(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    QPointF vertexOf(int i) const { return handles[i]->pos() + QPointF(5, 5); }

    // A user edit of one cell: the click that marks the table touched, then the commit.
    void setCell(int row, int column, const QVariant &value)
    {
        const QModelIndex index = model->index(row, column);
        ui->tableView->scrollTo(index);
        QTest::mouseClick(ui->tableView->viewport(), Qt::LeftButton, {},
                          ui->tableView->visualRect(index).center());
        model->setData(index, value);
    }
    void addVertex(int xMm, int yMm)
    {
        const int row = model->rowCount() - 1;
        setCell(row, 0, xMm);
        setCell(row, 1, yMm);
    }
    // "header:x,y" per row.
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << QStringLiteral("%1:%2,%3")
                       .arg(model->headerData(r, Qt::Vertical).toString(),
                            model->index(r, 0).data().toString(),
                            model->index(r, 1).data().toString());
        return out;
    }
    QString rowOf(const QPointF &vertex) const
    {
        const QPoint mm = sceneToMm(vertex);
        return QStringLiteral("%1,%2").arg(mm.x()).arg(mm.y());
    }
    int visibleHandles() const
    {
        return int(std::count_if(handles.begin(), handles.end(),
                                 [](RectangleItem *h) { return h->isVisible(); }));
    }
};

// Points in one fixed order, so that lists of corners compare whatever their order.
QVector<QPointF> sortedCorners(QVector<QPointF> corners)
{
    std::sort(corners.begin(), corners.end(), [](const QPointF &a, const QPointF &b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    return corners;
}

// Corner k of the edited rectangle went to `to`: the area is the rectangle between it and
// the corner opposite, and the rows, handles and outline show it.
void checkCornerMoved(Editor &e, const QVector<QPointF> &before, int k, const QPointF &to)
{
    QPointF across;
    for (const QPointF &p : before)
        if (p.x() != before[k].x() && p.y() != before[k].y())
            across = p;
    const QVector<QPointF> after = e.window.zoneEditor()->areaRecord(0).points;
    QCOMPARE(after.value(k), to);
    QCOMPARE(sortedCorners(after),
             sortedCorners({to, across, QPointF(to.x(), across.y()), QPointF(across.x(), to.y())}));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(e.rows()[i], QStringLiteral("%1:%2").arg(i + 1).arg(e.rowOf(after[i])));
        QCOMPARE(e.vertexOf(i), after[i]);
    }
    QVERIFY(e.outlines[0]->path().contains(QRectF(to, across).center()));
}
} // namespace

class TestZoneEditor : public QObject
{
    Q_OBJECT

private slots:
    void drawingAPolygonTakesTheNextFreeHandle()
    {
        Editor e;
        e.press(e.ui->polygonBtn);
        QCOMPARE(e.visibleHandles(), 540);
        QCOMPARE(e.rows(), QStringList{"+:0,0"});

        const QPointF targets[3] = {{300, -500}, {-400, -300}, {100, 200}};
        for (int i = 0; i < 3; ++i) {
            e.drag(QPointF(0, 0), targets[i]);
            QVERIFY(QLineF(e.vertexOf(i), targets[i]).length() < 10);
            QCOMPARE(e.handles[i + 1]->pos(), kOnScanner);
        }
        const QStringList drawn = e.rows();
        QCOMPARE(drawn.size(), 4);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(drawn[i], QStringLiteral("%1:%2").arg(i + 1).arg(e.rowOf(e.vertexOf(i))));
        QCOMPARE(drawn[3], QStringLiteral("+:0,0"));
        QVERIFY(e.outlines[0]->path().contains(QPointF(0, -200)));
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.size(), 3);

        // Typing into the add row appends a vertex and moves the next free handle there.
        QTest::mouseClick(e.ui->tableView->viewport(), Qt::LeftButton, {},
                          e.ui->tableView->visualRect(e.model->index(3, 0)).center());
        e.ui->tableView->edit(e.model->index(3, 0));
        auto *editor = qobject_cast<QSpinBox *>(e.ui->tableView->indexWidget(e.model->index(3, 0)));
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "1500");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(e.window.zoneEditor()->areaRecord(0).points.value(3), QPointF(150, 0));
        QCOMPARE(e.handles[3]->pos(), QPointF(145, -5));
        QCOMPARE(e.rows().mid(3), (QStringList{"4:1500,0", "+:0,0"}));
        e.setCell(3, 1, 2000);
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.value(3), QPointF(150, -200));
        QCOMPARE(e.handles[3]->pos(), QPointF(145, -205));
    }

    void closingWithAnOpenCellEditor()
    {
        auto e = std::make_unique<Editor>();
        e->press(e->ui->polygonBtn);
        const QModelIndex cell = e->model->index(0, 0);
        QTest::mouseClick(e->ui->tableView->viewport(), Qt::LeftButton, {},
                          e->ui->tableView->visualRect(cell).center());
        e->ui->tableView->edit(cell);
        QVERIFY(e->ui->tableView->indexWidget(cell));
        QTest::keyClicks(e->ui->tableView->indexWidget(cell), "7");
        // The commit comes while the window's children are torn down, after the window's
        // own members are gone: a window still listening then works on freed records.
        QObject probe;
        QStringList committed;
        connect(e->model, &QStandardItemModel::itemChanged, &probe,
                [&committed](QStandardItem *item) { committed << item->text(); });
        e.reset();
        QCOMPARE(committed, QStringList{"7"});
    }

    void draggedHandleStopsAtTheSquareEdge()
    {
        Editor e;
        e.press(e.ui->polygonBtn);
        const QRectF visible = e.view->mapToScene(e.view->viewport()->rect()).boundingRect();
        QVERIFY2(visible.bottom() > 1100, "the view must show beyond the edge");
        e.drag(QPointF(0, 0), QPointF(300, 1080));
        QCOMPARE(e.handles[0]->pos().y(), 1000.0);
        QVERIFY(qAbs(e.handles[0]->pos().x() - 295) < 8);
        e.drag(e.vertexOf(0), QPointF(-200, -1080));
        QCOMPARE(e.handles[0]->pos().y(), -1000.0);
        QVERIFY(qAbs(e.handles[0]->pos().x() + 205) < 8);
        QCOMPARE(e.rows().first(), QStringLiteral("1:%1").arg(e.rowOf(e.vertexOf(0))));
    }

    void typedCellsKeepWhatTheScannerCanStore_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("typed");
        QTest::addColumn<QPointF>("vertex");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QPointF>("handle");
        QTest::addColumn<QString>("status");
        const QPointF before(100, -50);
        const QPointF onIt(95, -55);
        const QString notANumber = "\"%1\" is not a number of millimetres; the vertex was not "
                                   "changed";
        const QString tooFar = "%1 mm lies outside the -32768 to 32767 mm the scanner can "
                               "store; the vertex was not changed";
        QTest::newRow("text") << 0 << QVariant("abc") << before << "1000,500" << onIt
                              << notANumber.arg("abc");
        QTest::newRow("not finite")
            << 0 << QVariant("inf") << before << "1000,500" << onIt << notANumber.arg("inf");
        QTest::newRow("fraction") << 0 << QVariant("12.5") << QPointF(1.2, -50) << "12,500"
                                  << QPointF(-3.8, -55) << QString();
        // Beyond the handles' reach but within the field of view's clipped edge: kept.
        QTest::newRow("15 m right") << 0 << QVariant(15000) << QPointF(1500, -50) << "15000,500"
                                    << QPointF(1000, -55) << QString();
        QTest::newRow("10 m left") << 0 << QVariant("-10000") << QPointF(-1000, -50) << "-10000,500"
                                   << QPointF(-1000, -55) << QString();
        QTest::newRow("largest") << 1 << QVariant(32767) << QPointF(100, -3276.7) << "1000,32767"
                                 << QPointF(95, -1000) << QString();
        QTest::newRow("smallest") << 1 << QVariant(-32768) << QPointF(100, 3276.8) << "1000,-32768"
                                  << QPointF(95, 1000) << QString();
        QTest::newRow("beyond 16 bits")
            << 0 << QVariant(32768) << before << "1000,500" << onIt << tooFar.arg(32768);
        QTest::newRow("beyond 16 bits below")
            << 1 << QVariant("-40000") << before << "1000,500" << onIt << tooFar.arg(-40000);
    }

    void typedCellsKeepWhatTheScannerCanStore()
    {
        QFETCH(int, column);
        QFETCH(QVariant, typed);
        QFETCH(QPointF, vertex);
        QFETCH(QString, row);
        QFETCH(QPointF, handle);
        QFETCH(QString, status);
        Editor e;
        e.press(e.ui->polygonBtn);
        e.addVertex(1000, 500);
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points, QVector<QPointF>{QPointF(100, -50)});
        e.setCell(0, column, typed);
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points, QVector<QPointF>{vertex});
        QCOMPARE(e.rows().first(), "1:" + row);
        QCOMPARE(e.handles[0]->pos(), handle);
        QCOMPARE(e.window.statusBar()->currentMessage(), status);
        e.ui->areas->setCurrentIndex(1);
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.value("Channel0/Area0/Points").toString(), row + ',');
    }

    // An arc edit that would pull the other vertex out of what the scanner can store is
    // refused as a whole.
    void arcPartnerStaysStorable()
    {
        Editor e;
        e.press(e.ui->arcBtn);
        e.setCell(0, 1, 3000);
        QCOMPARE(e.rows(), (QStringList{"1:0,3000", "2:3000,0"}));
        e.setCell(0, 0, 32767);
        QCOMPARE(e.rows(), (QStringList{"1:0,3000", "2:3000,0"}));
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points,
                 (QVector<QPointF>{{0, -300}, {300, 0}}));
        QCOMPARE(e.window.statusBar()->currentMessage(),
                 QStringLiteral("The arc's other vertex would lie outside -32768 to 32767 mm; "
                                "the vertex was not changed"));
        e.setCell(0, 0, 30000);
        QCOMPARE(e.rows(), (QStringList{"1:30000,3000", "2:30149,0"}));
        QVERIFY(e.window.statusBar()->currentMessage().isEmpty());
    }

    void arcAndRectangleStayCoupled()
    {
        Editor e;
        e.press(e.ui->polygonBtn);
        e.addVertex(1000, 500);
        // A new arc drops the polygon at once.
        e.press(e.ui->arcBtn);
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points, (QVector<QPointF>{{0, 0}, {0, 0}}));
        QCOMPARE(e.rows(), (QStringList{"1:0,0", "2:0,0"}));
        QCOMPARE(e.visibleHandles(), 2);
        QVERIFY(e.outlines[0]->path().isEmpty());

        // 3 m ahead: the partner goes to 3 m at its own angle (0 degrees on the scanner).
        e.setCell(0, 1, 3000);
        QCOMPARE(e.rows(), (QStringList{"1:0,3000", "2:3000,0"}));
        e.setCell(1, 0, -1000);
        e.setCell(1, 1, 0);
        QCOMPARE(e.rows(), (QStringList{"1:0,1000", "2:-1000,0"}));
        QCOMPARE(e.vertexOf(0), QPointF(0, -100));
        QVERIFY(e.outlines[0]->path().contains(QPointF(-50, -50)));
        QVERIFY(!e.outlines[0]->path().contains(QPointF(50, -50)));
        // A spare handle is no vertex of an arc.
        e.click(QPointF(-30, -30));
        e.drag(QPointF(0, 0), QPointF(200, 200));
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.size(), 2);
        QCOMPARE(e.handles[2]->pos(), kOnScanner);

        e.press(e.ui->rectangleBtn);
        QCOMPARE(e.rows().size(), 4);
        e.drag(QPointF(0, 0), QPointF(300, -400));
        const QPointF v0 = e.vertexOf(0);
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.value(1).x(), v0.x());
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.value(3).y(), v0.y());
        e.setCell(2, 0, -1000);
        e.setCell(2, 1, 1000);
        const QVector<QPointF> expected = {v0, {v0.x(), -100}, {-100, -100}, {-100, v0.y()}};
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points, expected);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(e.rows()[i], QStringLiteral("%1:%2").arg(i + 1).arg(e.rowOf(expected[i])));
            QCOMPARE(e.vertexOf(i), expected[i]);
        }
        QVERIFY(e.outlines[0]->path().contains(QRectF(expected[0], expected[2]).center()));
    }

    void focusAndOutlineClicks()
    {
        Editor e;
        e.ui->areas->setCurrentIndex(1);
        e.press(e.ui->polygonBtn);
        e.addVertex(-3000, 3000);
        e.addVertex(-3000, -1000);
        e.ui->areas->setCurrentIndex(0);
        e.press(e.ui->polygonBtn);
        e.addVertex(3000, 3000);
        e.addVertex(3000, -1000);
        QSignalSpy picked(e.outlines[0], &PathItem::sendPathId);

        e.click(QPointF(150, -50));
        QCOMPARE(picked.count(), 1);
        e.click(QPointF(150, -60));
        QCOMPARE(picked.count(), 1);
        e.click(QPointF(0, -600)); // empty space takes the focus away
        QCOMPARE(e.visibleHandles(), 0);
        e.click(QPointF(150, -50));
        QCOMPARE(e.visibleHandles(), 540);
        QCOMPARE(picked.count(), 2);

        // The other area's outline selects that area.
        e.click(QPointF(-150, -50));
        QCOMPARE(e.ui->areas->currentIndex(), 1);
        QCOMPARE(e.window.zoneEditor()->editedArea(), 1);
        QCOMPARE(e.rows().size(), 3);
    }

    void switchingAreasRestoresTheArea()
    {
        Editor e;
        e.press(e.ui->rectangleBtn);
        e.setCell(0, 0, 2000);
        e.setCell(0, 1, 4000);
        e.ui->onDelayComboBox->setCurrentIndex(3);
        e.ui->offDelayComboBox->setCurrentIndex(5);
        e.ui->hysteresisComboBox->setCurrentIndex(70);
        e.ui->detectableSizeComboBox->setCurrentIndex(2);
        // A selector that cannot show an index reports -1; the record keeps its value.
        e.ui->onDelayComboBox->setCurrentIndex(-1);
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).onDelay, quint8(3));
        e.ui->onDelayComboBox->setCurrentIndex(3);

        const QStringList rows = e.rows();
        const QPainterPath outline = e.outlines[0]->path();
        const QPointF corner = e.handles[2]->pos();
        e.ui->areas->setCurrentIndex(1);
        QCOMPARE(e.ui->hysteresisComboBox->currentIndex(), 0);
        e.ui->areas->setCurrentIndex(0);
        QCOMPARE(e.rows(), rows);
        QCOMPARE(e.outlines[0]->path(), outline);
        QCOMPARE(e.handles[2]->pos(), corner);
        QCOMPARE(e.ui->onDelayComboBox->currentIndex(), 3);
        QCOMPARE(e.ui->offDelayComboBox->currentIndex(), 5);
        QCOMPARE(e.ui->hysteresisComboBox->currentIndex(), 70);
        QCOMPARE(e.ui->detectableSizeComboBox->currentIndex(), 2);
        QVERIFY(e.ui->rectangleBtn->isChecked());

        // After a channel load the three outlines are rebuilt and the user's area comes back.
        e.ui->areas->setCurrentIndex(1);
        e.press(e.ui->arcBtn);
        e.setCell(0, 1, 3000);
        const QPainterPath arc = e.outlines[1]->path();
        e.window.zoneEditor()->rebuildChannelShapes();
        QCOMPARE(e.window.zoneEditor()->editedArea(), 1);
        QCOMPARE(e.rows(), (QStringList{"1:0,3000", "2:3000,0"}));
        QCOMPARE(e.outlines[0]->path(), outline);
        QCOMPARE(e.outlines[1]->path(), arc);
    }

    void polygonStopsAtOneVertexPerHandle()
    {
        Editor e;
        e.press(e.ui->polygonBtn);
        for (int i = 0; i < 539; ++i) {
            const int row = e.model->rowCount() - 1;
            emit e.ui->tableView->clicked(e.model->index(row, 0));
            e.model->setData(e.model->index(row, 0), 1000 + 10 * i);
        }
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.size(), 539);
        QCOMPARE(e.model->rowCount(), 540);
        // The last free handle lies on the scanner; dragging it adds vertex 540.
        e.drag(QPointF(0, 0), QPointF(-300, -300));
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.size(), 540);
        QCOMPARE(e.model->rowCount(), 540);
        QCOMPARE(e.rows().last(), QStringLiteral("540:%1").arg(e.rowOf(e.vertexOf(539))));
        // Refilled, the table offers no add row either.
        e.ui->areas->setCurrentIndex(1);
        e.ui->areas->setCurrentIndex(0);
        QCOMPARE(e.model->rowCount(), 540);
        QVERIFY(!e.rows().join(' ').contains('+'));
    }

    // A backward delete of the edited area leaves the table with nothing but the add row,
    // and what is typed there is a vertex of the area and reaches the store.
    void backwardDeleteOfTheEditedAreaEmptiesItsTable()
    {
        Editor e;
        e.ui->areas->setCurrentIndex(2);
        e.press(e.ui->arcBtn);
        e.setCell(0, 1, 2000);
        e.press(e.ui->backwardDeleteBtn); // area 2, the edited one
        QCOMPARE(e.rows(), QStringList{"+:0,0"});
        QVERIFY(e.window.zoneEditor()->areaRecord(2).points.isEmpty());
        QVERIFY(e.ui->polygonBtn->isChecked());
        QCOMPARE(e.visibleHandles(), 540);

        e.addVertex(1500, 2500);
        e.addVertex(-1500, 2500);
        QCOMPARE(e.rows(), (QStringList{"1:1500,2500", "2:-1500,2500", "+:0,0"}));
        QCOMPARE(e.window.zoneEditor()->areaRecord(2).points,
                 (QVector<QPointF>{{150, -250}, {-150, -250}}));
        e.ui->areas->setCurrentIndex(0);
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.value("Channel0/Area2/Points").toString(),
                 QStringLiteral("1500,2500,-1500,2500,"));
        QCOMPARE(store.value("Channel0/Area2/regionType").toInt(), int(PolygonRegion));

        // Clearing another area leaves the edited area's rows as they are.
        e.addVertex(1000, 1000);
        const QStringList rows = e.rows();
        e.press(e.ui->backwardDeleteBtn); // area 1
        QCOMPARE(e.rows(), rows);
    }

    // A stored rectangle, whatever the order of its corners, stays a rectangle when one
    // corner is typed or dragged: that corner goes where it is put, the opposite one stays.
    void storedRectanglesStayRectangles_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("left and below") << "-1000,-200,-3000,-200,-3000,1500,-1000,1500,";
        QTest::newRow("right and below") << "1000,1500,3000,1500,3000,-200,1000,-200,";
        QTest::newRow("in front") << "-1000,1000,-1000,3000,2000,3000,2000,1000,";
        QTest::newRow("corners crosswise") << "-1000,1000,2000,3000,-1000,3000,2000,1000,";
    }

    void storedRectanglesStayRectangles()
    {
        QFETCH(QString, stored);
        Editor e;
        ZoneChannelRecord areas = e.window.zoneStoreFile()->channel(3);
        areas[0].regionType = RectangleRegion;
        for (const QPointF &p : parsePointsText(stored))
            areas[0].points.append(p.toPoint());
        e.window.zoneStoreFile()->setScannerChannel(3, areas);
        e.ui->channels->setCurrentIndex(3);
        QCOMPARE(e.window.zoneEditor()->areaRecord(0).points.size(), 4);

        for (int k = 0; k < 4; ++k) {
            const QVector<QPointF> before = e.window.zoneEditor()->areaRecord(0).points;
            const QPoint mm = sceneToMm(before[k]) + QPoint(300, 200);
            e.setCell(k, 0, mm.x());
            e.setCell(k, 1, mm.y());
            checkCornerMoved(e, before, k, ZoneGeometry::mmToScene(mm.x(), mm.y()));
            if (QTest::currentTestFailed())
                return;
        }
        const QVector<QPointF> before = e.window.zoneEditor()->areaRecord(0).points;
        e.drag(e.vertexOf(1), e.vertexOf(1) + QPointF(-40, 30));
        checkCornerMoved(e, before, 1, e.vertexOf(1));
    }
};

QTEST_MAIN(TestZoneEditor)
#include "tst_zoneeditor.moc"
