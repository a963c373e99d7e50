// Zone from scan (Edit menu): the edited area of the zone page becomes the polygon the
// latest scans leave free, kept a margin away from every echo. The scans are the batches
// both scan displays get, kept here as they come.
#include "mainwindow.h"

#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonegeometry.h"

#include <QAction>
#include <QMessageBox>
#include <QStatusBar>

void MainWindow::setupZoneFromScan()
{
    auto *action = new QAction(tr("由扫描生成区域"), this);
    action->setObjectName(QStringLiteral("actionZoneFromScan"));
    action->setStatusTip(tr("把最近几次扫描留出的空间减去余量，作为区域页当前编辑区域的多边形"));
    form->menuEdit->addAction(action);
    connect(action, &QAction::triggered, this, &MainWindow::onZoneFromScan);
}

void MainWindow::keepScan(const QVector<float> &angles, const QVector<ushort> &ranges)
{
    // The vectors are shared with the displays' copies; keeping them costs no copy.
    if (recentScans.size() >= kKeptScans)
        recentScans.removeFirst();
    recentScans.append({angles, ranges});
}

void MainWindow::onZoneFromScan()
{
    if (recentScans.isEmpty()) {
        QMessageBox::information(this, tr("提示"),
                                 tr("还没有收到扫描，无法由扫描生成区域：请先连接扫描仪"),
                                 QMessageBox::Ok);
        return;
    }
    ZoneFromScanChoice choice = zoneFromScanChoice;
    const bool chosen = zoneFromScanProvider ? zoneFromScanProvider(&choice)
                                             : ZoneFromScanDialog::ask(this, kKeptScans, &choice);
    if (!chosen)
        return;
    zoneFromScanChoice = choice;

    const int count = qBound(1, choice.scans, int(recentScans.size()));
    ZoneFromScanSettings settings;
    settings.margin = choice.margin;
    settings.tolerance = choice.tolerance;
    settings.maxVertices = ZoneGeometry::kHandleCount;
    const ZoneFromScanResult zone =
        makeZoneFromScan(recentScans.mid(recentScans.size() - count), settings);
    const QVector<QPoint> &vertices = zone.vertices;
    if (vertices.isEmpty()) {
        QMessageBox::information(this, tr("提示"), tr("扫描中没有视场内的测量点，区域未改变"),
                                 QMessageBox::Ok);
        return;
    }

    const int area = editor->editedArea();
    AreaSettings record = editor->areaRecord(area);
    record.regionType = PolygonRegion;
    record.dependScale = 0;
    record.points.clear();
    for (const QPoint &v : vertices)
        record.points.append(ZoneGeometry::mmToScene(v.x(), v.y()));
    editor->replaceAreaRecord(area, record, tr("由扫描生成区域"));
    openTab(1);
    statusBar()->showMessage(tr("由%1次扫描生成了%2的区域：%3个顶点")
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
        where << tr("%1°，%2毫米").arg(e.degrees, 0, 'f', 1).arg(e.range);
    QMessageBox::warning(
        this, tr("提示"),
        tr("以下回波离扫描仪比余量还近，区域在它们的方向上留出了通向扫描仪的缺口：%1")
            .arg(where.join(tr("；"))),
        QMessageBox::Ok);
}
