#include "reportplan.h"

#include "zoneset.h"

#include <algorithm>
#include <cmath>

bool areaHoldsZone(const ZoneAreaRecord &area)
{
    // 0 is no shape; 1 to 3 are drawn from their vertices; above that the scale value is
    // the zone.
    if (area.regionType == 0)
        return false;
    return area.regionType > 3 || !area.points.isEmpty();
}

QVector<int> channelsWithZones(const ZoneSet &zones)
{
    QVector<int> channels;
    for (int c = 0; c < kZoneChannelCount; ++c) {
        const ZoneChannelRecord &areas = zones.channel(c);
        if (std::any_of(areas.cbegin(), areas.cend(), areaHoldsZone))
            channels.append(c);
    }
    return channels;
}

namespace {

// How many whole rows fit into space; a little slack keeps rounding from losing one.
int rowsIn(double space, double rowHeight)
{
    return rowHeight > 0 ? int(std::floor((space + 1e-6) / rowHeight)) : 0;
}

} // namespace

QVector<ReportPagePlan> planReportPages(const ZoneSet &zones, const ReportMetrics &m)
{
    QVector<ReportPagePlan> pages;
    pages.append(ReportPagePlan());
    const int columns = std::max(1, m.columns);
    for (int channel : channelsWithZones(zones)) {
        ReportPagePlan page;
        page.channel = channel;
        double space = m.firstPageSpace;
        auto nextPage = [&]() {
            pages.append(page);
            page = ReportPagePlan();
            page.channel = channel;
            page.continued = true;
            space = m.nextPageSpace;
        };
        for (int area = 0; area < kAreasPerChannel; ++area) {
            const int count = zones.area(channel, area).points.size();
            const int rows = std::max(1, (count + columns - 1) / columns);
            if (space < m.headerHeight + m.rowHeight && !page.pieces.isEmpty())
                nextPage();
            bool header = true;
            int row = 0;
            while (row < rows) {
                const double title = header ? m.headerHeight : m.continuedHeight;
                // A fresh page always takes at least one row, whatever the metrics say.
                const bool fresh = page.pieces.isEmpty();
                int fit = rowsIn(space - title, m.rowHeight);
                if (fit < 1 && !fresh) {
                    nextPage();
                    continue;
                }
                fit = std::max(1, fit);
                const int take = std::min(fit, rows - row);
                ReportPiece piece;
                piece.area = area;
                piece.header = header;
                piece.firstVertex = row * columns;
                piece.vertexCount = std::min(count, (row + take) * columns) - piece.firstVertex;
                page.pieces.append(piece);
                space -= title + take * m.rowHeight;
                row += take;
                header = false;
                if (row < rows)
                    nextPage();
            }
        }
        pages.append(page);
    }
    return pages;
}
