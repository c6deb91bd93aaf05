#ifndef ZORVINA_STAGING_H
#define ZORVINA_STAGING_H

class AppFolder;
class MoviePlayer;
class QString;

// The road from a character's movie in the library to the player: the movie
// is copied into Temp, renamed into Work as a .swf file, and handed over.

// Stages the movie of character c as its playable file. Throws FileError when
// the copy or the rename fails; then no playable file was made by this call.
void StageMyFile(const AppFolder &folder, QString c);

// Empties Work of .swf files, stages c and asks the player to load it. Never
// fails: every staging and loading problem is deliberately silent, and the
// load is asked for even when staging failed.
void stageAndLoad(const AppFolder &folder, const QString &c, MoviePlayer &player);

#endif
