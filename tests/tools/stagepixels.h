// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STAGEPIXELS_H
#define ZORVINA_STAGEPIXELS_H

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>

// The pixels inside the practice grid (or another area) whose colour passes
// the test.
QList<QPoint> gridPixelsWhere(const QImage &image, bool (*test)(const QColor &),
                              const QRect &area = QRect());

bool isInk(const QColor &colour); // a finished (dark) stroke

double intersectionOverUnion(const QList<QPoint> &a, const QList<QPoint> &b);

#endif
