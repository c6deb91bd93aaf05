// SPDX-License-Identifier: GPL-3.0-or-later
#include "strokematcher.h"

#include "polyline.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace practice {

namespace {

// All lengths are character units: the character's square is 1024 wide and
// the lesson's grid shows it 360 pixels wide, so one unit is about a third of
// a pixel.

// A path is compared by this many points spread evenly along it, whatever the
// mouse gave: enough to follow a hook's turn, few enough that a judgement
// stays cheap even for a path of 100,000 mouse events.
constexpr int ResamplePoints = 32;

// A path of more mouse events than this is thinned to every n-th first, so
// that a judgement's cost stays bounded: a stroke dragged for two seconds at a
// fast mouse's 1,000 events a second still keeps every point.
constexpr int MaxInputPoints = 2048;

// Farther than this from the square is no position on any screen: such a
// path comes from a fault upstream, not from a child.
constexpr double MaxCoordinate = 100000.0;

// A tap, or the wobble of a hand pressed in place, moves less than this
// (about 8 pixels); even the shortest dot is a clear dab longer than that.
constexpr double MinDrawnLength = 24.0;

// Where the child starts and ends may miss the stroke's own ends by a share of
// the stroke's length, so that half a stroke ends too far from where it
// should; but at least EndToleranceFloor (about 28 pixels, a child's aim at a
// dot) and at most EndTolerance (a fifth of the square, about 72 pixels, for
// the long sweeps: beyond that the path is elsewhere).
constexpr double EndLengthShare = 0.35;
constexpr double EndToleranceFloor = 80.0;
constexpr double EndTolerance = 0.2 * 1024.0;

// The path may stray from the centre line by this much on average, each way
// (drawn to line and line to drawn): a wobble of several tens of units keeps
// well inside, a path beside the stroke or half of it does not.
constexpr double MeanDistanceTolerance = 80.0;

// How long the path may be against the stroke's own length. A child stops a
// little short and overshoots, and a shaky hand lengthens the path by a
// nearly fixed amount whatever the stroke, so the bounds are a ratio plus an
// allowance: a dab of half a short dot passes, half of a long bar does not,
// and a scribble to and fro over a stroke is longer than any wobble.
constexpr double MinLengthRatio = 0.6;
constexpr double ShortStrokeAllowance = 40.0;
constexpr double MaxLengthRatio = 1.3;
constexpr double WobbleAllowance = 150.0;

// Mouse events closer than this to the last point kept (about 1.4 pixels) are
// the hand trembling in place: they add length, not shape.
constexpr double MinPointSpacing = 4.0;

// Mean cosine between the path's and the line's matching pieces: the same
// direction gives near 1, the reversed line -1; over the whole character list
// a child's wobble falls below this once in about 20,000 strokes.
constexpr double MinDirectionAgreement = 0.3;

// Another stroke of the character, written already or still to come, is
// taken as the one meant when it fits the path this much better than the
// expected one; strokes that nearly coincide fit about as well, and then the
// expected one is given the benefit.
constexpr double ClearlyBetterFactor = 0.6;

bool isSane(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y()) && std::abs(p.x()) <= MaxCoordinate &&
           std::abs(p.y()) <= MaxCoordinate;
}

// path without the points that tremble in place, thinned to at most
// MaxInputPoints.
QPolygonF steadied(const QPolygonF &path)
{
    const int stride = int(path.size() + MaxInputPoints - 1) / MaxInputPoints;
    QPolygonF out;
    out.append(path.first());
    for (int i = 0; i < path.size(); i += stride) {
        if (QLineF(out.last(), path[i]).length() >= MinPointSpacing)
            out.append(path[i]);
    }
    // Keep where the child let go, however close to the last point kept.
    if (out.last() != path.last())
        out.append(path.last());
    return out;
}

// count points evenly spaced along path, its first and last included.
QPolygonF resample(const QPolygonF &path, int count)
{
    QPolygonF out;
    out.reserve(count);
    const double total = polylineLength(path);
    if (path.size() < 2 || total <= 0.0) {
        out.fill(path.isEmpty() ? QPointF() : path.first(), count);
        return out;
    }
    const double step = total / (count - 1);
    out.append(path.first());
    int segment = 1;
    double walked = 0.0; // length up to path[segment - 1]
    for (int k = 1; k < count - 1; ++k) {
        const double target = k * step;
        double segmentLength = QLineF(path[segment - 1], path[segment]).length();
        while (walked + segmentLength < target && segment < path.size() - 1) {
            walked += segmentLength;
            ++segment;
            segmentLength = QLineF(path[segment - 1], path[segment]).length();
        }
        const double t = segmentLength > 0.0 ? (target - walked) / segmentLength : 0.0;
        out.append(path[segment - 1] +
                   (path[segment] - path[segment - 1]) * std::clamp(t, 0.0, 1.0));
    }
    out.append(path.last());
    return out;
}

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF ab = b - a;
    const double lengthSquared = QPointF::dotProduct(ab, ab);
    const double t = lengthSquared > 0.0
                         ? std::clamp(QPointF::dotProduct(p - a, ab) / lengthSquared, 0.0, 1.0)
                         : 0.0;
    return QLineF(p, a + ab * t).length();
}

double distanceToPolyline(const QPointF &p, const QPolygonF &line)
{
    if (line.size() == 1)
        return QLineF(p, line.first()).length();
    double best = std::numeric_limits<double>::max();
    for (int i = 1; i < line.size(); ++i)
        best = std::min(best, distanceToSegment(p, line[i - 1], line[i]));
    return best;
}

double meanDistance(const QPolygonF &from, const QPolygonF &to)
{
    double sum = 0.0;
    for (const QPointF &p : from)
        sum += distanceToPolyline(p, to);
    return sum / from.size();
}

// Mean cosine of the angle between matching pieces of two paths resampled
// to the same number of points; pieces of no length count as agreeing.
double directionAgreement(const QPolygonF &a, const QPolygonF &b)
{
    double sum = 0.0;
    const int pieces = int(a.size()) - 1;
    for (int i = 1; i <= pieces; ++i) {
        const QPointF u = a[i] - a[i - 1];
        const QPointF v = b[i] - b[i - 1];
        const double norms = std::hypot(u.x(), u.y()) * std::hypot(v.x(), v.y());
        sum += norms > 0.0 ? QPointF::dotProduct(u, v) / norms : 1.0;
    }
    return sum / pieces;
}

// How a resampled path measures against one stroke's centre line.
struct Fit
{
    double startDistance = 0.0;
    double endDistance = 0.0;
    double toLine = 0.0;   // drawn to line, mean
    double fromLine = 0.0; // line to drawn, mean
    double lineLength = 0.0;
    double drawnLength = 0.0;
    double direction = 0.0;
    // The ends' distances were the path drawn the other way round.
    double swappedStart = 0.0;
    double swappedEnd = 0.0;

    // One number to rank strokes by: lower fits better.
    double score() const { return startDistance + endDistance + toLine + fromLine; }
};

Fit measure(const QPolygonF &drawn, double drawnLength, const QPolygonF &median)
{
    const QPolygonF line = resample(median, ResamplePoints);
    const double lineLength = polylineLength(median);
    Fit fit;
    fit.startDistance = QLineF(drawn.first(), line.first()).length();
    fit.endDistance = QLineF(drawn.last(), line.last()).length();
    fit.toLine = meanDistance(drawn, line);
    fit.fromLine = meanDistance(line, drawn);
    fit.lineLength = lineLength;
    fit.drawnLength = drawnLength;
    fit.direction = directionAgreement(drawn, line);
    fit.swappedStart = QLineF(drawn.first(), line.last()).length();
    fit.swappedEnd = QLineF(drawn.last(), line.first()).length();
    return fit;
}

// Why fit is not the stroke, or an empty string when it is.
QString refusal(const Fit &fit)
{
    const double endTolerance =
        std::clamp(EndLengthShare * fit.lineLength, EndToleranceFloor, EndTolerance);
    // A turning stroke drawn backwards can agree with the line piece by piece
    // (the reversed 横撇 goes right, then left, as the stroke does), but its
    // ends sit where the stroke's are swapped.
    const bool endsSwapped =
        fit.swappedStart <= endTolerance && fit.swappedEnd <= endTolerance &&
        fit.swappedStart + fit.swappedEnd < fit.startDistance + fit.endDistance;
    if (endsSwapped)
        return QStringLiteral("wrong direction");
    if (fit.startDistance > endTolerance)
        return QStringLiteral("starts too far");
    if (fit.endDistance > endTolerance)
        return QStringLiteral("ends too far");
    if (fit.direction < MinDirectionAgreement)
        return QStringLiteral("wrong direction");
    if (fit.toLine > MeanDistanceTolerance)
        return QStringLiteral("strays from the stroke");
    if (fit.fromLine > MeanDistanceTolerance)
        return QStringLiteral("misses part of the stroke");
    if (fit.drawnLength < MinLengthRatio * fit.lineLength - ShortStrokeAllowance)
        return QStringLiteral("too short");
    if (fit.drawnLength > MaxLengthRatio * fit.lineLength + WobbleAllowance)
        return QStringLiteral("too long");
    return QString();
}

StrokeMatch refused(const QString &reason)
{
    return StrokeMatch{false, reason};
}

QString badInput(const QPolygonF &drawn, const QList<QPolygonF> &medians, int expected)
{
    if (expected < 0 || expected >= medians.size())
        return QStringLiteral("no such stroke");
    if (medians[expected].isEmpty())
        return QStringLiteral("the stroke has no centre line");
    if (!std::all_of(medians[expected].cbegin(), medians[expected].cend(), isSane))
        return QStringLiteral("the stroke's centre line is damaged");
    if (drawn.isEmpty())
        return QStringLiteral("nothing drawn");
    if (!std::all_of(drawn.cbegin(), drawn.cend(), isSane))
        return QStringLiteral("coordinates out of range");
    return QString();
}

bool usable(const QPolygonF &median)
{
    return !median.isEmpty() && std::all_of(median.cbegin(), median.cend(), isSane);
}

} // namespace

StrokeMatch matchStroke(const QPolygonF &drawn, const QList<QPolygonF> &medians, int expected)
{
    const QString bad = badInput(drawn, medians, expected);
    if (!bad.isEmpty())
        return refused(bad);
    const QPolygonF steady = steadied(drawn);
    const double drawnLength = polylineLength(steady);
    if (drawnLength < MinDrawnLength)
        return refused(QStringLiteral("too short"));

    const QPolygonF path = resample(steady, ResamplePoints);
    const Fit fit = measure(path, drawnLength, medians[expected]);
    const QString why = refusal(fit);
    if (!why.isEmpty())
        return refused(why);

    for (int other = 0; other < medians.size(); ++other) {
        // Most strokes are ruled out by their ends alone, before the costlier
        // distances along the whole line.
        if (other == expected || !usable(medians[other]) ||
            QLineF(path.first(), medians[other].first()).length() > EndTolerance ||
            QLineF(path.last(), medians[other].last()).length() > EndTolerance)
            continue;
        const Fit otherFit = measure(path, drawnLength, medians[other]);
        if (refusal(otherFit).isEmpty() && otherFit.score() < ClearlyBetterFactor * fit.score())
            return refused(QStringLiteral("looks like stroke %1").arg(other + 1));
    }
    return StrokeMatch{true, QString()};
}

} // namespace practice
