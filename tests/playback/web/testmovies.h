#ifndef ZORVINA_TESTMOVIES_H
#define ZORVINA_TESTMOVIES_H

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>

// Movies written for the player tests: a background colour, and optionally
// frames that each fill the whole stage with one colour (looping), a getURL
// on every frame, and a tone that starts with the first frame.
struct TestMovie
{
    explicit TestMovie(const QColor &backgroundColour, const QList<QColor> &frameColours = {})
        : background(backgroundColour), frames(frameColours)
    {
    }

    QColor background;
    QList<QColor> frames;
    QSize stage = QSize(577, 449);
    double frameRate = 24.0;
    QByteArray getUrl;
    bool sound = false;

    QByteArray bytes() const;
};

// Text in the named device font (not embedded in the movie), black on white,
// 100 pixels high: the player has to draw it with the system's fonts.
QByteArray deviceTextMovie(const QString &text, const QString &fontName);

#endif
