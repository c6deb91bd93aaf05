// SPDX-License-Identifier: GPL-3.0-or-later
#include "strokeshape.h"
#include "polyline.h"

#include <QHash>
#include <QLineF>
#include <QRectF>
#include <algorithm>
#include <cmath>

namespace {

// Deviations under this (data units) are the brush's wobble, not a turn.
constexpr double Wobble = 20.0;

double angleOf(QPointF from, QPointF to)
{
    return std::atan2(to.y() - from.y(), to.x() - from.x()) * 180.0 / M_PI;
}

double distanceToChord(QPointF p, QPointF a, QPointF b)
{
    const QLineF chord(a, b);
    if (chord.length() == 0)
        return QLineF(a, p).length();
    const double cross = (b.x() - a.x()) * (p.y() - a.y()) - (b.y() - a.y()) * (p.x() - a.x());
    return std::abs(cross) / chord.length();
}

// Douglas-Peucker: keeps the points that stand out of the line between
// their neighbours by more than the wobble.
void simplify(const QPolygonF &line, int first, int last, QPolygonF &kept)
{
    int farthest = -1;
    double distance = Wobble;
    for (int i = first + 1; i < last; ++i) {
        const double d = distanceToChord(line[i], line[first], line[last]);
        if (d > distance) {
            distance = d;
            farthest = i;
        }
    }
    if (farthest < 0) {
        kept.append(line[last]);
        return;
    }
    simplify(line, first, farthest, kept);
    simplify(line, farthest, last, kept);
}

StrokeShape::Direction directionOf(double angle)
{
    if (angle >= -20 && angle < 20)
        return StrokeShape::Right;
    if (angle >= -80 && angle < -20)
        return StrokeShape::Rising;
    if (angle >= 20 && angle < 70)
        return StrokeShape::FallingRight;
    if (angle >= 70 && angle < 110)
        return StrokeShape::Down;
    if (angle >= 110 && angle < 165)
        return StrokeShape::FallingLeft;
    if (angle >= -150 && angle < -80)
        return StrokeShape::Up;
    return StrokeShape::Left;
}

// How tall a stroke stands for its width.
double aspect(const QPolygonF &median)
{
    const QRectF box = median.boundingRect();
    return box.width() > 0 ? box.height() / box.width() : 1e9;
}

// The first point where the pen starts going down, after the top stroke
// (the brush's entry, a short jab down, does not count).
int firstTurnDown(const QPolygonF &median)
{
    for (int i = 2; i < median.size(); ++i) {
        if (angleOf(median[i - 1], median[i]) > 45 &&
            QLineF(median[i - 1], median[i]).length() > 10)
            return i - 1;
    }
    return int(median.size()) - 1;
}

// 横撇 sweeps on after the corner more than half as far as it went across
// (子 0.66, 又 2.0); 横钩 only flicks (你 0.50, 买 0.31).
QString decideE(const QPolygonF &median)
{
    const int at = firstTurnDown(median);
    const double across = polylineLength(median.mid(0, at + 1));
    const double after = polylineLength(median.mid(at));
    if (across <= 0)
        return QString();
    return after / across < 0.55 ? QStringLiteral("横钩") : QStringLiteral("横撇");
}

// The length of the rounded part of the bend from going down to going
// right: almost none for a sharp 折, a good stretch for a 弯.
double bendAfterDescent(const QPolygonF &median)
{
    int i = 1;
    while (i < median.size()) {
        const double angle = angleOf(median[i - 1], median[i]);
        if (angle >= 70 && angle <= 110 && QLineF(median[i - 1], median[i]).length() > 30)
            break;
        ++i;
    }
    double bend = 0;
    for (++i; i < median.size(); ++i) {
        const double angle = angleOf(median[i - 1], median[i]);
        if (angle < 20)
            break;
        if (angle < 70)
            bend += QLineF(median[i - 1], median[i]).length();
    }
    return bend;
}

// 卧钩 lies in the bowl of 心 and hooks back up towards its middle, to the
// left; 斜钩 (戈 我 贷) ends at its rightmost point, hooking straight up.
bool hooksBackLeft(const QPolygonF &median)
{
    const auto rightmost = std::max_element(median.begin(), median.end(),
                                            [](QPointF a, QPointF b) { return a.x() < b.x(); });
    return rightmost->x() - median.last().x() > 40;
}

// The longest stretch going right after the pen first turned down: 乃's
// second 折 runs flat across, 阝's 弯 only leans.
double flatRunAfterDescent(const QPolygonF &median)
{
    double longest = 0;
    double run = 0;
    for (int i = firstTurnDown(median) + 1; i < median.size(); ++i) {
        const double angle = angleOf(median[i - 1], median[i]);
        run = std::abs(angle) <= 25 ? run + QLineF(median[i - 1], median[i]).length() : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

QString StrokeShape::spelling() const
{
    static const char letters[] = "RrFDPlU";
    QString text;
    for (const Run &run : runs)
        text.append(QLatin1Char(letters[run.direction]));
    if (hook)
        text.append(QLatin1Char('+'));
    return text;
}

StrokeShape shapeOf(const QPolygonF &median)
{
    StrokeShape shape;
    if (median.size() < 2)
        return shape;
    QPolygonF points{median.first()};
    simplify(median, 0, int(median.size()) - 1, points);
    const double total = polylineLength(points);
    // The brush's entry is a short jab before the stroke proper.
    if (points.size() > 2 && QLineF(points[0], points[1]).length() < std::max(80.0, 0.12 * total))
        points.removeFirst();
    for (int i = 1; i < points.size(); ++i) {
        const double angle = angleOf(points[i - 1], points[i]);
        const StrokeShape::Run run{directionOf(angle), QLineF(points[i - 1], points[i]).length(),
                                   angle};
        if (!shape.runs.isEmpty() && shape.runs.last().direction == run.direction) {
            shape.runs.last().length += run.length;
            continue;
        }
        shape.runs.append(run);
    }
    // A hook: a short last flick that turns back up or sharply aside.
    if (shape.runs.size() > 1) {
        const StrokeShape::Run last = shape.runs.last();
        const StrokeShape::Run before = shape.runs[shape.runs.size() - 2];
        double turn = std::abs(last.angle - before.angle);
        if (turn > 180)
            turn = 360 - turn;
        const bool upward = last.direction == StrokeShape::Up ||
                            last.direction == StrokeShape::Left ||
                            last.direction == StrokeShape::Rising;
        if (last.length < 0.3 * total && last.length < 200 && turn > 70 && upward) {
            shape.runs.removeLast();
            shape.hook = true;
        }
    }
    return shape;
}

QString nameByShape(const StrokeShape &shape, const QPolygonF &median)
{
    const QString spelling = shape.spelling();
    if (spelling == QLatin1String("F"))
        return shape.runs.first().length < 200 ? QStringLiteral("点") : QStringLiteral("捺");
    if (spelling == QLatin1String("F+"))
        return decideLetter(QLatin1Char('y'), median);
    if (spelling == QLatin1String("DR"))
        return decideLetter(QLatin1Char('b'), median);
    if (spelling == QLatin1String("RDR"))
        return decideLetter(QLatin1Char('v'), median);
    static const QHash<QString, QString> names{
        {QStringLiteral("R"), QStringLiteral("横")},
        {QStringLiteral("r"), QStringLiteral("提")},
        {QStringLiteral("D"), QStringLiteral("竖")},
        {QStringLiteral("P"), QStringLiteral("撇")},
        {QStringLiteral("RD"), QStringLiteral("横折")},
        {QStringLiteral("RP"), QStringLiteral("横撇")},
        {QStringLiteral("Dr"), QStringLiteral("竖提")},
        {QStringLiteral("PR"), QStringLiteral("撇折")},
        {QStringLiteral("Pr"), QStringLiteral("撇折")},
        {QStringLiteral("PF"), QStringLiteral("撇点")},
        {QStringLiteral("DF"), QStringLiteral("竖弯")},
        {QStringLiteral("RDr"), QStringLiteral("横折提")},
        {QStringLiteral("DRP"), QStringLiteral("竖折撇")},
        {QStringLiteral("DRD"), QStringLiteral("竖折折")},
        {QStringLiteral("RDRD"), QStringLiteral("横折折折")},
        {QStringLiteral("RPRP"), QStringLiteral("横折折撇")},
        {QStringLiteral("R+"), QStringLiteral("横钩")},
        {QStringLiteral("D+"), QStringLiteral("竖钩")},
        {QStringLiteral("RD+"), QStringLiteral("横折钩")},
        {QStringLiteral("RP+"), QStringLiteral("横折钩")},
        {QStringLiteral("DR+"), QStringLiteral("竖弯钩")},
        {QStringLiteral("DFR+"), QStringLiteral("竖弯钩")},
        {QStringLiteral("RDR+"), QStringLiteral("横折弯钩")},
        {QStringLiteral("RPR+"), QStringLiteral("横折弯钩")},
        {QStringLiteral("RF+"), QStringLiteral("横斜钩")},
        {QStringLiteral("RPF+"), QStringLiteral("横撇弯钩")},
        {QStringLiteral("RPD+"), QStringLiteral("横撇弯钩")},
        {QStringLiteral("DRD+"), QStringLiteral("竖折折钩")},
        {QStringLiteral("RDRD+"), QStringLiteral("横折折折钩")},
        {QStringLiteral("RPRD+"), QStringLiteral("横折折折钩")},
    };
    return names.value(spelling);
}

QStringList plausibleNames(const StrokeShape &shape, const QPolygonF &median)
{
    QStringList names;
    const QString own = nameByShape(shape, median);
    if (!own.isEmpty())
        names.append(own);
    if (shape.runs.size() != 1 || shape.hook)
        return names;
    const StrokeShape::Run run = shape.runs.first();
    if (run.direction == StrokeShape::Right && run.angle < -3)
        names.append(QStringLiteral("提"));
    else if (run.direction == StrokeShape::Rising && run.angle > -35)
        names.append(QStringLiteral("横"));
    else if (run.direction == StrokeShape::FallingRight)
        names.append(QStringList{QStringLiteral("点"), QStringLiteral("捺")});
    else if (run.direction == StrokeShape::FallingLeft && run.length < 250)
        names.append(QStringLiteral("点"));
    return names;
}

QString decideLetter(QChar letter, const QPolygonF &median)
{
    if (median.size() < 2)
        return QString();
    switch (letter.unicode()) {
    case 'e':
        return decideE(median);
    case 'y':
        return hooksBackLeft(median) ? QStringLiteral("卧钩") : QStringLiteral("斜钩");
    case 'b':
        return bendAfterDescent(median) < 25 || aspect(median) <= 0.8 ? QStringLiteral("竖折")
                                                                      : QStringLiteral("竖弯");
    case 'v':
        return bendAfterDescent(median) < 25 ? QStringLiteral("横折折") : QStringLiteral("横折弯");
    case 'x': {
        const StrokeShape shape = shapeOf(median);
        const bool sweepsLeft =
            !shape.runs.isEmpty() && shape.runs.last().direction == StrokeShape::FallingLeft;
        return sweepsLeft ? QStringLiteral("竖折撇") : QStringLiteral("竖折折");
    }
    case 'w':
        return flatRunAfterDescent(median) >= 100 ? QStringLiteral("横折折折钩")
                                                  : QStringLiteral("横撇弯钩");
    default:
        return QString();
    }
}
