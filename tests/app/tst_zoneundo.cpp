// The zone page's history: every kind of step taken back and done again through the Edit
// menu, with what the editor shows and what the store holds compared before and after.
#include "lgraphicsview.h"
#include "pathitem.h"
#include "rectangleitem.h"
#include "studiorig.h"
#include "zonestore.h"
#include "zonestorefile.h"

#include <QComboBox>
#include <QFile>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardItemModel>
#include <QUndoStack>
#include <QtTest>

#include <cmath>

namespace {

QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 540 vertices on a circle of 5 m, in angular order.
QVector<QPoint> fullPolygon()
{
    QVector<QPoint> points;
    for (int i = 0; i < 540; ++i) {
        const double a = -0.7 + 4.5 * i / 539.0;
        points.append(QPoint(int(5000 * std::cos(a)), int(5000 * std::sin(a))));
    }
    return points;
}

// A zone file every channel of which holds one small triangle in area 1; channel 0's
// attention area holds the 540-vertex polygon.
void writeZoneFile(const QString &path)
{
    QSettings file(path, QSettings::IniFormat);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord record;
        record[1].regionType = 1;
        record[1].onDelay = 3;
        record[1].points = {QPoint(-500, 800), QPoint(500, 800), QPoint(0, 1500 + channel)};
        if (channel == 0) {
            record[0].regionType = 1;
            record[0].hysteresis = 12;
            record[0].points = fullPolygon();
        }
        writeStoredChannel(file, channel, record);
    }
    file.sync();
}

// What the zone page shows of the edited area, to compare before and after a step.
struct PageState
{
    int channel = -1;
    int area = -1;
    QVector<AreaSettings> records;
    QStringList rows;
    QVector<QPainterPath> outlines;
    QVector<QPointF> handles; // the visible ones
    QList<int> selectors;

    bool operator==(const PageState &o) const
    {
        return channel == o.channel && area == o.area && records == o.records && rows == o.rows &&
               outlines == o.outlines && handles == o.handles && selectors == o.selectors;
    }
};

// Found by QCOMPARE for the message of a failed comparison.
char *toString(const PageState &s)
{
    return QTest::toString(QStringLiteral("channel %1 area %2, %3 rows, %4 handles, "
                                          "selectors %5")
                               .arg(s.channel)
                               .arg(s.area)
                               .arg(s.rows.size())
                               .arg(s.handles.size())
                               .arg(QString::number(s.selectors.value(0))));
}

// The real window on its zone page, driven through the mouse, the table and the menus.
struct Page
{
    StudioRig rig;
    MainWindow &window = rig.offlineWindow();
    ModalCatcher &boxes = rig.boxes;
    Ui::MainWindow *ui = window.ui();
    ZoneEditor *editor = window.zoneEditor();
    LGraphicsView *view = ui->areaMonitorGraphicsView;
    QStandardItemModel *model = editor->pointModel();

    Page()
    {
        rig.zoneFile = QStringLiteral("zones.ini");
        QVERIFY(rig.show(1));
        view->resetView();
    }

    PageState state() const
    {
        PageState s;
        s.channel = editor->editedChannel();
        s.area = editor->editedArea();
        for (int k = 0; k < 3; ++k) {
            s.records.append(editor->areaRecord(k));
            s.outlines.append(editor->outlines()[k]->path());
        }
        for (int r = 0; r < model->rowCount(); ++r)
            s.rows << model->headerData(r, Qt::Vertical).toString() + ':' +
                          model->index(r, 0).data().toString() + ',' +
                          model->index(r, 1).data().toString();
        for (RectangleItem *h : editor->handles())
            if (h->isVisible() && h->pos() != QPointF(-5, -5))
                s.handles.append(h->pos());
        for (QComboBox *c : {ui->onDelayComboBox, ui->offDelayComboBox, ui->hysteresisComboBox,
                             ui->detectableSizeComboBox})
            s.selectors << c->currentIndex();
        s.selectors << ui->channels->currentIndex() << ui->areas->currentIndex();
        return s;
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
    void setCell(int row, int column, int mm)
    {
        const QModelIndex index = model->index(row, column);
        ui->tableView->scrollTo(index);
        QTest::mouseClick(ui->tableView->viewport(), Qt::LeftButton, {},
                          ui->tableView->visualRect(index).center());
        model->setData(index, mm);
    }
    void addVertex(int xMm, int yMm)
    {
        const int row = model->rowCount() - 1;
        setCell(row, 0, xMm);
        setCell(row, 1, yMm);
    }
    void drawTriangle()
    {
        QTest::mouseClick(ui->polygonBtn, Qt::LeftButton);
        addVertex(-2000, 1000);
        addVertex(2000, 1000);
        addVertex(0, 3000);
    }
    QUndoStack *history() const { return editor->undoStack(); }
    void undo() { ui->actionUndo->trigger(); }
    void redo() { ui->actionRedo->trigger(); }
    // Takes steps back or forward through the menu until the history stands at index;
    // false when the menu stops offering the next one first.
    bool undoTo(int index)
    {
        while (history()->index() > index && ui->actionUndo->isEnabled())
            undo();
        return history()->index() == index;
    }
    bool redoTo(int index)
    {
        while (history()->index() < index && ui->actionRedo->isEnabled())
            redo();
        return history()->index() == index;
    }
    void loadZoneFile()
    {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(";wrtie: true"));
        ui->loadSettingsBtn->click();
    }
};

} // namespace

class TestZoneUndo : public QObject
{
    Q_OBJECT

private slots:
    // The zone file's debug line is looked at: the window's debug category is on here.
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("areascan.app.debug=true"));
    }
    // Each kind of step of the edited area: taken back, the page is exactly as before it;
    // done again, exactly as after it. The menu names the step.
    void eachStepRoundTrips()
    {
        Page p;
        struct Checkpoint
        {
            int index;
            PageState state;
        };
        QVector<Checkpoint> checkpoints{{0, p.state()}};
        // Whether the edit just made added the given number of steps, the last one named so.
        auto stepDone = [&](const char *name, int steps) {
            const bool ok =
                p.history()->index() == checkpoints.last().index + steps &&
                p.ui->actionUndo->text() == QStringLiteral("Undo ") + QString::fromUtf8(name);
            if (!ok)
                qWarning() << p.history()->index() << p.ui->actionUndo->text();
            checkpoints.append({p.history()->index(), p.state()});
            return ok;
        };

        QTest::mouseClick(p.ui->polygonBtn, Qt::LeftButton);
        QVERIFY(stepDone("New polygon", 1));
        p.addVertex(-2000, 1000); // the x of the add row, then its y: two typed cells
        QVERIFY(stepDone("Type vertex 1", 2));
        p.addVertex(2000, 1200);
        p.addVertex(100, 3000);
        QVERIFY(stepDone("Type vertex 3", 4));

        // A drag of several moves is one step, whatever the number of moves.
        const QPointF from = p.editor->areaRecord(0).points[2];
        p.drag(from, from + QPointF(60, -40));
        QVERIFY(p.editor->areaRecord(0).points[2] != from);
        QVERIFY(stepDone("Move vertex 3", 1));

        p.ui->onDelayComboBox->setCurrentIndex(4);
        QCOMPARE(int(p.editor->areaRecord(0).onDelay), 4);
        QVERIFY(stepDone("Change OnDelay(ms)", 1));
        p.ui->detectableSizeComboBox->setCurrentIndex(2);
        QVERIFY(stepDone("Change DetectionSize (°)", 1));

        // Back to the start, then forward again, checking the page at each checkpoint.
        for (int i = checkpoints.size() - 2; i >= 0; --i) {
            QVERIFY(p.undoTo(checkpoints[i].index));
            QCOMPARE(p.state(), checkpoints[i].state);
        }
        QVERIFY(!p.ui->actionUndo->isEnabled());
        QCOMPARE(p.ui->actionUndo->text(), QStringLiteral("Undo"));
        QCOMPARE(p.ui->actionRedo->text(), QStringLiteral("Redo New polygon"));
        for (int i = 1; i < checkpoints.size(); ++i) {
            QVERIFY(p.redoTo(checkpoints[i].index));
            QCOMPARE(p.state(), checkpoints[i].state);
        }
        QVERIFY(!p.ui->actionRedo->isEnabled());
        // What the store receives is the last state's, and the channel's save writes it.
        p.ui->channels->setCurrentIndex(1);
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.value("Channel0/Area0/onDelay").toInt(), 4);
        QCOMPARE(store.value("Channel0/Area0/detectableSize").toInt(), 2);
        QCOMPARE(store.value("Channel0/Area0/Points").toString().count(','), 6);
        QVERIFY(p.boxes.boxes().isEmpty());
    }

    // A shape button drops all 540 vertices of a loaded polygon; undo brings every one
    // back, and undoing the load puts the store back byte for byte.
    void shapeButtonAndZoneFileLoad()
    {
        Page p;
        p.ui->channels->setCurrentIndex(2); // the load shows channel 0 whatever was shown
        const QByteArray emptyStore = fileBytes(zoneStoreFileName());
        const PageState empty = p.state();
        writeZoneFile(QStringLiteral("zones.ini"));
        p.loadZoneFile();
        QCOMPARE(p.editor->areaRecord(0).points.size(), 540);
        QCOMPARE(p.history()->undoText(), QStringLiteral("Load zones.ini"));
        const QByteArray loadedStore = fileBytes(zoneStoreFileName());
        const PageState loaded = p.state();
        QCOMPARE(loaded.rows.size(), 540);
        QCOMPARE(loaded.handles.size(), 540);

        QTest::mouseClick(p.ui->rectangleBtn, Qt::LeftButton);
        QVERIFY(p.editor->areaRecord(0).points.size() < 540);
        QCOMPARE(p.history()->undoText(), QStringLiteral("New rectangle"));
        const PageState rectangle = p.state();

        p.undo();
        QCOMPARE(p.state(), loaded);
        QCOMPARE(fileBytes(zoneStoreFileName()), loadedStore);
        p.undo();
        QCOMPARE(fileBytes(zoneStoreFileName()), emptyStore);
        QCOMPARE(p.window.zoneStoreFile()->zones().area(0, 0).points.size(), 0);
        QCOMPARE(p.editor->editedChannel(), empty.channel);
        QCOMPARE(p.state(), empty);

        p.redo();
        QCOMPARE(fileBytes(zoneStoreFileName()), loadedStore);
        QCOMPARE(p.state(), loaded);
        p.redo();
        QCOMPARE(p.state(), rectangle);
        QVERIFY(p.boxes.boxes().isEmpty());
    }

    // A step of another channel, and one written to the store by the channel change:
    // taking it back brings the editor to that channel and the store's values back too.
    void stepsOfOtherChannelsAndBackwardDelete()
    {
        Page p;
        const ZoneSet emptySet = p.window.zoneStoreFile()->zones();
        p.ui->channels->setCurrentIndex(3);
        p.drawTriangle();
        const PageState drawn = p.state();
        const int channel3Done = p.history()->index();
        p.ui->channels->setCurrentIndex(5); // saves channel 3
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.value("Channel3/Area0/Points").toString(),
                 QStringLiteral("2000,1000,0,3000,-2000,1000,"));

        // Channel 5: triangles in two areas, then the backward delete goes from the alarm
        // area (empty already) to the warning area's.
        p.drawTriangle();
        p.ui->areas->setCurrentIndex(1);
        p.drawTriangle();
        const PageState twoAreas = p.state();
        const int before = p.history()->index();
        QTest::mouseClick(p.ui->backwardDeleteBtn, Qt::LeftButton);
        QTest::mouseClick(p.ui->backwardDeleteBtn, Qt::LeftButton);
        QVERIFY(p.editor->areaRecord(1).points.isEmpty());
        QCOMPARE(p.history()->undoText(), QStringLiteral("Clear WarningArea"));
        QVERIFY(p.undoTo(before));
        QCOMPARE(p.state(), twoAreas);
        // The next delete starts at the alarm area again, as it did then.
        QTest::mouseClick(p.ui->backwardDeleteBtn, Qt::LeftButton);
        QCOMPARE(p.editor->areaRecord(1), twoAreas.records[1]);
        QVERIFY(p.undoTo(before));

        // Everything of channel 5 back: the editor stays there; one step more brings it to
        // channel 3, whose store copy the step takes back as well.
        QVERIFY(p.undoTo(channel3Done));
        QCOMPARE(p.editor->editedChannel(), 5);
        QVERIFY(p.editor->areaRecord(0).points.isEmpty());
        QCOMPARE(p.ui->channels->currentIndex(), 5);
        p.undo();
        QCOMPARE(p.editor->editedChannel(), 3);
        QCOMPARE(p.ui->channels->currentIndex(), 3);
        QCOMPARE(p.editor->areaRecord(0).points.size(), 2);
        QVERIFY(p.undoTo(0));
        // Once the editor saves it, the store holds channel 3 as before any step.
        p.ui->channels->setCurrentIndex(0);
        QCOMPARE(p.window.zoneStoreFile()->zones().channel(3), emptySet.channel(3));
        QCOMPARE(QSettings(zoneStoreFileName(), QSettings::IniFormat)
                     .value("Channel3/Area0/Points")
                     .toString(),
                 QString());

        QVERIFY(p.redoTo(channel3Done));
        QCOMPARE(p.state(), drawn);
        QVERIFY(p.redoTo(before));
        QCOMPARE(p.state(), twoAreas);
        QVERIFY(p.boxes.boxes().isEmpty());
    }

    // The entry point that replaces an area's record as a whole (a zone drawn from a scan)
    // is one step, named by its caller or after the area.
    void replacedRecordIsOneNamedStep()
    {
        Page p;
        p.drawTriangle();
        const PageState drawn = p.state();
        AreaSettings arc;
        arc.regionType = ArcRegion;
        arc.onDelay = 9;
        arc.points = {QPointF(0, -300), QPointF(300, 0)};
        p.editor->replaceAreaRecord(2, arc, QStringLiteral("Zone from scan"));
        QCOMPARE(p.ui->actionUndo->text(), QStringLiteral("Undo Zone from scan"));
        QVERIFY(!p.editor->outlines()[2]->path().isEmpty());
        const PageState replaced = p.state();
        p.editor->replaceAreaRecord(0, AreaSettings());
        QCOMPARE(p.history()->undoText(), QStringLiteral("Replace AttentionArea"));

        p.undo();
        QCOMPARE(p.state(), replaced);
        p.undo();
        QCOMPARE(p.state(), drawn);
        QVERIFY(p.editor->outlines()[2]->path().isEmpty());
        p.redo();
        QCOMPARE(p.state(), replaced);
    }

    // The keys and the zone page's state decide whether a step can be taken back.
    void keysAndAvailability()
    {
        Page p;
        QCOMPARE(p.ui->actionRedo->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                      QKeySequence(QStringLiteral("Ctrl+Y"))}));
        p.drawTriangle();
        const AreaSettings drawn = p.editor->areaRecord(0);
        QTest::keyClick(&p.window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(p.editor->areaRecord(0).points.size(), 2);
        QTest::keyClick(&p.window, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(p.editor->areaRecord(0), drawn);
        QTest::keyClick(&p.window, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&p.window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(p.editor->areaRecord(0), drawn);

        // While the zone page is locked (a transfer runs) nothing is taken back.
        p.window.modes()->enter(WindowMode::Writing);
        QVERIFY(!p.ui->actionUndo->isEnabled());
        p.undo();
        QCOMPARE(p.editor->areaRecord(0), drawn);
        p.window.modes()->leave(WindowMode::Writing);
        QVERIFY(p.ui->actionUndo->isEnabled());

        // A new edit after a step taken back drops the steps that were ahead of it.
        p.undo();
        QVERIFY(p.ui->actionRedo->isEnabled());
        p.ui->hysteresisComboBox->setCurrentIndex(3);
        QVERIFY(!p.ui->actionRedo->isEnabled());
    }
};

QTEST_MAIN(TestZoneUndo)
#include "tst_zoneundo.moc"
