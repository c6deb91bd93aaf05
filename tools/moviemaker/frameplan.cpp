// SPDX-License-Identifier: GPL-3.0-or-later
#include "frameplan.h"
#include "polyline.h"

#include <QLineF>
#include <QtMath>
#include <algorithm>

QList<PlannedFrame> planFrames(const QList<QPolygonF> &medians, int soundFrames,
                               const Timing &timing)
{
    QList<PlannedFrame> frames(timing.leadInFrames);
    const int strokeCount = int(medians.size());
    for (int stroke = 0; stroke < strokeCount; ++stroke) {
        const int count = std::clamp(qRound(polylineLength(medians[stroke]) / timing.unitsPerFrame),
                                     timing.minStrokeFrames, timing.maxStrokeFrames);
        for (int i = 1; i <= count; ++i) {
            PlannedFrame frame;
            frame.stroke = stroke;
            frame.reveal = double(i) / count;
            frame.finishedStrokes = stroke;
            frames.append(frame);
        }
        PlannedFrame pause;
        pause.finishedStrokes = stroke + 1;
        for (int i = 0; i < timing.pauseFrames; ++i)
            frames.append(pause);
    }
    PlannedFrame done;
    done.finishedStrokes = strokeCount;
    done.showPinyin = true;
    const int finished = int(frames.size());
    const int sayAgain = soundFrames + timing.sayAgainFrames;
    const int length = soundFrames > 0 ? std::max(timing.finishedFrames,
                                                  sayAgain + soundFrames + timing.holdFrames)
                                       : timing.finishedFrames;
    for (int i = 0; i < length; ++i)
        frames.append(done);
    frames[finished].startSound = true;
    if (soundFrames > 0)
        frames[finished + sayAgain].startSound = true;
    return frames;
}
