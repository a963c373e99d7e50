#pragma once

#include <QPointF>
#include <QVector>
#include <QtGlobal>

// Shape type of an area. Values 4..6 are single-value types described by dependScale
// alone; the editor draws nothing for them and carries them through unchanged.
enum RegionType : quint8
{
    NoRegion = 0,
    PolygonRegion = 1,
    ArcRegion = 2,
    RectangleRegion = 3,
};

// The window's record of one area of the channel being edited. The six numbers are kept
// under these names in the zone store; points are scene units (10 mm, scene y down), in
// vertex-number order (vertex i belongs to handle i).
struct AreaSettings
{
    quint8 onDelay = 0;
    quint8 offDelay = 0;
    quint8 hysteresis = 0;
    quint8 detectableSize = 0;
    quint8 regionType = 0;
    quint16 dependScale = 0;
    QVector<QPointF> points;

    bool operator==(const AreaSettings &o) const
    {
        return onDelay == o.onDelay && offDelay == o.offDelay && hysteresis == o.hysteresis &&
               detectableSize == o.detectableSize && regionType == o.regionType &&
               dependScale == o.dependScale && points == o.points;
    }
    bool operator!=(const AreaSettings &o) const { return !(*this == o); }
};
