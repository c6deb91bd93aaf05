// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_CHARACTERDATA_H
#define ZORVINA_CHARACTERDATA_H

#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

// One character of the stroke data: for each stroke, in writing order, its
// outline and its centre line from where the brush starts to where it ends.
// Coordinates are those of a 1024 x 1024 square with y pointing down.
struct CharacterData
{
    QString character;
    QList<QPainterPath> strokes;
    QList<QPolygonF> medians;
};

// The data's own box: x 0..1024, y -124..900 pointing up.
QPointF fromDataCoordinates(double x, double y);

// Parses the absolute M/L/Q/C/Z path syntax the stroke data uses.
QPainterPath parseStrokePath(const QString &svgPath);

// True when text is a single CJK character that can name a data file (and so
// a movie file): no Latin letters, path separators or punctuation.
bool isSingleCharacter(const QString &text);

// The stroke data's file of character: <dataDir>/<character>.json.
QString characterFile(const QString &dataDir, const QString &character);

// Reads characterFile(dataDir, character). Throws MakerError when the character is
// not in the data or its file is damaged.
CharacterData loadCharacter(const QString &dataDir, const QString &character);

#endif
