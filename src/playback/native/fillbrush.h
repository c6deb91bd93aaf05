// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FILLBRUSH_H
#define ZORVINA_FILLBRUSH_H

// Fill styles as Qt brushes, drawn in the shape's own twips: gradients in
// Flash's gradient square, colours through a colour transform.

#include "swfmovie.h"

#include <QBrush>
#include <QGradientStops>

namespace swf {

// The stops Qt needs for a gradient as a Flash player shows it: a record
// whose ratio goes back is only reached once the ratios climb past the
// highest so far, records of equal ratio make a hard step, and linear-light
// gradients get extra stops between records.
QGradientStops gradientStops(const Gradient &gradient, const ColorTransform &transform);

// A linear, radial or focal fill; NoBrush for any other or an empty gradient.
QBrush gradientBrush(const FillStyle &fill, const ColorTransform &transform);

// A copy of image with every pixel through transform.
QImage transformedImage(const QImage &image, const ColorTransform &transform);

} // namespace swf

#endif
