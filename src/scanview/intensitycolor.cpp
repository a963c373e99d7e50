#include "intensitycolor.h"

#include <QBrush>
#include <QHash>
#include <QPen>
#include <QVector>

#include <algorithm>
#include <cmath>

QRgb intensityColor(ushort intensity)
{
    // Single precision on purpose: the colours must not shift with the compiler's choice.
    const float v = float(intensity) / 4096.0f;
    if (v <= 0.0f)
        return qRgb(0, 0, 255);
    if (v >= 1.0f)
        return qRgb(255, 0, 0);
    static const float stops[4][3] = {{0, 0, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    const float t3 = 3.0f * v;
    const int i = int(std::floor(t3));
    const float f = t3 - float(i);
    int channel[3];
    for (int c = 0; c < 3; ++c)
        channel[c] = int((stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f) * 255.0f);
    return qRgb(channel[0], channel[1], channel[2]);
}

namespace {
constexpr int kTop = 4096; // every intensity from here on is red

// One pen and brush per distinct colour; every intensity refers to its colour's pair.
struct IntensityStyles
{
    QVector<QPen> pens;
    QVector<QBrush> brushes;

    IntensityStyles() : pens(kTop + 1), brushes(kTop + 1)
    {
        QHash<QRgb, int> first;
        for (int n = 0; n <= kTop; ++n) {
            const QRgb rgb = intensityColor(ushort(n));
            const auto known = first.constFind(rgb);
            if (known != first.constEnd()) {
                pens[n] = pens[*known];
                brushes[n] = brushes[*known];
                continue;
            }
            first.insert(rgb, n);
            pens[n] = QPen(QColor(rgb));
            brushes[n] = QBrush(QColor(rgb));
        }
    }
};

const IntensityStyles &styles()
{
    static const IntensityStyles table;
    return table;
}
} // namespace

const QPen &intensityPen(ushort intensity)
{
    return styles().pens.at(std::min<int>(intensity, kTop));
}

const QBrush &intensityBrush(ushort intensity)
{
    return styles().brushes.at(std::min<int>(intensity, kTop));
}
