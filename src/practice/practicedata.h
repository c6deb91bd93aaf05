// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PRACTICEDATA_H
#define ZORVINA_PRACTICEDATA_H

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <optional>

namespace practice {

// The movie maker puts a character's practice data into its movie under
// this tag code, one Flash players skip as private data; the lesson shows
// the same on every player with or without it.
constexpr int TagCode = 800;

// The bounds a tag must keep to be read at all.
namespace Limits {
constexpr int tagBytes = 1024 * 1024;
constexpr int strokes = 64;
constexpr int nameBytes = 120;      // UTF-8
constexpr int medianPoints = 512;   // per stroke
constexpr int outlinePoints = 8192; // per stroke, control points counted
constexpr int coordinate = 4096;    // |x|, |y| in character units
} // namespace Limits

// One stroke, in writing order, in character units: the 1024 x 1024 square
// the character is designed in, y pointing down.
struct Stroke
{
    QString name;         // e.g. 横折钩; may be empty
    QPolygonF median;     // the centre line, from where the brush starts to where it ends
    QPainterPath outline; // the filled shape of the stroke
};

// What practising a character needs, beside the lesson's movie.
struct PracticeData
{
    // Where things are on the movie's stage, in twips (1/20 pixel) as the
    // renderer's stage is, so practice sits exactly where the lesson does.
    QRectF grid;     // the 田字格; the character square fills it
    QRectF nameBox;  // the stroke name, centred and shrunk to fit
    QRectF countBox; // 第N画 under it
    QColor gridColor;
    QColor writingColor;  // the stroke being written and its name
    QColor finishedColor; // a written stroke
    QColor countColor;
    quint16 soundId = 0; // the movie's DefineSound that says the syllable; 0 none
    QList<Stroke> strokes;

    // From character units onto the stage, in twips.
    QTransform characterToStage() const;
};

// The tag's body. Coordinates are stored rounded to whole units.
QByteArray writePracticeData(const PracticeData &data);

// Reads a tag's body; nothing when it is damaged, past a bound or of a
// later version (the lesson plays; practice is not offered).
std::optional<PracticeData> readPracticeData(const QByteArray &body);

} // namespace practice

#endif
