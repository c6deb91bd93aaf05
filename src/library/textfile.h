#ifndef ZORVINA_TEXTFILE_H
#define ZORVINA_TEXTFILE_H

#include <QStringList>

class QByteArray;
class QString;

// The program's one-line text files (the character list and the remembered
// character). They are read as UTF-8 when they start with a UTF-8 byte-order
// mark, as UTF-16 with a UTF-16 one, and otherwise as GB18030, the superset of
// the GBK code page these files were always written in. A line ends at CR LF,
// a lone CR or a lone LF.

// The first line of the file at path. Throws FileError: NotFound when the file
// is missing, PastEnd when it holds no bytes at all, ReadFailed otherwise.
QString readFirstLine(const QString &path);

// Decodes file content as described above and returns its first line.
QString firstLineOf(const QByteArray &content);

// Replaces the file's content with text and CR LF, encoded as GB18030. The old
// content stays whole unless the new one was written completely. Throws
// FileError WriteFailed.
void writeSingleLine(const QString &path, const QString &text);

// The characters of a line, in order: each is one whole character, so a
// character outside the Basic Multilingual Plane is one entry, not two halves.
QStringList charactersOf(const QString &line);

#endif
