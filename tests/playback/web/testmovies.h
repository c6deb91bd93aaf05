#ifndef ZORVINA_TESTMOVIES_H
#define ZORVINA_TESTMOVIES_H

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>

// Movies written for the player tests: a background colour, and optionally
// frames that each fill the whole stage with one colour (looping) and a
// getURL on every frame.
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

    QByteArray bytes() const;
};

// Movies that would keep the player from ever playing the next movie.
enum class HostileMovie {
    EndlessLoop, // an ActionScript loop that never ends
    HugeBitmap,  // a bitmap of 65,535 x 65,535 pixels
};
QByteArray hostileMovie(HostileMovie kind);

// Text in the named device font (not embedded in the movie), black on white,
// 100 pixels high: the player has to draw it with the system's fonts.
QByteArray deviceTextMovie(const QString &text, const QString &fontName);

#endif
