// SPDX-License-Identifier: GPL-3.0-or-later
#include "polyline.h"

#include <QLineF>
#include <algorithm>

double polylineLength(const QPolygonF &line)
{
    double length = 0.0;
    for (int i = 1; i < line.size(); ++i)
        length += QLineF(line[i - 1], line[i]).length();
    return length;
}

QPolygonF polylinePrefix(const QPolygonF &line, double fraction)
{
    if (line.isEmpty())
        return line;
    double left = std::clamp(fraction, 0.0, 1.0) * polylineLength(line);
    QPolygonF prefix{line.first()};
    for (int i = 1; i < line.size(); ++i) {
        const QLineF segment(line[i - 1], line[i]);
        if (segment.length() >= left) {
            prefix.append(segment.length() > 0 ? segment.pointAt(left / segment.length())
                                               : line[i]);
            return prefix;
        }
        prefix.append(line[i]);
        left -= segment.length();
    }
    return prefix;
}
