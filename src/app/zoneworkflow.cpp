// Zone page editing within one channel: area and parameter selectors, shape buttons,
// outline clicks and the backward delete.
#include "zoneeditor.h"

#include "pathitem.h"
#include "rectangleitem.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"

#include <QGraphicsPathItem>

void ZoneEditor::checkShapeButton(int regionType)
{
    switch (regionType) {
    case PolygonRegion:
        form->polygonBtn->setChecked(true);
        break;
    case ArcRegion:
        form->arcBtn->setChecked(true);
        break;
    case RectangleRegion:
        form->rectangleBtn->setChecked(true);
        break;
    default:
        break;
    }
}

void ZoneEditor::showAreaSelectors()
{
    // Each call comes back through onParametorChange and stores the same index again. A copy:
    // that call takes a step's snapshot of the records, so a reference held here would point
    // into a buffer the records have since left.
    const AreaSettings area = areaSettings.at(currentArea);
    form->offDelayComboBox->setCurrentIndex(area.offDelay);
    form->onDelayComboBox->setCurrentIndex(area.onDelay);
    form->detectableSizeComboBox->setCurrentIndex(area.detectableSize);
    form->hysteresisComboBox->setCurrentIndex(area.hysteresis);
}

void ZoneEditor::selectArea(int index)
{
    if (index < 0 || index > 2)
        return;
    saveChannel();
    currentArea = index;
    selectedArea = index;
    placeHandles();
    fillTable();
    showAreaSelectors();
    checkShapeButton(areaSettings[index].regionType);
}

void ZoneEditor::setParameter(const QObject *selector, int index)
{
    // A selector that cannot show the stored index reports -1: keep what is stored.
    if (index < 0 || !selector)
        return;
    const QString name = selector->objectName();
    // Taken before the reference below: the snapshot shares the records, and a write
    // through a reference taken earlier would change the snapshot too.
    const Snapshot before = capture();
    AreaSettings &area = areaSettings[currentArea];
    quint8 *field = nullptr;
    const char *label = nullptr;
    if (name == QLatin1String("onDelayComboBox")) {
        field = &area.onDelay;
        label = "检测输出延时(ms)";
    } else if (name == QLatin1String("offDelayComboBox")) {
        field = &area.offDelay;
        label = "检测保持延时(ms)";
    } else if (name == QLatin1String("hysteresisComboBox")) {
        field = &area.hysteresis;
        label = "滞后比例(%)";
    } else if (name == QLatin1String("detectableSizeComboBox")) {
        field = &area.detectableSize;
        label = "最小检测尺寸(°)";
    }
    // Showing an area sets every selector to its stored index: that is no edit.
    if (!field || *field == quint8(index))
        return;
    *field = quint8(index);
    markAreaEdited(currentArea, ParametersEdited);
    pushStep(windowTr("修改%1").arg(windowTr(label)), before, 1 << currentArea);
}

void ZoneEditor::chooseShape(const QObject *button)
{
    if (!button)
        return;
    const QString name = button->objectName();
    quint8 code = NoRegion;
    const char *step = nullptr;
    if (name == QLatin1String("polygonBtn")) {
        code = PolygonRegion;
        step = "新建多边形";
    } else if (name == QLatin1String("arcBtn")) {
        code = ArcRegion;
        step = "新建圆弧";
    } else if (name == QLatin1String("rectangleBtn")) {
        code = RectangleRegion;
        step = "新建矩形";
    } else {
        return;
    }
    const Snapshot before = capture();
    areaSettings[currentArea].regionType = code;
    markAreaEdited(currentArea, ShapeEdited);
    startNewShape();
    fillTable();
    pushStep(windowTr(step), before, 1 << currentArea);
}

void ZoneEditor::selectOutline(int id)
{
    if (id < 0 || id > 2)
        return;
    currentArea = id;
    selectedArea = id;
    form->areas->setCurrentIndex(id);
    checkShapeButton(areaSettings[id].regionType);
}

void ZoneEditor::backwardDelete()
{
    const Snapshot before = capture();
    if (backwardDeleteIndex < 0)
        backwardDeleteIndex = 2;
    const int a = backwardDeleteIndex;
    zoneItems[a]->setPath(QPainterPath());
    emit areaCleared(a);
    for (RectangleItem *handle : qAsConst(vertexHandles))
        handle->setPos(-handleOffsetX, -handleOffsetY);
    areaSettings[a].points.clear();
    areaSettings[a].regionType = PolygonRegion;
    markAreaEdited(a, ShapeEdited);
    // The edited area is now an empty polygon: its rows and handles must say so, or what
    // is typed into a row left from before would be shown but never stored.
    if (a == currentArea) {
        placeHandles();
        fillTable();
    }
    --backwardDeleteIndex;
    pushStep(windowTr("清除%1").arg(areaTitle(a)), before, 1 << a);
}
