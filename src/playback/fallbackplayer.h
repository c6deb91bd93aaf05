// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FALLBACKPLAYER_H
#define ZORVINA_FALLBACKPLAYER_H

#include <QByteArray>
#include <QString>
#include <functional>

class QWidget;

// The web player as the movie area sees it. It lives in a module of its own
// that is loaded only when the first movie comes that the native player
// cannot play: until then no part of the web engine is in the process.
class FallbackPlayer
{
public:
    struct Listener
    {
        std::function<void(const QString &path)> shown;
        std::function<void(const QString &path)> failed;
        std::function<void(const QString &message)> unavailable;
    };

    virtual ~FallbackPlayer() = default;
    virtual QWidget *widget() = 0;
    // Plays a movie already read from path.
    virtual void loadMovieData(const QString &path, const QByteArray &movie) = 0;
    // Plays nothing, silently, until the next movie.
    virtual void showNothing() = 0;
};

// The module's one entry point: makes the player for the application folder
// (read from folderPath, written in writingPath) inside parent.
using CreateFallbackPlayer = FallbackPlayer *(*)(const QString &folderPath,
                                                 const QString &writingPath,
                                                 const FallbackPlayer::Listener &listener,
                                                 QWidget *parent);
constexpr const char *createFallbackPlayerName = "zorvinaCreateWebPlayer";

#endif
