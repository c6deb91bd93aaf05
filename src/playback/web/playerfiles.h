// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PLAYERFILES_H
#define ZORVINA_PLAYERFILES_H

#include "moviefile.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <memory>

class AppFolder;
class QIODevice;
class QUrl;

// Everything the player's page may read, by URL of the player's own scheme:
// the page itself, Ruffle's scripts and WebAssembly from the installation,
// and the one movie being loaded right now. Anything else is refused, so a
// movie (or a bad URL) can never read an arbitrary file.
class PlayerFiles
{
public:
    explicit PlayerFiles(const AppFolder &folder);

    static QByteArray scheme();
    static QUrl pageUrl();
    // The frame Ruffle runs in, inside the page.
    static QUrl stageUrl();
    static QUrl movieUrl(int ticket);

    // Whether the installation holds the Ruffle files the page needs.
    bool rufflePresent() const;

    // Only this movie may be served from now on, and only if it is a file
    // directly inside the playing folder. It is read at once.
    void setCurrentMovie(int ticket, const QString &path);
    // The same, with the movie already read by the same rules.
    void setCurrentMovieData(int ticket, const QByteArray &movie);

    // The current movie as read, or empty when it may not be played.
    QByteArray currentMovie() const { return m_movie; }

    // Opens what the URL names for reading, or returns null when it names
    // nothing the page may have.
    std::unique_ptr<QIODevice> open(const QUrl &url, QByteArray *mimeType) const;

private:
    std::unique_ptr<QIODevice> openPageFile(const QString &name, QByteArray *mimeType) const;
    std::unique_ptr<QIODevice> openRuffleFile(const QString &name, QByteArray *mimeType) const;
    std::unique_ptr<QIODevice> openMovie(const QString &name, QByteArray *mimeType) const;

    QDir m_ruffleDir;
    MovieFile m_movieFile;
    int m_movieTicket = 0;
    QByteArray m_movie;
};

#endif
