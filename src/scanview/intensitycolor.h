#pragma once

#include <QRgb>

// Raw echo strength as an opaque colour: blue at 0 through green and yellow to red at
// 4096 and above. Both scan displays colour their points with it.
QRgb intensityColor(ushort intensity);
