#ifndef ZORVINA_STROKEREFERENCE_H
#define ZORVINA_STROKEREFERENCE_H

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>

// What a character's strokes should look like on the stage, painted straight
// from the data file by Qt's SVG renderer: independent of the movie maker's
// own reading of the outlines. White background, black strokes.
QImage referenceStrokes(const QString &dataDir, const QString &character, int onlyStroke = -1);

// The pixels inside the practice grid (or another area) whose colour passes
// the test.
QList<QPoint> gridPixelsWhere(const QImage &image, bool (*test)(const QColor &),
                              const QRect &area = QRect());

bool isInk(const QColor &colour);     // a finished (dark) stroke
bool isWriting(const QColor &colour); // the stroke being written (bright red)

double intersectionOverUnion(const QList<QPoint> &a, const QList<QPoint> &b);

#endif
