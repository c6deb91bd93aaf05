// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STROKEMATCHER_H
#define ZORVINA_STROKEMATCHER_H

#include <QList>
#include <QPolygonF>
#include <QString>

namespace practice {

struct StrokeMatch
{
    bool accepted = false;
    // Why a stroke was refused, in a few words for tests and the log: "starts
    // too far", "ends too far", "wrong direction", "strays from the stroke",
    // "misses part of the stroke", "too short", "too long", "looks like
    // stroke N" (counted from 1), or what was wrong with the input ("nothing
    // drawn", "coordinates out of range", "no such stroke"...); empty when
    // accepted.
    QString reason;
};

// Whether a path the child drew is the character's stroke number expected.
// drawn and medians are in character units (1024 x 1024, y down); medians
// holds every stroke's centre line in writing order, so that a path that is
// plainly another stroke is refused even where it is near the expected one.
// Any input is safe: an empty or huge path, NaN, an expected stroke out of
// range are refused with a reason, and a path of any length costs a bounded
// time (well under a millisecond).
StrokeMatch matchStroke(const QPolygonF &drawn, const QList<QPolygonF> &medians, int expected);

} // namespace practice

#endif
