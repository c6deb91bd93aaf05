// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_MOVIEBUILDER_H
#define ZORVINA_MOVIEBUILDER_H

#include "characterdata.h"
#include "frameplan.h"
#include "practicedata.h"
#include "swfwriter.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QTransform>

// Where things go on the stage, which has the shape of the program's movie
// area: the practice grid on the left with the pinyin in a band above it,
// and on the right the name of the stroke being written over its count.
namespace MovieLayout {
const QSize Stage(577, 449);
constexpr double FramesPerSecond = 24.0;
const QRectF Grid(24, 80, 360, 360);
const QRectF PinyinBand(24, 0, 360, 80);
const QRectF StrokeNameBox(396, 136, 172, 80);
const QRectF StrokeCountBox(396, 240, 172, 56);
// From the stroke data's 1024 square onto the grid.
QTransform characterToStage();
// The widest brush that reveals a stroke, in stage pixels.
constexpr double BrushRadius = 28.0;
} // namespace MovieLayout

// The colours a viewer sees.
namespace MovieColors {
const Rgba Background{255, 250, 238, 255};
const Rgba Grid{224, 160, 150, 255};
const Rgba Writing{230, 57, 40, 255}; // the stroke being written, and its name
const Rgba Finished{38, 38, 38, 255};
const Rgba Pinyin{30, 100, 180, 255};
const Rgba Count{90, 90, 90, 255};
} // namespace MovieColors

// Text drawn as outlines; an empty text shows nothing.
struct Label
{
    QString text;
    QPainterPath outline; // stage pixels
};

struct MovieInput
{
    CharacterData data;
    QPainterPath pinyinOutline; // stage pixels
    QList<Label> strokeNames;   // one a stroke, or none
    QList<Label> strokeCounts;  // 第1画, 第2画... one a stroke, or none
    Label total;                // 共N画, once the character is written
    Mp3Sound sound;
    bool recordedVoice = false;
};

// Says the reading (tone marks) into the movie's sound: the recorded
// syllable from voiceDir, the same syllable recorded in another tone moved to
// this one, or espeak-ng's voice where no tone of it was recorded. The movie
// says it twice (see planFrames). Throws MakerError.
void addSpeech(MovieInput &input, const QString &pinyin, const QString &voiceDir);

// The frames the movie needs to show the character and then say it.
QList<PlannedFrame> planMovie(const MovieInput &input, const Timing &timing = Timing());

// What practising the character needs, as its movie carries it: the
// strokes in character units, where the grid and labels are, the colours,
// and soundId, the movie's sound that says the syllable (0 for none).
practice::PracticeData practiceData(const MovieInput &input, quint16 soundId);

// Writes the movie of the plan, compressed, with the practice data. With stopAtFrame >= 0 the movie
// ends at that frame and stops there: a still for checking a moment of it.
QByteArray buildMovie(const MovieInput &input, const QList<PlannedFrame> &plan,
                      int stopAtFrame = -1);

// The font file's face at the pinyin's size, loaded by file so that the
// movies do not depend on the fonts installed. Needs a QGuiApplication; call
// it and pinyinOutline from the main thread. Throws MakerError.
QFont pinyinFont(const QString &fontFile);

// The pinyin drawn as outlines, centred in the top band.
QPainterPath pinyinOutline(const QString &pinyin, const QFont &font);

// Stroke names and counts in a Kai font, the brush style a child learns to
// write, loaded from its file; the same text is drawn once. Main thread only.
class Lettering
{
public:
    explicit Lettering(const QString &fontFile); // throws MakerError

    // The labels of a character with strokeCount strokes; names holds one
    // name a stroke (empty where unknown) or is empty.
    void label(MovieInput &input, const QStringList &names, int strokeCount);

private:
    Label fitted(const QString &text, const QFont &font, const QRectF &box);

    QFont m_nameFont;
    QFont m_countFont;
    QHash<QString, QPainterPath> m_drawn;
};

// Converts a Qt path to movie edges; cubic curves become quadratic ones
// within a twentieth of a pixel.
ShapePath toShapePath(const QPainterPath &path);

#endif
