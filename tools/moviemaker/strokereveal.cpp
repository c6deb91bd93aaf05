// SPDX-License-Identifier: GPL-3.0-or-later
#include "strokereveal.h"
#include "polyline.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <polyclipping/clipper.hpp>

namespace {

// Clipper works on integers: 1/64 pixel keeps edges smooth.
constexpr double Scale = 64.0;

ClipperLib::Path toClipper(const QPolygonF &polygon)
{
    ClipperLib::Path path;
    path.reserve(polygon.size());
    for (const QPointF &p : polygon)
        path.push_back(
            {ClipperLib::cInt(qRound64(p.x() * Scale)), ClipperLib::cInt(qRound64(p.y() * Scale))});
    return path;
}

QPolygonF fromClipper(const ClipperLib::Path &path)
{
    QPolygonF polygon;
    polygon.reserve(int(path.size()));
    for (const ClipperLib::IntPoint &p : path)
        polygon.append(QPointF(p.X / Scale, p.Y / Scale));
    return polygon;
}

} // namespace

double brushRadiusFor(const QPainterPath &outline, const QPolygonF &median, double maxRadius)
{
    double area = 0.0;
    for (const QPolygonF &polygon : outline.toSubpathPolygons()) {
        for (int i = 0; i < polygon.size(); ++i) {
            const QPointF a = polygon[i];
            const QPointF b = polygon[(i + 1) % polygon.size()];
            area += a.x() * b.y() - b.x() * a.y();
        }
    }
    const double length = polylineLength(median);
    if (length < 1.0)
        return maxRadius;
    const double meanWidth = std::abs(area) / 2.0 / length;
    return std::clamp(0.75 * meanWidth, 4.0, maxRadius);
}

QList<QPolygonF> revealedPart(const QPainterPath &outline, const QPolygonF &median, double fraction,
                              double brushRadius)
{
    QPolygonF travelled = polylinePrefix(median, fraction);
    if (travelled.size() == 1)
        travelled.append(travelled.first()); // a dot: the brush's round tip

    ClipperLib::ClipperOffset brush(2.0, 0.15 * Scale);
    brush.AddPath(toClipper(travelled), ClipperLib::jtRound, ClipperLib::etOpenRound);
    ClipperLib::Paths band;
    brush.Execute(band, brushRadius * Scale);

    ClipperLib::Clipper clipper;
    for (const QPolygonF &polygon : outline.toSubpathPolygons())
        clipper.AddPath(toClipper(polygon), ClipperLib::ptSubject, true);
    clipper.AddPaths(band, ClipperLib::ptClip, true);
    ClipperLib::Paths revealed;
    clipper.Execute(ClipperLib::ctIntersection, revealed, ClipperLib::pftNonZero,
                    ClipperLib::pftNonZero);
    // Drop points that add nothing visible, to keep the movie small.
    ClipperLib::CleanPolygons(revealed, 0.2 * Scale);

    QList<QPolygonF> parts;
    for (const ClipperLib::Path &path : revealed) {
        if (path.size() >= 3)
            parts.append(fromClipper(path));
    }
    return parts;
}
