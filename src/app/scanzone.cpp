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
    const QVector<QPoint> vertices =
        zoneFromScan(recentScans.mid(recentScans.size() - count), settings);
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
}
