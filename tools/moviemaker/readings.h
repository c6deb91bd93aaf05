#ifndef ZORVINA_READINGS_H
#define ZORVINA_READINGS_H

#include <QHash>
#include <QString>

// The pinyin of single characters, from the dictionary data of
// @pinyin-pro/data: its modern dictionary first, which gives a character's
// usual reading when it stands alone, then its larger word list. A small
// committed supplement fills the few characters both leave out.
class Readings
{
public:
    // jsonDir holds modern.json and complete.json; supplementFile has lines
    // "<character> <pinyin>" and # comments.
    Readings(const QString &jsonDir, const QString &supplementFile);

    // The reading with tone marks, or an empty string when none is known
    // (mostly radicals and rare characters).
    QString reading(const QString &character);

private:
    void loadSingleCharacters(const QString &file, QHash<QString, QString> &into);

    QString m_jsonDir;
    QHash<QString, QString> m_modern;
    QHash<QString, QString> m_complete; // read on first need: it is large
    QHash<QString, QString> m_supplement;
    bool m_completeLoaded = false;
};

// zhōng -> zhong1, lǜ -> lü4, le -> le5: the form the speech voice reads
// exactly as written.
QString toneNumbered(const QString &syllable);

#endif
