#pragma once

#include <QPoint>
#include <QPointF>
#include <QString>
#include <QStringView>
#include <QVector>

// The vertex list of an area as the zone store keeps it: "x,y," for every vertex, whole
// millimetres in the scanner's frame, so a non-empty text always ends with a comma.

QString pointsText(const QVector<QPoint> &points);

// Reads a points text back. The text is split at every comma; n parts give (n - 1) / 2
// vertices, so a text without its final comma loses its last pair and extra text after
// the last full pair is ignored. A part that is not a number reads as 0. The numbers come
// back as they were written (fractions included); the callers decide how to round them.
QVector<QPointF> parsePointsText(const QString &text);

// The parts of a text between its commas, empty ones included: n commas give n + 1 parts,
// each a view into the text, which must outlive them.
QVector<QStringView> commaParts(QStringView text);

// A stored coordinate as the scanner receives it: cut toward zero, then kept to 16 bits.
qint16 wireCoordinate(double millimetres);
QVector<QPoint> wirePoints(const QVector<QPointF> &millimetres);

// Whether a stored coordinate survives the trip to the scanner unchanged in its whole
// millimetres (it fits 16 bits after cutting toward zero).
bool fitsWire(double millimetres);

// The order in which a polygon's vertices are stored: counter-clockwise around the
// scanner, starting straight behind it and passing through its right, front and left;
// vertices in one direction with the larger y first. Input and output are in the
// scanner's frame (y forward). A vertex on the scanner itself has no direction and is
// never moved by the sort, so it splits its half into two separately sorted runs.
QVector<QPointF> storedPolygonOrder(const QVector<QPointF> &points);
