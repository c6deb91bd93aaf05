// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_TEXTFILE_H
#define ZORVINA_TEXTFILE_H

#include <QStringList>

class QString;

// The program's one-line text files (the character list and the remembered
// character). They are read as UTF-8 when they start with a UTF-8 byte-order
// mark, as UTF-16 with a UTF-16 one, and otherwise as GB18030, the superset of
// the GBK code page these files were always written in. A line ends at CR LF,
// a lone CR or a lone LF; only the first line counts.

// The first line of the file at path. Throws FileError: NotFound when the file
// is missing, PastEnd when it holds no bytes at all, BadFormat when the line
// is not text in its encoding (a byte that does not decode, or a NUL) or has
// not ended within 256 KiB, ReadFailed when it cannot be read (see
// readRegularFile).
QString readFirstLine(const QString &path);

// The characters of the first line of the character list at path. Throws
// FileError as readFirstLine does, and BadFormat for more than 32,767
// characters, the most the list can hold.
QStringList readCharacterList(const QString &path);

// Replaces the file's content with text and CR LF, encoded as GB18030, whole
// or not at all (see replaceFile). Throws FileError WriteFailed.
void writeSingleLine(const QString &path, const QString &text);

// The characters of a line, in order: each is one whole character, so a
// character outside the Basic Multilingual Plane is one entry, not two halves.
QStringList charactersOf(const QString &line);

#endif
