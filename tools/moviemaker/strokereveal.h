// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STROKEREVEAL_H
#define ZORVINA_STROKEREVEAL_H

#include <QList>
#include <QPolygonF>

class QPainterPath;

// The part of a stroke's outline that a round brush has covered after
// travelling the given fraction of the stroke's centre line: the outline
// clipped by the band of brushRadius around the travelled part of the line.
// Works in the outline's own units (stage pixels).
QList<QPolygonF> revealedPart(const QPainterPath &outline, const QPolygonF &median, double fraction,
                              double brushRadius);

// A brush for a stroke: wide enough to cover the stroke from its centre line
// (three quarters of its mean width) so the reveal follows the centre line,
// yet never above maxRadius so a short dot is not uncovered at one go.
double brushRadiusFor(const QPainterPath &outline, const QPolygonF &median, double maxRadius);

#endif
