// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SHAPEPATHS_H
#define ZORVINA_SHAPEPATHS_H

// The outlines the renderer fills and strokes, made from a shape's edges:
// one closed, odd-even filled path per fill style and one open path per line
// style. Morph shapes are first turned into a plain shape at their ratio.

#include "swfmovie.h"

namespace swf {

struct ShapePaths
{
    QList<QPainterPath> fills; // fills[i] for fill style i + 1
    QList<QPainterPath> lines; // lines[i] for line style i + 1
};

ShapePaths buildShapePaths(const Shape &shape);

// The shape a morph shape shows at ratio 0..65535 (start .. end).
Shape morphShapeAt(const MorphShape &morph, quint16 ratio);

} // namespace swf

#endif
