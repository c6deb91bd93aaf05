// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SCANFILL_H
#define ZORVINA_SCANFILL_H

// Filling without antialiasing as Flash does it: a pixel belongs to a shape
// when its centre lies inside the outline, curves having first been cut
// into straight pieces.

#include <QRegion>

#include <optional>

class QPainterPath;
class QTransform;

namespace swf {

// Curves are cut into pieces that stray at most this far from them, in pixels.
constexpr double flatness = 0.1;

// The pixels inside bounds whose centres path covers once mapped through
// transform, under the path's fill rule. A pixel centre on a left or top
// edge counts as inside, on a right or bottom edge as outside. Nothing when
// the outline is too complex to cut up here (more pieces or crossings than
// a frame of a real movie needs).
std::optional<QRegion> coveredPixels(const QPainterPath &path, const QTransform &transform,
                                     const QRect &bounds);

} // namespace swf

#endif
