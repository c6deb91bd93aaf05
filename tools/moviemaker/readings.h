// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_READINGS_H
#define ZORVINA_READINGS_H

#include <QHash>
#include <QString>

// The pinyin of single characters, the reading a child meets first. Where a
// character has several, the words of @pinyin-pro/data's modern dictionary
// vote with their frequency: a character is read as in the words it is most
// often met in, itself standing alone included. A hand-checked table comes
// before that vote (for tone sandhi, and where the frequent words are an
// adult's, 一切 rather than 切菜); the larger word list and a small
// supplement fill the characters the modern dictionary leaves out.
class Readings
{
public:
    // jsonDir holds modern.json and complete.json; supplementFile has lines
    // "<character> <pinyin>" and # comments; beside it readings-checked.txt
    // has lines "<character> <pinyin> <reason>". Throws MakerError for a
    // missing file or a malformed line.
    Readings(const QString &jsonDir, const QString &supplementFile);

    // The reading with tone marks, or an empty string when none is known
    // (mostly radicals and rare characters).
    QString reading(const QString &character);

private:
    void loadModern(const QString &file);
    void loadSingleCharacters(const QString &file, QHash<QString, QString> &into);

    QString m_jsonDir;
    QHash<QString, QString> m_frequent;
    QHash<QString, QString> m_complete; // read on first need: it is large
    QHash<QString, QString> m_supplement;
    QHash<QString, QString> m_checked;
    bool m_completeLoaded = false;
};

// The pinyin of a checked table's line, or a reason it is not one.
struct CheckedReading
{
    QString character;
    QString pinyin;
    QString problem; // empty for a good line
};
CheckedReading parseCheckedLine(const QString &line);

// zhōng -> zhong1, lǜ -> lü4, le -> le5: the form the speech voice reads
// exactly as written.
QString toneNumbered(const QString &syllable);

#endif
