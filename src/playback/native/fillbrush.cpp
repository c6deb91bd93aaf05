// SPDX-License-Identifier: GPL-3.0-or-later
#include "fillbrush.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace swf {
namespace {

// The gradient square's half side, in twips.
constexpr double gradientHalf = 16384;
// Between two records of one ratio: small enough to look like a hard edge,
// large enough for Qt to keep both stops.
constexpr double stepWidth = 1e-4;
// Stops added between two records of a linear-light gradient. They crowd
// towards both ends, where the curve back to sRGB is steepest.
constexpr int linearLightSteps = 24;

double toLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double toSrgb(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

QColor mixLinearLight(const QColor &a, const QColor &b, double t)
{
    auto channel = [t](double x, double y) {
        return std::clamp(toSrgb(toLinear(x) + (toLinear(y) - toLinear(x)) * t), 0.0, 1.0);
    };
    QColor color;
    color.setRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()),
                  channel(a.blueF(), b.blueF()), a.alphaF() + (b.alphaF() - a.alphaF()) * t);
    return color;
}

QColor mixColors(const QColor &a, const QColor &b, double t, bool linearLight)
{
    if (linearLight)
        return mixLinearLight(a, b, t);
    QColor color;
    color.setRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                  a.blueF() + (b.blueF() - a.blueF()) * t,
                  a.alphaF() + (b.alphaF() - a.alphaF()) * t);
    return color;
}

// Stops from ratio from to ratio to; a linear-light stretch gets extra stops
// so that Qt's own interpolation, in sRGB, follows the curve.
void appendSegment(QGradientStops &stops, int from, const QColor &fromColor, int to,
                   const QColor &toColor, bool linearLight)
{
    if (stops.last().first != from / 255.0 || stops.last().second != fromColor)
        stops.append({from / 255.0, fromColor});
    if (linearLight) {
        for (int step = 1; step <= linearLightSteps; ++step) {
            const double t = 0.5 - 0.5 * std::cos(M_PI * step / (linearLightSteps + 1));
            stops.append({(from + (to - from) * t) / 255.0, mixLinearLight(fromColor, toColor, t)});
        }
    }
    stops.append({to / 255.0, toColor});
}

// Runs of records on one position keep only their first and last colour,
// the last one a hair further on (or the first a hair back at the very end).
QGradientStops separateEqualPositions(const QGradientStops &stops)
{
    QGradientStops result;
    for (int i = 0; i < stops.size(); ++i) {
        int last = i;
        while (last + 1 < stops.size() && stops[last + 1].first == stops[i].first)
            ++last;
        const double position = stops[i].first;
        if (last == i) {
            result.append(stops[i]);
            continue;
        }
        if (position + stepWidth <= 1) {
            result.append({position, stops[i].second});
            result.append({position + stepWidth, stops[last].second});
        } else {
            result.append({position - stepWidth, stops[i].second});
            result.append({position, stops[last].second});
        }
        i = last;
    }
    return result;
}

} // namespace

QGradientStops gradientStops(const Gradient &gradient, const ColorTransform &transform)
{
    if (gradient.stops.isEmpty())
        return {};
    const bool linearLight = gradient.interpolation == Gradient::Interpolation::Linear;
    QList<GradientStop> records = gradient.stops;
    if (!transform.isIdentity()) {
        for (GradientStop &record : records)
            record.color = transform.apply(record.color);
    }
    // Each pair of neighbouring records covers only what lies past the
    // highest ratio reached so far, still interpolated between its own ratios.
    int reached = records[0].ratio;
    QGradientStops stops{{reached / 255.0, records[0].color}};
    for (int i = 1; i < records.size(); ++i) {
        const GradientStop &from = records[i - 1];
        const GradientStop &to = records[i];
        if (to.ratio <= reached)
            continue;
        const double t = double(reached - from.ratio) / (to.ratio - from.ratio);
        appendSegment(stops, reached, mixColors(from.color, to.color, t, linearLight), to.ratio,
                      to.color, linearLight);
        reached = to.ratio;
    }
    // Past the highest ratio the last record's colour holds, as below the
    // first the first one's does.
    if (records.last().color != stops.last().second)
        stops.append({reached / 255.0, records.last().color});
    return separateEqualPositions(stops);
}

QBrush gradientBrush(const FillStyle &fill, const ColorTransform &transform)
{
    const Gradient &gradient = fill.gradient;
    if (gradient.stops.isEmpty())
        return Qt::NoBrush;
    QGradient qgradient;
    switch (fill.type) {
    case FillStyle::Type::Linear:
        qgradient = QLinearGradient(-gradientHalf, 0, gradientHalf, 0);
        break;
    case FillStyle::Type::Radial:
        qgradient = QRadialGradient(QPointF(0, 0), gradientHalf);
        break;
    case FillStyle::Type::Focal:
        qgradient =
            QRadialGradient(QPointF(0, 0), gradientHalf,
                            QPointF(std::clamp(gradient.focalPoint, -1.0, 1.0) * gradientHalf, 0));
        break;
    default:
        return Qt::NoBrush;
    }
    switch (gradient.spread) {
    case Gradient::Spread::Pad:
        qgradient.setSpread(QGradient::PadSpread);
        break;
    case Gradient::Spread::Reflect:
        qgradient.setSpread(QGradient::ReflectSpread);
        break;
    case Gradient::Spread::Repeat:
        qgradient.setSpread(QGradient::RepeatSpread);
        break;
    }
    qgradient.setStops(gradientStops(gradient, transform));
    QBrush brush(qgradient);
    brush.setTransform(gradient.matrix);
    return brush;
}

QImage transformedImage(const QImage &image, const ColorTransform &transform)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    auto channel = [](int value, float mult, float add) {
        return std::clamp(int(std::lround(value * mult + add)), 0, 255);
    };
    for (int y = 0; y < result.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb pixel = qUnpremultiply(line[x]);
            line[x] = qPremultiply(qRgba(channel(qRed(pixel), transform.rMult, transform.rAdd),
                                         channel(qGreen(pixel), transform.gMult, transform.gAdd),
                                         channel(qBlue(pixel), transform.bMult, transform.bAdd),
                                         channel(qAlpha(pixel), transform.aMult, transform.aAdd)));
        }
    }
    return result;
}

} // namespace swf
