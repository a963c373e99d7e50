#include "scanzones.h"

#include "ui_mainwindow.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonegeometry.h"

#include <QAction>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

ScanZones::ScanZones(Ui::MainWindow *form, QMainWindow *window, ZoneEditor *editor, QObject *parent)
    : QObject(parent), window(window), editor(editor)
{
    auto *action = new QAction(windowTr("由扫描生成区域"), window);
    action->setObjectName(QStringLiteral("actionZoneFromScan"));
    action->setStatusTip(
        windowTr("把最近几次扫描留出的空间减去余量，作为区域页当前编辑区域的多边形"));
    form->menuEdit->addAction(action);
    connect(action, &QAction::triggered, this, &ScanZones::zoneFromScan);
}

void ScanZones::keepScan(const QVector<float> &angles, const QVector<ushort> &ranges)
{
    // The vectors are shared with the displays' copies; keeping them costs no copy.
    if (recentScans.size() >= kKeptScans)
        recentScans.removeFirst();
    recentScans.append({angles, ranges});
}

void ScanZones::zoneFromScan()
{
    if (recentScans.isEmpty()) {
        QMessageBox::information(window, windowTr("提示"),
                                 windowTr("还没有收到扫描，无法由扫描生成区域：请先连接扫描仪"),
                                 QMessageBox::Ok);
        return;
    }
    ZoneFromScanChoice choice = lastChoice;
    const bool chosen = choiceProvider ? choiceProvider(&choice)
                                       : ZoneFromScanDialog::ask(window, kKeptScans, &choice);
    if (!chosen)
        return;
    lastChoice = choice;

    const int count = qBound(1, choice.scans, int(recentScans.size()));
    ZoneFromScanSettings settings;
    settings.margin = choice.margin;
    settings.tolerance = choice.tolerance;
    settings.maxVertices = ZoneGeometry::kHandleCount;
    const ZoneFromScanResult zone =
        makeZoneFromScan(recentScans.mid(recentScans.size() - count), settings);
    const QVector<QPoint> &vertices = zone.vertices;
    if (vertices.isEmpty()) {
        QMessageBox::information(window, windowTr("提示"),
                                 windowTr("扫描中没有视场内的测量点，区域未改变"), QMessageBox::Ok);
        return;
    }

    const int area = editor->editedArea();
    AreaSettings record = editor->areaRecord(area);
    record.regionType = PolygonRegion;
    record.dependScale = 0;
    record.points.clear();
    for (const QPoint &v : vertices)
        record.points.append(ZoneGeometry::mmToScene(v.x(), v.y()));
    editor->replaceAreaRecord(area, record, windowTr("由扫描生成区域"));
    emit zonePageWanted();
    window->statusBar()->showMessage(windowTr("由%1次扫描生成了%2的区域：%3个顶点")
                                         .arg(count)
                                         .arg(areaName(area))
                                         .arg(vertices.size()),
                                     10000);
    if (zone.nearEchoes.isEmpty())
        return;
    // Such an echo (dirt on the window, a bracket at the scanner) would sit at the zone's
    // edge: the user is told where, so that it can be removed and the zone drawn again.
    QStringList where;
    for (const NearEcho &e : zone.nearEchoes)
        where << windowTr("%1°，%2毫米").arg(e.degrees, 0, 'f', 1).arg(e.range);
    QMessageBox::warning(
        window, windowTr("提示"),
        windowTr("以下回波离扫描仪比余量还近，区域在它们的方向上留出了通向扫描仪的缺口：%1")
            .arg(where.join(windowTr("；"))),
        QMessageBox::Ok);
}
