#ifndef ZORVINA_MOVIEBUILDER_H
#define ZORVINA_MOVIEBUILDER_H

#include "characterdata.h"
#include "frameplan.h"
#include "swfwriter.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QTransform>

// Where things go on the stage, which has the shape of the program's movie
// area: the pinyin in a band along the top, the practice grid below it.
namespace MovieLayout {
const QSize Stage(577, 449);
constexpr double FramesPerSecond = 24.0;
const QRectF PinyinBand(0, 0, 577, 80);
const QRectF Grid(108, 80, 360, 360);
// From the stroke data's 1024 square onto the grid.
QTransform characterToStage();
// The widest brush that reveals a stroke, in stage pixels.
constexpr double BrushRadius = 28.0;
} // namespace MovieLayout

struct MovieInput
{
    CharacterData data;
    QPainterPath pinyinOutline; // stage pixels
    Mp3Sound sound;
};

// Speaks the reading and gathers everything the movie shows; without a
// reading the movie only writes the character. Throws MakerError.
MovieInput prepareMovie(const CharacterData &data, const QString &pinyin,
                        const QPainterPath &pinyinOutline);

// The frames the movie needs to show the character and then say it.
QList<PlannedFrame> planMovie(const MovieInput &input, const Timing &timing = Timing());

// Writes the movie of the plan, compressed. With stopAtFrame >= 0 the movie
// ends at that frame and stops there: a still for checking a moment of it.
QByteArray buildMovie(const MovieInput &input, const QList<PlannedFrame> &plan,
                      int stopAtFrame = -1);

// The font file's face at the pinyin's size, loaded by file so that the
// movies do not depend on the fonts installed. Needs a QGuiApplication; call
// it and pinyinOutline from the main thread. Throws MakerError.
QFont pinyinFont(const QString &fontFile);

// The pinyin drawn as outlines, centred in the top band.
QPainterPath pinyinOutline(const QString &pinyin, const QFont &font);

// Converts a Qt path to movie edges; cubic curves become quadratic ones
// within a twentieth of a pixel.
ShapePath toShapePath(const QPainterPath &path);

#endif
