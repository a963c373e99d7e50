// A channel's pages: the three areas drawn to scale as the zone editor draws them, a
// legend, and per area its parameters and its vertices.
#include "zonereport.h"

#include "reportstyle.h"
#include "zonegeometry.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

using namespace ReportStyle;

namespace {

// The editor's scene: 2000 units of 10 mm over the 20 m square around the scanner, on its
// background.
constexpr double kSceneSpan = 2000;
const QColor kSceneBackground(252, 252, 252);

// The editor draws its outlines and sectors at an opacity. Here the fills carry it in
// their colour and the lines are opaque in the colour they show on the background: a
// translucent line, or any drawing under a painter opacity, goes into the PDF as the
// outline of the stroke, several times the size of the line itself.
QColor translucent(QColor color, qreal opacity)
{
    color.setAlphaF(opacity);
    return color;
}

QColor seenThrough(const QColor &color, qreal opacity)
{
    auto mix = [opacity](int over, int under) {
        return qRound(over * opacity + under * (1 - opacity));
    };
    return QColor(mix(color.red(), kSceneBackground.red()),
                  mix(color.green(), kSceneBackground.green()),
                  mix(color.blue(), kSceneBackground.blue()));
}

// A line of the given width in device units, whatever the painter's scale.
QPen hairline(const QColor &color, double width)
{
    QPen pen(color, width);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

QString ZoneReport::areaName(int area)
{
    switch (area) {
    case 0:
        return tr("注意区域");
    case 1:
        return tr("预警区域");
    default:
        return tr("报警区域");
    }
}

QString ZoneReport::shapeText(const ZoneAreaRecord &area)
{
    switch (area.regionType) {
    case 0:
        return tr("无形状");
    case 1:
        return tr("多边形");
    case 2:
        return tr("圆弧");
    case 3:
        return tr("矩形");
    case 4:
    case 5:
    case 6:
        return tr("单值类型%1，比例值%2").arg(area.regionType).arg(area.dependScale);
    default:
        return tr("类型%1").arg(area.regionType);
    }
}

void ZoneReport::paintChannel(QPainter &p, const ReportPagePlan &page) const
{
    p.setPen(Qt::black);
    p.setFont(textFont(14, true));
    drawLine(p, QRectF(kLeft, kTop, kWidth, 9),
             page.continued ? tr("区域组 %1（续）").arg(page.channel)
                            : tr("区域组 %1").arg(page.channel));
    double y = kContinuedTablesTop;
    if (!page.continued) {
        paintDrawing(p, page.channel);
        y = kTablesTop;
    }
    for (const ReportPiece &piece : page.pieces)
        y = paintAreaPiece(p, page.channel, piece, y);
}

void ZoneReport::paintDrawing(QPainter &p, int channel) const
{
    const QRectF box = mmRect(kDrawingLeft, kDrawingTop, kDrawingSize, kDrawingSize);
    const double scale = box.width() / kSceneSpan;
    p.save();
    p.setClipRect(box);
    p.translate(box.center());
    p.scale(scale, scale);
    p.fillRect(QRectF(-1000, -1000, 2000, 2000), kSceneBackground);
    // Back to front as the editor stacks them: the alarm area lowest, then the grid and
    // the sectors over all three. Pen widths are the editor's, in scene units.
    for (int k = kAreasPerChannel - 1; k >= 0; --k) {
        QPainterPath outline;
        if (!ZoneGeometry::storedAreaOutline(m_data.zones.area(channel, k), &outline) ||
            outline.isEmpty())
            continue;
        p.fillPath(outline, translucent(ZoneGeometry::zoneColor(k), ZoneGeometry::kZoneOpacity));
        p.strokePath(outline, hairline(seenThrough(Qt::black, ZoneGeometry::kZoneOpacity), scale));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(hairline(QColor(Qt::gray), 2 * scale));
    for (int k = 0; k <= 20; ++k) {
        const double at = -1000 + 100 * k;
        p.drawLine(QPointF(at, -1000), QPointF(at, 1000));
        p.drawLine(QPointF(-1000, at), QPointF(1000, at));
    }
    const QPen sectorPen = hairline(seenThrough(Qt::black, ZoneGeometry::kSectorOpacity), scale);
    const QPainterPath blind = ZoneGeometry::blindSector();
    p.fillPath(blind, translucent(QColor(Qt::gray), ZoneGeometry::kSectorOpacity));
    p.strokePath(blind, sectorPen);
    p.strokePath(ZoneGeometry::fieldOfViewSector(), sectorPen);
    p.restore();

    p.setPen(QPen(Qt::black, mm(0.2)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
    // The grid's world coordinates in millimetres, every other line, as the editor labels
    // its lines: x along the bottom, y up the left side.
    p.setFont(textFont(5.5));
    const double cell = kDrawingSize / 20;
    for (int k = 0; k <= 20; k += 2) {
        const QString label = QString::number(1000 * k - 10000);
        drawLine(p, QRectF(kDrawingLeft + k * cell - 6, kDrawingTop + kDrawingSize + 0.5, 12, 3),
                 label, Qt::AlignHCenter | Qt::AlignTop);
        drawLine(p, QRectF(kDrawingLeft - 13, kDrawingTop + kDrawingSize - k * cell - 1.5, 12, 3),
                 label, Qt::AlignRight | Qt::AlignVCenter);
    }

    // Legend: the three areas, the two sectors and the scale.
    double y = kDrawingTop;
    const double w = kRight - kLegendLeft;
    for (int k = 0; k < kAreasPerChannel; ++k) {
        const ZoneAreaRecord &area = m_data.zones.area(channel, k);
        p.setPen(hairline(seenThrough(Qt::black, ZoneGeometry::kZoneOpacity), mm(0.1)));
        p.setBrush(translucent(ZoneGeometry::zoneColor(k), ZoneGeometry::kZoneOpacity));
        p.drawRect(mmRect(kLegendLeft, y + 0.8, 6, 4));
        p.setPen(Qt::black);
        p.setFont(textFont(8.5, true));
        drawLine(p, QRectF(kLegendLeft + 8, y, w - 8, 5.5), areaName(k));
        p.setFont(textFont(7.5));
        drawLine(p, QRectF(kLegendLeft + 8, y + 5, w - 8, 4.5),
                 area.points.size() == 1
                     ? tr("%1，1个顶点").arg(shapeText(area))
                     : tr("%1，%2个顶点").arg(shapeText(area)).arg(area.points.size()));
        y += 12;
    }
    y += 2;
    p.setPen(hairline(seenThrough(Qt::black, ZoneGeometry::kSectorOpacity), mm(0.1)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(mmRect(kLegendLeft, y + 0.8, 6, 4));
    p.setBrush(translucent(QColor(Qt::gray), ZoneGeometry::kSectorOpacity));
    p.drawRect(mmRect(kLegendLeft, y + 6.8, 6, 4));
    p.setPen(Qt::black);
    p.setFont(textFont(7.5));
    drawLine(p, QRectF(kLegendLeft + 8, y, w - 8, 5.5), tr("视场（10 m，270°）"));
    drawLine(p, QRectF(kLegendLeft + 8, y + 6, w - 8, 5.5), tr("盲区"));
    drawLine(p, QRectF(kLegendLeft, y + 14, w, 5), tr("网格间距1 m，坐标单位mm"));
}

double ZoneReport::paintAreaPiece(QPainter &p, int channel, const ReportPiece &piece,
                                  double y) const
{
    const ZoneAreaRecord &area = m_data.zones.area(channel, piece.area);
    p.setBrush(Qt::NoBrush);
    if (piece.header) {
        p.fillRect(mmRect(kLeft, y + 1.8, 3, 4),
                   translucent(ZoneGeometry::zoneColor(piece.area), ZoneGeometry::kZoneOpacity));
        p.setPen(Qt::black);
        p.setFont(textFont(10, true));
        drawLine(p, QRectF(kLeft + 5, y + 1, kWidth - 5, 6), areaName(piece.area));
        y += kAreaTitleHeight;

        const QString heads[] = {tr("形状"),     tr("顶点数"), tr("开启延时"),
                                 tr("保持延时"), tr("滞后"),   tr("最小检测尺寸")};
        const QString values[] = {
            shapeText(area),
            QString::number(area.points.size()),
            QStringLiteral("%1 ms").arg(area.onDelay * 40),
            QStringLiteral("%1 ms").arg(area.offDelay * 40),
            QStringLiteral("%1 %").arg(area.hysteresis),
            QStringLiteral("%1\u00B0").arg(QString::number(area.detectableSize * 0.5, 'f', 1)),
        };
        // The shape may be long (a single-value type names its scale): it gets two cells.
        const double widths[] = {50, 20, 27.5, 27.5, 27.5, 27.5};
        double x = kLeft;
        for (int i = 0; i < 6; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(235, 235, 235));
            p.drawRect(mmRect(x, y, widths[i], kParameterHeadHeight));
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(150, 150, 150), mm(0.15)));
            p.drawRect(mmRect(x, y, widths[i], kParameterHeadHeight + kParameterRowHeight));
            p.setPen(Qt::black);
            p.setFont(textFont(7));
            drawLine(p, QRectF(x + 1.2, y, widths[i] - 2, kParameterHeadHeight), heads[i]);
            p.setFont(textFont(8.5));
            drawLine(p,
                     QRectF(x + 1.2, y + kParameterHeadHeight, widths[i] - 2, kParameterRowHeight),
                     values[i]);
            x += widths[i];
        }
        y += kParameterHeadHeight + kParameterRowHeight;
        p.setFont(textFont(7, true));
        drawLine(p, QRectF(kLeft, y + 0.5, kWidth, kListCaptionHeight), tr("顶点（x, y，单位mm）"));
        y += kListCaptionHeight + kAreaGap;
    } else {
        p.setPen(Qt::black);
        p.setFont(textFont(8.5, true));
        drawLine(p, QRectF(kLeft, y + 0.5, kWidth, kContinuedTitleHeight),
                 tr("%1（续）").arg(areaName(piece.area)));
        y += kContinuedTitleHeight;
    }

    p.setPen(Qt::black);
    p.setFont(textFont(7));
    if (piece.vertexCount == 0) {
        drawLine(p, QRectF(kLeft + 1, y, kWidth, kVertexRowHeight), tr("无顶点"));
        return y + kVertexRowHeight;
    }
    // Each vertex is drawn at its baseline: the largest report has a hundred thousand of
    // them, and a text laid out in a box costs several times one drawn at a point.
    const double cell = kWidth / kVertexColumns;
    const QFontMetricsF metrics(p.font(), p.device());
    const double baseline = (mm(kVertexRowHeight) + metrics.ascent() - metrics.descent()) / 2;
    const int end = piece.firstVertex + piece.vertexCount;
    for (int first = piece.firstVertex; first < end; first += kVertexColumns) {
        for (int i = first; i < std::min(end, first + kVertexColumns); ++i) {
            const QPoint v = area.points.at(i);
            p.drawText(QPointF(mm(kLeft + 1 + (i - first) * cell), mm(y) + baseline),
                       QStringLiteral("%1: %2, %3").arg(i + 1).arg(v.x()).arg(v.y()));
        }
        y += kVertexRowHeight;
    }
    return y;
}
