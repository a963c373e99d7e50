#pragma once

#include "devicestate.h"

#include <QPointF>
#include <QVector>

// The part of the floor one stored zone watches, built the way the tool draws the zone:
// a polygon is the fan of its vertices in angular order around the scanner, closed
// through the scanner; an arc is the sector between its two vertices' directions with
// the radius of vertex 0; a rectangle is its bounding box joined to the scanner. All
// of it is cut to 10 m and to the field of view (-45 to 225 degrees). Millimetres in
// the scanner's frame (x to the right, y forward).
class ZoneShape
{
public:
    ZoneShape() = default;
    explicit ZoneShape(const ZoneArea &area);

    bool contains(const QPointF &pointMm) const;
    bool isEmpty() const { return m_kind == None; }

private:
    enum Kind
    {
        None,
        Outline,
        Sector
    };
    Kind m_kind = None;
    // Outline: the closed polygon in screen orientation (y pointing backwards), as the
    // tool orders its vertices.
    QVector<QPointF> m_polygon;
    // Sector: radius and the angle range in degrees, start <= end.
    double m_radius = 0;
    double m_start = 0;
    double m_end = 0;
};

// The tool's angular vertex order, on points in screen orientation (y pointing
// backwards): left half (x < 0) then right half, each by ascending y / x.
QVector<QPointF> fanOrder(const QVector<QPointF> &screenPoints);
