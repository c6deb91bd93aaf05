// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_LISTFILE_H
#define ZORVINA_LISTFILE_H

#include <QStringList>

// Character lists: the program's hanzi.ini and the committed teaching order.

// The characters of a hanzi.ini that movies can be made of, in order and
// without repeats. The file is read exactly as the program reads it (see
// readCharacterList), so the movies match the list the program shows; what
// cannot have a movie (a space, punctuation, a character the stroke data in
// dataDir lacks) is left out and described in skipped, e.g. "' ' (a space)".
// Throws FileError when the program could not read the file either.
QStringList readHanziIni(const QString &fileName, const QString &dataDir, QStringList &skipped);

// The teaching order: UTF-8, one character a line, blank lines and lines
// starting with # skipped, repeats dropped. Throws MakerError for an
// unreadable file or a non-character (punctuation, Latin letters).
QStringList readTeachingOrder(const QString &fileName);

// The characters of text, in order, without spaces; throws MakerError for
// anything else.
QStringList splitCharacters(const QString &text);

// The characters of a frequency list (the hanzi package's, as Jun Da's
// lists are laid out), most frequent first. Throws MakerError.
QStringList readFrequencyList(const QString &fileName);

// hanzi.ini: the characters on one line, as the program writes its files.
// Throws FileError.
void writeHanziIni(const QString &fileName, const QStringList &characters);

// config.ini remembers the character the child last chose, so it is only
// written when it does not exist yet. Returns whether it was written; throws
// FileError.
bool writeConfigIfMissing(const QString &fileName, const QString &character);

#endif
