#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

// The report's page geometry and type, shared by its pages. Positions are millimetres on
// an A4 page (210 x 297), painted at kReportDpi.
namespace ReportStyle {

constexpr int kReportDpi = 600;
constexpr double kLeft = 15;
constexpr double kRight = 195;
constexpr double kWidth = kRight - kLeft;
constexpr double kTop = 15;
constexpr double kContentBottom = 280; // the footer lies below
constexpr double kFooterLine = 284;

// A channel's first page: heading, the drawing with its legend, then the area tables.
constexpr double kDrawingLeft = 28;
constexpr double kDrawingTop = 28;
constexpr double kDrawingSize = 108; // 20 m
constexpr double kLegendLeft = 144;
constexpr double kTablesTop = 146;
constexpr double kContinuedTablesTop = 27; // below the heading of a continuation page

// An area's title, parameter table and list caption; the short title of a continued list;
// one row of the vertex list and the vertices in it.
constexpr double kAreaTitleHeight = 7;
constexpr double kParameterHeadHeight = 4.5;
constexpr double kParameterRowHeight = 5;
constexpr double kListCaptionHeight = 4.5;
constexpr double kAreaGap = 1.5;
constexpr double kAreaHeaderHeight =
    kAreaTitleHeight + kParameterHeadHeight + kParameterRowHeight + kListCaptionHeight + kAreaGap;
constexpr double kContinuedTitleHeight = 5.5;
constexpr double kVertexRowHeight = 3.6;
constexpr int kVertexColumns = 6;

inline double mm(double value)
{
    return value * kReportDpi / 25.4;
}
inline QRectF mmRect(double x, double y, double w, double h)
{
    return QRectF(mm(x), mm(y), mm(w), mm(h));
}

QFont textFont(double points, bool bold = false);
QFont digitsFont(double points, bool bold = false); // fixed width, for the fingerprint

// One line of text in the rectangle (millimetres), by default left and vertically centred.
void drawLine(QPainter &painter, const QRectF &mmBox, const QString &text,
              int flags = Qt::AlignLeft | Qt::AlignVCenter);

} // namespace ReportStyle
