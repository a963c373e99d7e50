#pragma once

#include <QPointF>
#include <QtGlobal>

class QRandomGenerator;

// The surroundings the simulated scanner looks at: a rectangular room with an open
// doorway, a few round posts and one person walking towards the scanner and back.
// Millimetres; the scanner sits at the origin, angles count counter-clockwise from its
// right, 90 degrees straight ahead.
class SimScene
{
public:
    struct Echo
    {
        quint16 range = 0; // 0: no echo
        quint16 intensity = 0;
    };

    static constexpr double kMaxRange = 30000.0;
    static constexpr double kWalkerRadius = 250.0;

    // One measurement along angleDeg at time t (seconds); rng adds measurement noise.
    Echo sample(double angleDeg, double t, QRandomGenerator &rng) const;

    QPointF walkerCentre(double t) const;
    // Distance from the scanner to the nearest point of the walker.
    double walkerDistance(double t) const;
};
