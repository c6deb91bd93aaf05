// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FRAMEPLAN_H
#define ZORVINA_FRAMEPLAN_H

#include <QList>
#include <QPolygonF>

// How a character's movie unfolds over time, frame by frame, before any of
// it is drawn: tests and previews read it without decoding a movie.
struct Timing
{
    int framesPerSecond = 24;
    int leadInFrames = 12;     // the empty grid before the first stroke
    double unitsPerFrame = 30; // brush speed along the centre line, data units
    int minStrokeFrames = 12;  // 0.5 s, so a dot is still seen being written
    int maxStrokeFrames = 24;  // 1 s, so a long stroke does not drag
    int pauseFrames = 12;      // 0.5 s between strokes, time for a young child to follow
    int finishedFrames = 120;  // 5 s at least on the finished character
    int sayAgainFrames = 12;   // between the end of the syllable and its repetition
    int holdFrames = 24;       // at least this after the repetition ends
};

struct PlannedFrame
{
    int stroke = -1;         // the stroke being written, or -1
    double reveal = 0.0;     // how far along its centre line the brush is, 0..1
    int finishedStrokes = 0; // strokes 0..finishedStrokes-1 are complete
    bool showPinyin = false;
    bool startSound = false; // the pronunciation starts in this frame
};

// One frame list for the whole movie: lead-in, each stroke revealed over
// frames in proportion to its length, a pause after each, then the finished
// character with its pinyin while the sound (soundFrames long) is said
// twice, held for finishedFrames or until holdFrames after the second
// saying, whichever is later, before the movie starts over.
QList<PlannedFrame> planFrames(const QList<QPolygonF> &medians, int soundFrames,
                               const Timing &timing = Timing());

#endif
