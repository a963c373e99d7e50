#include "simscene.h"

#include <QRandomGenerator>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Wall
{
    QPointF a, b;
};

struct Post
{
    QPointF c;
    double r;
};

// Room corners at (-5 m, -3.5 m) and (7 m, 9 m); the far wall has a doorway from
// x = -1 m to 0.8 m through which the beam finds nothing to reflect.
const Wall kWalls[] = {
    {{-5000, -3500}, {7000, -3500}}, {{7000, -3500}, {7000, 9000}},   {{7000, 9000}, {800, 9000}},
    {{-1000, 9000}, {-5000, 9000}},  {{-5000, 9000}, {-5000, -3500}},
};

const Post kPosts[] = {
    {{2500, 3000}, 150}, {{-2200, 5200}, 120}, {{3800, 6500}, 200}, {{-3500, -1500}, 150}};

// The walker goes from the doorway to just in front of the scanner and back.
const QPointF kWalkFar(-800, 6500);
const QPointF kWalkNear(200, 700);
constexpr double kWalkPeriod = 14.0; // seconds for the round trip

constexpr double kNone = std::numeric_limits<double>::infinity();

double raySegment(const QPointF &d, const Wall &w)
{
    const QPointF e = w.b - w.a;
    const double denom = d.x() * e.y() - d.y() * e.x();
    if (std::abs(denom) < 1e-12)
        return kNone;
    // Solve t * d = a + s * e.
    const double t = (w.a.x() * e.y() - w.a.y() * e.x()) / denom;
    const double s = (w.a.x() * d.y() - w.a.y() * d.x()) / denom;
    if (t <= 0 || s < 0 || s > 1)
        return kNone;
    return t;
}

double rayCircle(const QPointF &d, const QPointF &c, double r)
{
    const double along = d.x() * c.x() + d.y() * c.y();
    const double disc = along * along - (c.x() * c.x() + c.y() * c.y()) + r * r;
    if (disc < 0)
        return kNone;
    const double t = along - std::sqrt(disc);
    return t > 0 ? t : kNone;
}

} // namespace

QPointF SimScene::walkerCentre(double t) const
{
    // Smooth back-and-forth: 0 at the far end, 1 at the near end.
    const double phase = std::fmod(t, kWalkPeriod) / kWalkPeriod;
    const double u = 0.5 - 0.5 * std::cos(2 * M_PI * phase);
    return kWalkFar + (kWalkNear - kWalkFar) * u;
}

double SimScene::walkerDistance(double t) const
{
    const QPointF c = walkerCentre(t);
    return std::max(0.0, std::hypot(c.x(), c.y()) - kWalkerRadius);
}

SimScene::Echo SimScene::sample(double angleDeg, double t, QRandomGenerator &rng) const
{
    const double a = qDegreesToRadians(angleDeg);
    const QPointF d(std::cos(a), std::sin(a));

    enum
    {
        None,
        WallHit,
        PostHit,
        WalkerHit
    } what = None;
    double best = kNone;
    double incidence = 1.0;
    for (const Wall &w : kWalls) {
        const double t0 = raySegment(d, w);
        if (t0 < best) {
            best = t0;
            what = WallHit;
            const QPointF e = w.b - w.a;
            const double len = std::hypot(e.x(), e.y());
            // Cosine between the beam and the wall's normal: grazing beams return less.
            incidence = std::abs(d.x() * e.y() - d.y() * e.x()) / len;
        }
    }
    for (const Post &p : kPosts) {
        const double t0 = rayCircle(d, p.c, p.r);
        if (t0 < best) {
            best = t0;
            what = PostHit;
        }
    }
    const double tw = rayCircle(d, walkerCentre(t), kWalkerRadius);
    if (tw < best) {
        best = tw;
        what = WalkerHit;
    }
    if (what == None || best > kMaxRange)
        return {};

    double strength = 0;
    switch (what) {
    case WallHit:
        strength = 2600.0 * std::exp(-best / 9000.0) * (0.55 + 0.45 * incidence);
        break;
    case PostHit: // retro-reflective tape
        strength = 4000.0 * std::exp(-best / 15000.0);
        break;
    case WalkerHit:
        strength = 1500.0 * std::exp(-best / 9000.0);
        break;
    case None:
        break;
    }
    const double noisyRange = best + rng.bounded(17) - 8;
    const double noisyStrength = strength * (0.97 + 0.06 * rng.generateDouble());
    Echo e;
    e.range = quint16(std::clamp(noisyRange, 1.0, kMaxRange));
    e.intensity = quint16(std::clamp(noisyStrength, 1.0, 4096.0));
    return e;
}
