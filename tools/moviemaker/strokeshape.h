// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STROKESHAPE_H
#define ZORVINA_STROKESHAPE_H

#include <QList>
#include <QPolygonF>
#include <QString>
#include <QStringList>

// The geometry of one stroke's centre line (y pointing down, 1024 units a
// side): the few straight runs a brush makes, read from the data's wobbly
// polyline, and whether it ends in a hook.
struct StrokeShape
{
    enum Direction {
        Right,        // 横
        Rising,       // 提, up to the right
        FallingRight, // 点, 捺
        Down,         // 竖
        FallingLeft,  // 撇
        Left,
        Up,
    };
    struct Run
    {
        Direction direction;
        double length;
        double angle; // degrees, 0 to the right, 90 down
    };
    QList<Run> runs; // without the hook
    bool hook = false;

    // The directions as letters (R r F D L l U), for messages and tests.
    QString spelling() const;
};

StrokeShape shapeOf(const QPolygonF &median);

// The name a stroke of this shape has, from its geometry alone, or an empty
// string when its runs fit no stroke type.
QString nameByShape(const StrokeShape &shape, const QPolygonF &median);

// The names a stroke of this shape could plausibly carry: its own name and
// the ones its geometry lies on the border of (a gently rising 横 may be a
// 提, a short 捺 a 点).
QStringList plausibleNames(const StrokeShape &shape, const QPolygonF &median);

// Decides between the two types one letter of the stroke data stands for,
// from the centre line: e (横撇, 横钩), y (斜钩, 卧钩), v (横折折, 横折弯),
// x (竖折撇, 竖折折), w (横折折折钩, 横撇弯钩), b (竖弯, 竖折). Returns an empty
// string for any other letter.
QString decideLetter(QChar letter, const QPolygonF &median);

#endif
