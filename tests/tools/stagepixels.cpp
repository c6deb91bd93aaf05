// SPDX-License-Identifier: GPL-3.0-or-later
#include "stagepixels.h"
#include "moviebuilder.h"

#include <QSet>

QList<QPoint> gridPixelsWhere(const QImage &image, bool (*test)(const QColor &), const QRect &area)
{
    QList<QPoint> found;
    const QRect grid = area.isNull() ? MovieLayout::Grid.toRect() : area;
    for (int y = grid.top(); y <= grid.bottom(); ++y) {
        for (int x = grid.left(); x <= grid.right(); ++x) {
            if (test(image.pixelColor(x, y)))
                found.append(QPoint(x, y));
        }
    }
    return found;
}

bool isInk(const QColor &colour)
{
    return colour.lightness() < 128;
}

double intersectionOverUnion(const QList<QPoint> &a, const QList<QPoint> &b)
{
    const QSet<QPoint> setA(a.begin(), a.end());
    const QSet<QPoint> setB(b.begin(), b.end());
    const qsizetype both = QSet<QPoint>(setA).intersect(setB).size();
    return double(both) / double(QSet<QPoint>(setA).unite(setB).size());
}
