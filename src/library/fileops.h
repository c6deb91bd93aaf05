// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FILEOPS_H
#define ZORVINA_FILEOPS_H

#include <QtGlobal>

class QByteArray;
class QString;

// File operations on the program's files and folders. Each throws FileError
// on failure; the caller decides whether a failure matters.
//
// Symbolic links: a link may lead anywhere inside the folder it stands in,
// never outside it. Whatever folder the program's files live in, nothing is
// then read or written anywhere else, however its entries are linked; a link
// that leads elsewhere or nowhere counts as a file that cannot be read or
// written.

// Whether every symbolic link on the way from folder down to path, a path
// inside folder, keeps to the rule above.
bool linksStayInside(const QString &folder, const QString &path);

// The content of the regular file at path, at most limit bytes and one more,
// so that the caller can tell a file that is too long. Anything but a regular
// file is refused before it is opened: a pipe would wait for ever, a device
// might never end. Throws NotFound or ReadFailed.
QByteArray readRegularFile(const QString &path, qint64 limit);

// Replaces the content of the file at path with bytes, whole or not at all:
// the new content has reached the disk before it takes the old one's place.
// Throws WriteFailed, and the old content is then as it was.
void replaceFile(const QString &path, const QByteArray &bytes);

// Removes the temporary files that saves of path interrupted in earlier runs
// left beside it.
void removeLeftoverSaves(const QString &path);

// Copies source to destination, replacing a file already there only once the
// copy is complete.
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
