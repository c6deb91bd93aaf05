#include "listfile.h"
#include "characterdata.h"
#include "makererror.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QString decode(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError())
        return asUtf8;
    QStringDecoder gb18030("GB18030");
    const QString text = gb18030.decode(bytes);
    if (!gb18030.isValid() || gb18030.hasError())
        throw MakerError(QStringLiteral("%1 is neither UTF-8 nor GB18030 text").arg(fileName));
    return text;
}

void saveWhole(const QString &fileName, const QString &text)
{
    QStringEncoder gb18030("GB18030");
    const QByteArray bytes = gb18030.encode(text);
    if (!gb18030.isValid() || gb18030.hasError())
        throw MakerError(QStringLiteral("Cannot write %1 in GB18030").arg(fileName));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw MakerError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
}

} // namespace

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

QStringList readCharacterList(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    const QString text = decode(file.readAll(), fileName);
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
    saveWhole(fileName, characters.join(QString()) + QStringLiteral("\r\n"));
}

bool writeConfigIfMissing(const QString &fileName, const QString &character)
{
    if (QFile::exists(fileName))
        return false;
    saveWhole(fileName, character + QStringLiteral("\r\n"));
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
