#include "intensitycolor.h"

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
