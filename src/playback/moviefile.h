// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_MOVIEFILE_H
#define ZORVINA_MOVIEFILE_H

#include <QByteArray>
#include <QDir>

class QString;

// The one reading of a staged movie that both players share. Only a regular
// file with the .swf extension directly inside the playing folder is read (a
// link in Work leads nowhere else), only up to a size far beyond any real
// movie, and only when it starts like a Flash movie. Anything else reads as
// empty.
class MovieFile
{
public:
    // A character's movie is some kilobytes; the whole file is held in memory.
    static constexpr qint64 maxSize = 64 * 1024 * 1024;

    explicit MovieFile(const QString &playingFolder);

    QByteArray read(const QString &path) const;

    // A Flash signature, and an uncompressed movie at least as long as its
    // header says.
    static bool looksLikeMovie(const QByteArray &bytes);

private:
    bool isPlayable(const QString &path) const;

    QDir m_workDir;
};

#endif
