// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_POLYLINE_H
#define ZORVINA_POLYLINE_H

#include <QPolygonF>

// A stroke's centre line is a polyline: the movie maker paces and reveals
// strokes along it, practice judges and hints along it.

double polylineLength(const QPolygonF &line);
// The first fraction (0..1) of a polyline, measured along its length.
QPolygonF polylinePrefix(const QPolygonF &line, double fraction);

#endif
