#pragma once

#include <QVector>

class ZoneSet;
struct ZoneAreaRecord;

// Whether an area holds a zone: a shape with at least one vertex, or one of the
// single-value types, which the scanner describes by its scale value alone.
bool areaHoldsZone(const ZoneAreaRecord &area);
// The channels of which at least one area holds a zone, in channel order.
QVector<int> channelsWithZones(const ZoneSet &zones);

// The report's pages are planned before anything is drawn, so that every footer can say
// "page n of m". A channel page lists its three areas; each area is a title with its
// parameter table and then its vertex list, row by row. A list that does not fit goes on
// on the channel's next page, under a short title of its own.
struct ReportPiece
{
    int area = 0;
    bool header = false; // the area's title and parameter table; otherwise the short title
    int firstVertex = 0;
    int vertexCount = 0; // listed in this piece; an area without vertices takes one row
};

struct ReportPagePlan
{
    int channel = -1;       // -1: the summary page
    bool continued = false; // a channel's second or later page, without the drawing
    QVector<ReportPiece> pieces;
};

// Heights in millimetres, and the vertices in one row of a list.
struct ReportMetrics
{
    double firstPageSpace = 0; // below a channel's drawing
    double nextPageSpace = 0;  // on a continuation page, below its heading
    double headerHeight = 0;   // an area's title, parameter table and list caption
    double continuedHeight = 0;
    double rowHeight = 0;
    int columns = 1;
};

// The summary page, then the pages of every channel that holds a zone. A title is never
// left at the foot of a page without at least one row under it.
QVector<ReportPagePlan> planReportPages(const ZoneSet &zones, const ReportMetrics &metrics);
