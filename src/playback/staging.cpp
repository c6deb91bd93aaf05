// SPDX-License-Identifier: GPL-3.0-or-later
#include "staging.h"

#include "appfolder.h"
#include "fileerror.h"
#include "fileops.h"
#include "moviefile.h"
#include "movieplayer.h"

#include <QFileInfo>
#include <QString>

void StageMyFile(const AppFolder &folder, QString c)
{
    // A character that could reach outside the library folders is treated
    // like one without a movie.
    if (!isSafeInFileName(c))
        throw FileError(FileError::Kind::BadName, folder.movie(c));
    const QString staging = folder.stagingCopy(c);
    const QString playable = folder.playable(c);
    for (const QString &path : {staging, playable}) {
        if (!linksStayInside(folder.writingPath(), path))
            throw FileError(FileError::Kind::WriteFailed, path);
    }
    // No player takes a movie this big: copying it twice would only fill
    // the disk.
    if (QFileInfo(folder.movie(c)).size() > MovieFile::maxSize)
        throw FileError(FileError::Kind::BadFormat, folder.movie(c));
    copyFile(folder.movie(c), staging);
    moveFile(staging, playable);
    try {
        deleteMatching(folder.stagingSweep());
    } catch (const FileError &) {
        // Normally nothing is left to sweep.
    }
}

void stageAndLoad(const AppFolder &folder, const QString &c, MoviePlayer &player)
{
    const QString playable = folder.playable(c);
    folder.makeWritingFolders();
    clearPlayingFolder(folder);
    try {
        StageMyFile(folder, c);
    } catch (const FileError &) {
        // A missing movie leaves the area as the player keeps it.
    }
    player.LoadMovie(0, playable);
}

void clearPlayingFolder(const AppFolder &folder)
{
    if (!linksStayInside(folder.writingPath(), folder.playingSweep()))
        return;
    try {
        deleteMatching(folder.playingSweep());
    } catch (const FileError &) {
        // Nothing to delete on the first selection and after a failed one.
    }
}
