// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STILLCOMPARE_H
#define ZORVINA_STILLCOMPARE_H

// Shows one still of a movie with both players, the web player (Ruffle) and
// the native one, and compares the two pictures pixel by pixel. Used by the
// differential benchmark and its test.

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class WebEnginePlayer;

namespace stills {

// How two pictures of the same size differ: the largest difference of any
// channel of any pixel, and how many pixels differ past the tolerance in
// some channel.
struct Difference
{
    int largest = 0;
    qint64 pastTolerance = 0;
    qint64 pixels = 0;
    // Black where the pictures agree, grey up to the tolerance, red past it.
    QImage picture;

    double fractionPast() const { return pixels ? double(pastTolerance) / double(pixels) : 1.0; }
};

Difference compare(const QImage &a, const QImage &b, int tolerance);

// What the comparison allows: antialiasing and image decoding differ a
// little between the two players' renderers, a wrong shape or colour a lot.
struct Tolerance
{
    int channel = 40;
    double fraction = 0.01;
    bool accepts(const Difference &d) const { return d.fractionPast() <= fraction; }
};

// The native player's picture of still after ticks clock ticks, size
// pixels, the stage shown whole on its background colour. A null image and
// error when the native player does not play the movie.
QImage nativePicture(const QByteArray &still, int ticks, const QSize &size, QString *error);

// The stage size in whole pixels, read natively; empty when unreadable.
QSize stageSize(const QByteArray &movie);
// The root timeline's frame count and rate as the native reader sees them.
int frameCount(const QByteArray &movie);

// The web player in a window of its own, playing from a folder of its own.
class WebStills
{
public:
    // ruffleDir: Ruffle's files (the build's app folder's ruffle).
    explicit WebStills(const QString &ruffleDir);
    ~WebStills();
    bool isValid() const { return m_valid; }

    // Shows still at size and waits until its picture holds still: two
    // pictures 200 ms apart alike, no sooner than twice minimumMs (the time
    // its frame takes at its frame rate) and a second after the movie
    // showed, until good accepts the picture or timeoutMs more passed.
    // Returns the last steady picture (a null one and error when the movie
    // did not show at all).
    QImage show(const QByteArray &still, const QSize &size, int minimumMs,
                const std::function<bool(const QImage &)> &good, int timeoutMs, QString *error);

private:
    QTemporaryDir m_folder;
    std::unique_ptr<WebEnginePlayer> m_player;
    bool m_valid = false;
    int m_count = 0;
};

} // namespace stills

#endif
