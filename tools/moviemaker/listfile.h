#ifndef ZORVINA_LISTFILE_H
#define ZORVINA_LISTFILE_H

#include <QStringList>

// Character lists: the program's hanzi.ini (GB18030 or UTF-8 with a byte
// order mark) and the committed teaching order (UTF-8, # comments).

// Every character of the file in order, duplicates dropped; blank lines and
// lines starting with # are skipped. Throws MakerError for an unreadable file
// or a non-character (punctuation, Latin letters).
QStringList readCharacterList(const QString &fileName);

// The characters of text, in order, without spaces; throws MakerError for
// anything else.
QStringList splitCharacters(const QString &text);

// The characters of a frequency list (the hanzi package's, as Jun Da's
// lists are laid out), most frequent first. Throws MakerError.
QStringList readFrequencyList(const QString &fileName);

// hanzi.ini: the characters on one line, GB18030, CR LF. Written whole or not
// at all; throws MakerError on failure.
void writeHanziIni(const QString &fileName, const QStringList &characters);

// config.ini remembers the character the child last chose, so it is only
// written when it does not exist yet. Returns whether it was written.
bool writeConfigIfMissing(const QString &fileName, const QString &character);

#endif
