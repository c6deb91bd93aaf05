#ifndef ZORVINA_FILEOPS_H
#define ZORVINA_FILEOPS_H

class QString;

// File operations on the library and working folders. Each throws FileError
// on failure; the caller decides whether a failure matters.

// Copies source to destination, replacing a file already there.
void copyFile(const QString &source, const QString &destination);

// Renames source to destination within one volume. Never replaces: a file
// already at destination is an AlreadyExists error.
void moveFile(const QString &source, const QString &destination);

// Deletes every file matching pattern, a folder path followed by a file-name
// wildcard such as "/app/Work/*.swf" (matched without regard to case). Throws
// NotFound when nothing matches; goes on past a file it cannot delete and
// throws WriteFailed for it at the end.
void deleteMatching(const QString &pattern);

// Whether c can stand in a file name without reaching outside its folder.
bool isSafeInFileName(const QString &c);

#endif
