#include "staging.h"

#include "appfolder.h"
#include "fileerror.h"
#include "fileops.h"
#include "movieplayer.h"

#include <QString>

void StageMyFile(const AppFolder &folder, QString c)
{
    // A character that could reach outside the library folders is treated
    // like one without a movie.
    if (!isSafeInFileName(c))
        throw FileError(FileError::Kind::BadName, folder.movie(c));
    const QString staging = folder.stagingCopy(c);
    copyFile(folder.movie(c), staging);
    moveFile(staging, folder.playable(c));
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
    try {
        deleteMatching(folder.playingSweep());
    } catch (const FileError &) {
        // Nothing to delete on the first selection; a held file is replaced below.
    }
    try {
        StageMyFile(folder, c);
    } catch (const FileError &) {
        // A missing movie leaves the area as the player keeps it.
    }
    player.LoadMovie(0, playable);
}
