#include "modalcatcher.h"
#include "pathitem.h"
#include "rectangleitem.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonestorefile.h"

#include <QFile>
#include <QMainWindow>
#include <QSettings>
#include <QStandardItemModel>
#include <QtTest>

#include <memory>

namespace {
QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The editor on a bare form and a store of its own, without the window around it: it
// connects the form's zone page itself.
struct Page
{
    TempWorkingDir dir;
    ModalCatcher boxes;
    QMainWindow window;
    Ui::MainWindow form;
    ZoneStoreFile store;
    std::unique_ptr<ZoneEditor> editor;
    QStandardItemModel *model = nullptr;

    Page()
    {
        form.setupUi(&window);
        store.reset();
        editor = std::make_unique<ZoneEditor>(&form, &window, window.statusBar(), &store);
        model = editor->pointModel();
        editor->takeChannel(0);
    }
    void setCell(int row, int column, int mm)
    {
        editor->touchTable();
        model->setData(model->index(row, column), mm);
    }
    void drawTriangle()
    {
        editor->chooseShape(form.polygonBtn);
        for (const QPoint &mm : {QPoint(-1000, 2000), QPoint(1000, 2000), QPoint(0, 500)}) {
            const int addRow = model->rowCount() - 1;
            setCell(addRow, 0, mm.x());
            setCell(addRow, 1, mm.y());
        }
    }
    QString stored(int channel, int area, const char *key)
    {
        QSettings file(store.fileName(), QSettings::IniFormat);
        return file.value(zoneKey(channel, area, QLatin1String(key))).toString();
    }
};

AreaSettings arcRecord()
{
    AreaSettings arc;
    arc.regionType = ArcRegion;
    arc.onDelay = 7;
    arc.hysteresis = 20;
    arc.points = {QPointF(0, -300), QPointF(300, 0)};
    return arc;
}
} // namespace

class TestZoneEditorChannel : public QObject
{
    Q_OBJECT

private slots:
    // A channel taken again from the set shows what the set holds and drops the editor's
    // changes: nothing of them is written afterwards.
    void takingAChannelDropsTheEdits()
    {
        Page p;
        p.drawTriangle();
        QVERIFY(p.editor->hasEdits());
        ZoneChannelRecord scanner;
        scanner[1].regionType = RectangleRegion;
        scanner[1].points = {{-500, 300}, {-500, 800}, {500, 800}, {500, 300}};
        p.store.setScannerChannel(0, scanner);
        QVERIFY(p.store.flush());
        const QByteArray file = fileBytes(p.store.fileName());

        p.editor->takeChannel(0);
        QVERIFY(!p.editor->hasEdits());
        QVERIFY(p.editor->areaRecord(0).points.isEmpty());
        QCOMPARE(p.editor->areaRecord(1).points.size(), 4);
        QVERIFY(p.editor->outlines()[0]->path().isEmpty());
        QVERIFY(!p.editor->outlines()[1]->path().isEmpty());
        QVERIFY(p.editor->saveChannel());
        p.editor->selectArea(2);
        QCOMPARE(fileBytes(p.store.fileName()), file);
        QVERIFY(!p.store.hasUnsentChanges());
    }

    // Edits made before the whole set was replaced are never saved over it, even when the
    // editor shows the same channel number again; without the drop they would be.
    void editsOfAReplacedSetAreNotSaved_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("dropped") << true;
        QTest::newRow("kept") << false;
    }
    void editsOfAReplacedSetAreNotSaved()
    {
        QFETCH(bool, dropped);
        Page p;
        QVERIFY(QFile::copy(p.store.fileName(), "zones.ini"));
        {
            QSettings file("zones.ini", QSettings::IniFormat);
            file.setValue("Channel0/Area2/Points", "100,900,");
        }
        p.drawTriangle();
        QVERIFY(p.store.replace(readZoneFile("zones.ini")).stored);
        if (dropped)
            p.editor->dropEdits();
        QVERIFY(p.editor->showChannel(0));
        QCOMPARE(p.stored(0, 2, "Points"), QStringLiteral("100,900,"));
        if (dropped) {
            QCOMPARE(fileBytes(p.store.fileName()), fileBytes("zones.ini"));
            QVERIFY(p.editor->areaRecord(0).points.isEmpty());
        } else {
            QCOMPARE(p.stored(0, 0, "Points"), QStringLiteral("1000,2000,0,500,-1000,2000,"));
        }
        QCOMPARE(p.editor->areaRecord(2).points, QVector<QPointF>{QPointF(10, -90)});
    }

    // A record put in place of the edited area is drawn with its handles, rows and
    // selectors, and saved like an edit; one put in place of another area changes only
    // that area's outline.
    void replacingAnAreaRecord()
    {
        Page p;
        p.drawTriangle();
        const QPainterPath triangle = p.editor->outlines()[0]->path();

        p.editor->replaceAreaRecord(1, arcRecord());
        QVERIFY(!p.editor->outlines()[1]->path().isEmpty());
        QCOMPARE(p.editor->outlines()[0]->path(), triangle);
        QCOMPARE(p.editor->editedArea(), 0);
        QCOMPARE(p.model->rowCount(), 4); // the triangle and its add row
        QVERIFY(p.form.polygonBtn->isChecked());

        p.editor->replaceAreaRecord(0, arcRecord());
        QCOMPARE(p.model->rowCount(), 2);
        QCOMPARE(p.model->index(0, 1).data().toInt(), 3000);
        QCOMPARE(p.editor->handles()[1]->pos(), QPointF(295, -5));
        QVERIFY(p.form.arcBtn->isChecked());
        QCOMPARE(p.form.onDelayComboBox->currentIndex(), 7);
        QCOMPARE(p.form.hysteresisComboBox->currentIndex(), 20);
        QVERIFY(p.editor->outlines()[0]->path() != triangle);

        QVERIFY(p.editor->saveChannel());
        QCOMPARE(p.stored(0, 0, "Points"), QStringLiteral("0,3000,3000,0,"));
        QCOMPARE(p.stored(0, 1, "regionType"), QStringLiteral("2"));
        QCOMPARE(p.stored(0, 1, "onDelay"), QStringLiteral("7"));

        // A record without vertices leaves no outline of the one before.
        p.editor->replaceAreaRecord(0, AreaSettings());
        QVERIFY(p.editor->outlines()[0]->path().isEmpty());
        QCOMPARE(p.model->rowCount(), 0);
    }
};

QTEST_MAIN(TestZoneEditorChannel)
#include "tst_zoneeditorchannel.moc"
