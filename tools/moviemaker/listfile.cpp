// SPDX-License-Identifier: GPL-3.0-or-later
#include "listfile.h"
#include "characterdata.h"
#include "makererror.h"
#include "textfile.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>

QStringList splitCharacters(const QString &text)
{
    QStringList characters;
    for (uint codePoint : text.toUcs4()) {
        const QString character =
            QString::fromUcs4(reinterpret_cast<const char32_t *>(&codePoint), 1);
        if (character.trimmed().isEmpty())
            continue;
        if (!isSingleCharacter(character))
            throw MakerError(QStringLiteral("'%1' is not a Chinese character").arg(character));
        characters.append(character);
    }
    return characters;
}

QStringList readHanziIni(const QString &fileName, const QString &dataDir, QStringList &skipped)
{
    QStringList characters;
    QSet<QString> seen;
    for (const QString &character : readCharacterList(fileName)) {
        if (seen.contains(character))
            continue;
        seen.insert(character);
        if (character.trimmed().isEmpty())
            skipped.append(QStringLiteral("'%1' (a space)").arg(character));
        else if (!isSingleCharacter(character))
            skipped.append(QStringLiteral("'%1' (not a Chinese character)").arg(character));
        else if (!QFile::exists(characterFile(dataDir, character)))
            skipped.append(QStringLiteral("'%1' (not in the stroke data)").arg(character));
        else
            characters.append(character);
    }
    return characters;
}

QStringList readTeachingOrder(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(file.readAll());
    if (utf8.hasError())
        throw MakerError(QStringLiteral("%1 is not UTF-8 text").arg(fileName));
    QStringList characters;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        try {
            for (const QString &character : splitCharacters(line)) {
                if (!characters.contains(character))
                    characters.append(character);
            }
        } catch (const MakerError &error) {
            throw MakerError(QStringLiteral("%1: %2").arg(fileName, error.message()));
        }
    }
    return characters;
}

void writeHanziIni(const QString &fileName, const QStringList &characters)
{
    writeSingleLine(fileName, characters.join(QString()));
}

bool writeConfigIfMissing(const QString &fileName, const QString &character)
{
    if (QFile::exists(fileName))
        return false;
    writeSingleLine(fileName, character);
    return true;
}

QStringList readFrequencyList(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(QStringLiteral("Cannot read the frequency list %1").arg(fileName));
    // Lines "rank<TAB>character<TAB>count...", inside a JavaScript string.
    QStringList characters;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().split('\t');
        bool isRank = false;
        if (fields.size() > 2 && fields[0].toInt(&isRank) > 0 && isRank)
            characters.append(QString::fromUtf8(fields[1]));
    }
    if (characters.isEmpty())
        throw MakerError(QStringLiteral("%1 is not a frequency list").arg(fileName));
    return characters;
}
