// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_MOVIEPLAYER_H
#define ZORVINA_MOVIEPLAYER_H

class QString;
class QWidget;

// The movie area as the window sees it: something that shows a widget and
// can be told to play a movie file. The real one hosts a Flash player; tests
// use a recording fake.
class MoviePlayer
{
public:
    virtual ~MoviePlayer() = default;

    // The widget placed in the window's movie area.
    virtual QWidget *widget() = 0;

    // Replaces the movie shown in the given layer with the file at path (a
    // plain file-system path) and starts playing it. Returns at once; a file
    // that is missing or not a movie is the player's own business and is
    // never reported back.
    virtual void LoadMovie(int layer, const QString &path) = 0;

    // Writing practice of the movie last loaded: possible only when that
    // movie plays and carries what practice needs. Loading another movie
    // ends any practice; so does the practice itself, a few seconds after
    // the character is finished.
    virtual bool canPractise() const { return false; }
    virtual bool isPractising() const { return false; }
    virtual void setPractising(bool on) { (void)on; }
};

#endif
