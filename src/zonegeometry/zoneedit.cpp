#include "zoneedit.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace ZoneEdit {

const QVector<int> &snapGridsMm()
{
    static const QVector<int> grids = {10, 50, 100, 500};
    return grids;
}

namespace {
bool channelNumber(const QString &text, int channelCount, int *channel)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0 || value >= channelCount)
        return false;
    *channel = value;
    return true;
}
} // namespace

bool parseChannelList(const QString &text, int channelCount, QVector<int> *channels,
                      QString *badPart)
{
    channels->clear();
    // Blanks around a dash belong to the range: "8 - 15" is one part.
    QString normalised = text;
    normalised.replace(QRegularExpression(QStringLiteral("\\s*[-\\x{2013}\\x{FF0D}]\\s*")),
                       QStringLiteral("-"));
    const QStringList parts = normalised.split(
        QRegularExpression(QStringLiteral("[,\\x{FF0C}\\x{3001};\\s]+")), Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        *badPart = text;
        return false;
    }
    QVector<bool> chosen(channelCount, false);
    for (const QString &part : parts) {
        const int dash = part.indexOf(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        const bool valid =
            dash < 0 ? channelNumber(part, channelCount, &first) && (last = first, true)
                     : channelNumber(part.left(dash), channelCount, &first) &&
                           channelNumber(part.mid(dash + 1), channelCount, &last) && first <= last;
        if (!valid) {
            channels->clear();
            *badPart = part;
            return false;
        }
        for (int c = first; c <= last; ++c)
            chosen[c] = true;
    }
    for (int c = 0; c < channelCount; ++c)
        if (chosen[c])
            channels->append(c);
    return true;
}

AreaSettings mirroredArea(AreaSettings area)
{
    // A rectangle's corners keep their pairing (shared x, shared y) under the mirror, an
    // arc its radius; a polygon is stored in angular order whatever order it is drawn in.
    for (QPointF &p : area.points)
        p.setX(p.x() == 0 ? 0.0 : -p.x());
    return area;
}

QPointF snapToGrid(const QPointF &scene, int gridMm)
{
    if (gridMm <= 0)
        return scene;
    const double step = gridMm / 10.0;
    return QPointF(std::round(scene.x() / step) * step, std::round(scene.y() / step) * step);
}

Measurement measure(const QPointF &fromScene, const QPointF &toScene)
{
    const double dx = (toScene.x() - fromScene.x()) * 10;
    const double dy = -(toScene.y() - fromScene.y()) * 10;
    Measurement m;
    m.distanceMm = std::hypot(dx, dy);
    if (m.distanceMm > 0) {
        double degrees = std::atan2(dy, dx) * 180 / M_PI;
        if (degrees < 0)
            degrees += 360;
        // A direction just below a full turn must not print as 360.0.
        m.directionDeg = degrees >= 359.95 ? 0.0 : degrees;
    }
    return m;
}

} // namespace ZoneEdit
