// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STAGING_H
#define ZORVINA_STAGING_H

class AppFolder;
class MoviePlayer;
class QString;

// The road from a character's movie in the library to the player: the movie
// is copied into Temp, renamed into Work as a .swf file, and handed over.

// Stages the movie of character c as its playable file. Throws FileError when
// the copy or the rename fails, the movie is bigger than any player takes, or
// Temp or Work is a link that leads outside the folder it stands in; then no
// playable file was made by this call, and a copy left in Temp by an earlier
// call is as it was.
void StageMyFile(const AppFolder &folder, QString c);

// Empties Work of .swf files, stages c and asks the player to load it. Never
// fails: every staging and loading problem is deliberately silent, and the
// load is asked for even when staging failed.
void stageAndLoad(const AppFolder &folder, const QString &c, MoviePlayer &player);

// Deletes the .swf files in Work, unless Work is a link that leads outside the
// folder it stands in. Never fails: a file still held stays.
void clearPlayingFolder(const AppFolder &folder);

#endif
