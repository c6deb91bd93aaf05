// SPDX-License-Identifier: GPL-3.0-or-later
#include "scanfill.h"

#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf {
namespace {

// Budgets that keep an outline's cost bounded whatever the movie holds: the
// straight pieces after cutting curves, and the row crossings of all pieces
// together. Busy movies stay far below both.
constexpr qint64 segmentBudget = 1 << 20;
constexpr qint64 crossingBudget = 1 << 22;
// A curve wider than a whole screen needs no more pieces than this.
constexpr int piecesPerCurve = 256;

struct Segment
{
    QPointF from;
    QPointF to;
};

struct Crossing
{
    double x;
    int direction; // +1 going down, -1 going up
    bool operator<(const Crossing &other) const { return x < other.x; }
};

// Pieces of equal parameter step, as many as keep each within flatness of
// the curve: over a step h a curve strays from its chord by at most h^2 / 8
// times the largest second derivative, which is 2 |p0 - 2c + p1| for a
// quadratic and at most 6 times the larger second difference for a cubic.
int piecesFor(double secondDerivative)
{
    const double pieces = std::ceil(std::sqrt(secondDerivative / (8 * flatness)));
    if (!std::isfinite(pieces))
        return piecesPerCurve;
    return int(std::clamp(pieces, 1.0, double(piecesPerCurve)));
}

double length(const QPointF &v)
{
    return std::hypot(v.x(), v.y());
}

// The outline as straight pieces in device pixels, or false when there are
// too many.
class Flattener
{
public:
    explicit Flattener(const QTransform &transform) : m_transform(transform) {}

    bool run(const QPainterPath &path);
    const std::vector<Segment> &segments() const { return m_segments; }

private:
    bool line(const QPointF &to);
    bool quad(const QPointF &control, const QPointF &to);
    bool cubic(const QPointF &c1, const QPointF &c2, const QPointF &to);
    bool close() { return m_last == m_start || line(m_start); }

    QTransform m_transform;
    std::vector<Segment> m_segments;
    QPointF m_start;
    QPointF m_last;
};

bool Flattener::run(const QPainterPath &path)
{
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        const QPointF point = m_transform.map(QPointF(element.x, element.y));
        bool fits = true;
        if (element.type == QPainterPath::MoveToElement) {
            fits = close();
            m_start = m_last = point;
        } else if (element.type == QPainterPath::LineToElement) {
            fits = line(point);
        } else if (element.type == QPainterPath::CurveToElement && i + 2 < count) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element to = path.elementAt(i + 2);
            fits = cubic(point, m_transform.map(QPointF(c2.x, c2.y)),
                         m_transform.map(QPointF(to.x, to.y)));
            i += 2;
        }
        if (!fits)
            return false;
    }
    return close();
}

bool Flattener::line(const QPointF &to)
{
    if (qint64(m_segments.size()) >= segmentBudget)
        return false;
    m_segments.push_back({m_last, to});
    m_last = to;
    return true;
}

bool Flattener::quad(const QPointF &control, const QPointF &to)
{
    const QPointF from = m_last;
    const int pieces = piecesFor(2 * length(from - 2 * control + to));
    for (int i = 1; i < pieces; ++i) {
        const double t = double(i) / pieces;
        const double u = 1 - t;
        if (!line(u * u * from + 2 * u * t * control + t * t * to))
            return false;
    }
    return line(to);
}

// Shapes hold only quadratic curves, which a path keeps as cubics; those
// are cut as the quadratics they are, so that the pieces fall where they
// would on the shape's own curve.
bool Flattener::cubic(const QPointF &c1, const QPointF &c2, const QPointF &to)
{
    const QPointF from = m_last;
    const QPointF q1 = (3 * c1 - from) / 2;
    const QPointF q2 = (3 * c2 - to) / 2;
    if (length(q1 - q2) < 1e-6)
        return quad((q1 + q2) / 2, to);
    const int pieces =
        piecesFor(6 * std::max(length(from - 2 * c1 + c2), length(c1 - 2 * c2 + to)));
    for (int i = 1; i < pieces; ++i) {
        const double t = double(i) / pieces;
        const double u = 1 - t;
        if (!line(u * u * u * from + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * to))
            return false;
    }
    return line(to);
}

// The crossings of every pixel row's centre line by the segments, row by
// row from bounds' top, or nothing past the budget.
std::optional<std::vector<std::vector<Crossing>>> rowCrossings(const std::vector<Segment> &segments,
                                                               const QRect &bounds)
{
    struct Span
    {
        const Segment *segment;
        int first;
        int last;
    };
    std::vector<Span> spans;
    qint64 total = 0;
    for (const Segment &segment : segments) {
        const double y0 = std::min(segment.from.y(), segment.to.y());
        const double y1 = std::max(segment.from.y(), segment.to.y());
        if (!(std::isfinite(y0) && std::isfinite(y1) && std::isfinite(segment.from.x()) &&
              std::isfinite(segment.to.x())) ||
            y0 == y1)
            continue;
        // Rows whose centre y + 0.5 lies in [y0, y1).
        const double first = std::max(std::ceil(y0 - 0.5), double(bounds.top()));
        const double last = std::min(std::ceil(y1 - 0.5) - 1, double(bounds.bottom()));
        if (first > last)
            continue;
        total += qint64(last - first) + 1;
        if (total > crossingBudget)
            return std::nullopt;
        spans.push_back({&segment, int(first), int(last)});
    }
    std::vector<std::vector<Crossing>> rows(bounds.height());
    for (const Span &span : spans) {
        const Segment &s = *span.segment;
        const int direction = s.from.y() < s.to.y() ? 1 : -1;
        const double slope = (s.to.x() - s.from.x()) / (s.to.y() - s.from.y());
        for (int y = span.first; y <= span.last; ++y)
            rows[y - bounds.top()].push_back(
                {s.from.x() + (y + 0.5 - s.from.y()) * slope, direction});
    }
    return rows;
}

} // namespace

std::optional<QRegion> coveredPixels(const QPainterPath &path, const QTransform &transform,
                                     const QRect &bounds)
{
    if (bounds.isEmpty())
        return QRegion();
    Flattener flattener(transform);
    if (!flattener.run(path))
        return std::nullopt;
    auto rows = rowCrossings(flattener.segments(), bounds);
    if (!rows)
        return std::nullopt;
    const bool oddEven = path.fillRule() == Qt::OddEvenFill;
    std::vector<QRect> spans;
    for (int row = 0; row < int(rows->size()); ++row) {
        std::vector<Crossing> &crossings = (*rows)[row];
        std::sort(crossings.begin(), crossings.end());
        const int y = bounds.top() + row;
        int winding = 0;
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += oddEven ? 1 : crossings[i].direction;
            if (oddEven ? (winding & 1) == 0 : winding == 0)
                continue;
            // Pixels whose centre x + 0.5 lies in [from, to).
            const double from = std::max(std::ceil(crossings[i].x - 0.5), double(bounds.left()));
            const double to =
                std::min(std::ceil(crossings[i + 1].x - 0.5), double(bounds.right()) + 1);
            if (from >= to)
                continue;
            if (!spans.empty() && spans.back().y() == y && spans.back().right() + 1 >= int(from))
                spans.back().setRight(int(to) - 1);
            else
                spans.emplace_back(int(from), y, int(to - from), 1);
        }
    }
    QRegion region;
    region.setRects(spans.data(), int(spans.size()));
    return region;
}

} // namespace swf
