// SPDX-License-Identifier: GPL-3.0-or-later
#include "shapepaths.h"

#include <QHash>

#include <cmath>
#include <vector>

namespace swf {
namespace {

// Edges meet only where their end points are the same twips; morphed points
// come out of the same arithmetic at both ends of a joint, so an exact match
// holds there too.
struct PointKey
{
    double x;
    double y;
    bool operator==(const PointKey &other) const { return x == other.x && y == other.y; }
};

size_t qHash(const PointKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.x, key.y);
}

PointKey keyOf(const QPointF &point)
{
    // +0.0 turns a -0.0 into 0.0, which compares equal but hashes apart.
    return {point.x() + 0.0, point.y() + 0.0};
}

struct Piece
{
    QPointF from;
    QPointF control;
    QPointF to;
    bool curved;
};

bool isFinite(const Edge &edge)
{
    return std::isfinite(edge.from.x()) && std::isfinite(edge.from.y()) &&
           std::isfinite(edge.to.x()) && std::isfinite(edge.to.y()) &&
           (!edge.curved || (std::isfinite(edge.control.x()) && std::isfinite(edge.control.y())));
}

void addSegment(QPainterPath &path, const Piece &piece)
{
    if (piece.curved)
        path.quadTo(piece.control, piece.to);
    else
        path.lineTo(piece.to);
}

// Chains one fill's pieces into closed contours. Any split of the pieces into
// loops covers the same area under the odd-even rule, so where several pieces
// leave one point it does not matter which is taken; a chain that cannot be
// continued is closed by a straight line.
QPainterPath joinContours(const QList<Piece> &pieces)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    QHash<PointKey, std::vector<int>> byStart;
    byStart.reserve(pieces.size());
    for (int i = 0; i < pieces.size(); ++i)
        byStart[keyOf(pieces[i].from)].push_back(i);
    std::vector<bool> used(pieces.size(), false);
    auto takeFrom = [&](const QPointF &point) {
        auto it = byStart.find(keyOf(point));
        if (it == byStart.end())
            return -1;
        while (!it->empty()) {
            const int index = it->back();
            it->pop_back();
            if (!used[index])
                return index;
        }
        return -1;
    };
    for (int first = 0; first < pieces.size(); ++first) {
        if (used[first])
            continue;
        const PointKey start = keyOf(pieces[first].from);
        path.moveTo(pieces[first].from);
        int current = first;
        while (current >= 0) {
            used[current] = true;
            addSegment(path, pieces[current]);
            if (keyOf(pieces[current].to) == start)
                break;
            current = takeFrom(pieces[current].to);
        }
        path.closeSubpath();
    }
    return path;
}

QList<QPainterPath> linePaths(const Shape &shape)
{
    QList<QPainterPath> lines(shape.lines.size());
    std::vector<QPointF> lastEnd(shape.lines.size());
    std::vector<QPointF> subpathStart(shape.lines.size());
    auto closeIfRound = [&](int index) {
        // An outline that comes back to where it began gets a join there, not
        // two caps, unless its style asks for the caps.
        QPainterPath &path = lines[index];
        if (!path.isEmpty() && !shape.lines[index].noClose &&
            keyOf(lastEnd[index]) == keyOf(subpathStart[index]) &&
            path.elementAt(path.elementCount() - 1).type != QPainterPath::MoveToElement)
            path.closeSubpath();
    };
    for (const Edge &edge : shape.edges) {
        if (edge.line <= 0 || edge.line > lines.size() || !isFinite(edge))
            continue;
        const int index = edge.line - 1;
        QPainterPath &path = lines[index];
        if (path.isEmpty() || !(keyOf(lastEnd[index]) == keyOf(edge.from))) {
            closeIfRound(index);
            path.moveTo(edge.from);
            subpathStart[index] = edge.from;
        }
        addSegment(path, {edge.from, edge.control, edge.to, edge.curved});
        lastEnd[index] = edge.to;
    }
    for (int i = 0; i < lines.size(); ++i)
        closeIfRound(i);
    return lines;
}

double mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

QPointF mix(const QPointF &a, const QPointF &b, double t)
{
    return {mix(a.x(), b.x(), t), mix(a.y(), b.y(), t)};
}

// Flash drops the fraction of a morphed colour channel rather than rounding it.
int mixChannel(int a, int b, double t)
{
    return int(std::floor(mix(a, b, t) + 1e-6));
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor(mixChannel(a.red(), b.red(), t), mixChannel(a.green(), b.green(), t),
                  mixChannel(a.blue(), b.blue(), t), mixChannel(a.alpha(), b.alpha(), t));
}

QTransform mix(const QTransform &a, const QTransform &b, double t)
{
    return QTransform(mix(a.m11(), b.m11(), t), mix(a.m12(), b.m12(), t), mix(a.m21(), b.m21(), t),
                      mix(a.m22(), b.m22(), t), mix(a.dx(), b.dx(), t), mix(a.dy(), b.dy(), t));
}

Gradient mix(const Gradient &a, const Gradient &b, double t)
{
    Gradient result = a;
    result.matrix = mix(a.matrix, b.matrix, t);
    result.focalPoint = mix(a.focalPoint, b.focalPoint, t);
    const int count = std::min(a.stops.size(), b.stops.size());
    result.stops.resize(count);
    for (int i = 0; i < count; ++i) {
        result.stops[i].ratio = quint8(qRound(mix(a.stops[i].ratio, b.stops[i].ratio, t)));
        result.stops[i].color = mix(a.stops[i].color, b.stops[i].color, t);
    }
    return result;
}

FillStyle mix(const FillStyle &a, const FillStyle &b, double t)
{
    FillStyle result = a;
    result.color = mix(a.color, b.color, t);
    result.gradient = mix(a.gradient, b.gradient, t);
    result.bitmapMatrix = mix(a.bitmapMatrix, b.bitmapMatrix, t);
    return result;
}

LineStyle mix(const LineStyle &a, const LineStyle &b, double t)
{
    LineStyle result = a;
    result.width = quint16(qRound(mix(a.width, b.width, t)));
    result.color = mix(a.color, b.color, t);
    if (a.fill && b.fill)
        result.fill = mix(*a.fill, *b.fill, t);
    return result;
}

} // namespace

ShapePaths buildShapePaths(const Shape &shape)
{
    std::vector<QList<Piece>> pieces(shape.fills.size());
    for (const Edge &edge : shape.edges) {
        // An edge with the same fill on both sides lies inside that fill.
        if (!isFinite(edge) || edge.fill0 == edge.fill1)
            continue;
        if (edge.fill1 > 0 && edge.fill1 <= shape.fills.size())
            pieces[edge.fill1 - 1].append({edge.from, edge.control, edge.to, edge.curved});
        if (edge.fill0 > 0 && edge.fill0 <= shape.fills.size())
            pieces[edge.fill0 - 1].append({edge.to, edge.control, edge.from, edge.curved});
    }
    ShapePaths paths;
    paths.fills.reserve(shape.fills.size());
    for (const QList<Piece> &fill : pieces)
        paths.fills.append(joinContours(fill));
    paths.lines = linePaths(shape);
    return paths;
}

Shape morphShapeAt(const MorphShape &morph, quint16 ratio)
{
    const double t = ratio / 65535.0;
    Shape shape;
    shape.bounds = QRectF(mix(morph.startBounds.topLeft(), morph.endBounds.topLeft(), t),
                          mix(morph.startBounds.bottomRight(), morph.endBounds.bottomRight(), t));
    const int fills = std::min(morph.startFills.size(), morph.endFills.size());
    for (int i = 0; i < fills; ++i)
        shape.fills.append(mix(morph.startFills[i], morph.endFills[i], t));
    const int lines = std::min(morph.startLines.size(), morph.endLines.size());
    for (int i = 0; i < lines; ++i)
        shape.lines.append(mix(morph.startLines[i], morph.endLines[i], t));
    const int edges = std::min(morph.startEdges.size(), morph.endEdges.size());
    shape.edges.reserve(edges);
    for (int i = 0; i < edges; ++i) {
        const Edge &a = morph.startEdges[i];
        const Edge &b = morph.endEdges[i];
        Edge edge = a;
        edge.from = mix(a.from, b.from, t);
        edge.to = mix(a.to, b.to, t);
        edge.curved = a.curved || b.curved;
        const QPointF controlA = a.curved ? a.control : (a.from + a.to) / 2;
        const QPointF controlB = b.curved ? b.control : (b.from + b.to) / 2;
        edge.control = mix(controlA, controlB, t);
        shape.edges.append(edge);
    }
    return shape;
}

} // namespace swf
