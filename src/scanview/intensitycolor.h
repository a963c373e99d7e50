#pragma once

#include <QRgb>

// Raw echo strength as an opaque colour: blue at 0 through green and yellow to red at
// 4096 and above. Both scan displays colour their points with it.
QRgb intensityColor(ushort intensity);

class QBrush;
class QPen;

// A pen and a solid brush of the intensity's colour, shared by every point of that colour.
// Handing items the same objects lets them see an unchanged colour at the cost of a
// pointer comparison, and spares building a pen and a brush per point and scan.
const QPen &intensityPen(ushort intensity);
const QBrush &intensityBrush(ushort intensity);
