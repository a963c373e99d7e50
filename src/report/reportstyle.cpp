#include "reportstyle.h"

#include <QPainter>

namespace ReportStyle {

namespace {
// Ligatures would put one glyph for "fi" into the text, which a search for "filter" in
// the PDF then misses.
QFont searchable(QFont font, double points, bool bold)
{
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
} // namespace

QFont textFont(double points, bool bold)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    return searchable(font, points, bold);
}

QFont digitsFont(double points, bool bold)
{
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    return searchable(font, points, bold);
}

void drawLine(QPainter &painter, const QRectF &mmBox, const QString &text, int flags)
{
    painter.drawText(mmRect(mmBox.x(), mmBox.y(), mmBox.width(), mmBox.height()),
                     flags | Qt::TextSingleLine, text);
}

} // namespace ReportStyle
