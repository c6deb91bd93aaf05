// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FEATUREMOVIES_H
#define ZORVINA_FEATUREMOVIES_H

#include <QByteArray>
#include <QList>
#include <QString>

// Small movies, each using one part of the Flash format the native player
// plays (or one it must leave to the web player), for comparing the two
// players and for seeding the fuzzer.
struct FeatureMovie
{
    QString name;
    QByteArray bytes;
    // Frames (1-based) whose picture is worth comparing. For a still movie,
    // stillAt(bytes, frame) shows that frame; a movie that stops itself
    // (wholeMovie) is played as it is, and a frame is the number of clock
    // ticks, plus one, after which its picture no longer changes.
    QList<int> frames;
    bool wholeMovie = false;
    // false: the native player must leave the movie to the web player.
    bool native = true;
    // false: the web player's renderer is known to draw this differently
    // from Flash, so its picture proves nothing; note says how.
    bool webReference = true;
    QString note;
};

// Every feature movie, made afresh (JPEG, PNG and MP3 data are encoded on
// the spot). Throws SwfError if the writer refuses one, which is a bug here.
QList<FeatureMovie> featureMovies();

// The movie (uncompressed, zlib or LZMA) cut after its frame'th frame
// (1-based) with a stop action before that frame ends, so that any player
// shows that frame still. Compressed the way it came. Throws SwfError with
// the reason for a damaged movie or a frame it does not have.
QByteArray stillAt(const QByteArray &movie, int frame);

// The movie with another frame rate, otherwise unchanged: a still reached
// sooner. Throws SwfError like stillAt.
QByteArray withFrameRate(const QByteArray &movie, double framesPerSecond);

#endif
