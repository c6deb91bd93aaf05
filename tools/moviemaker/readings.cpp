#include "readings.h"
#include "makererror.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

Readings::Readings(const QString &jsonDir, const QString &supplementFile) : m_jsonDir(jsonDir)
{
    loadSingleCharacters(jsonDir + QStringLiteral("/modern.json"), m_modern);
    QFile supplement(supplementFile);
    if (!supplement.open(QIODevice::ReadOnly | QIODevice::Text))
        throw MakerError(QStringLiteral("Cannot read %1").arg(supplementFile));
    while (!supplement.atEnd()) {
        const QString line = QString::fromUtf8(supplement.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() != 2)
            throw MakerError(QStringLiteral("%1: bad line '%2'").arg(supplementFile, line));
        m_supplement.insert(fields[0], fields[1]);
    }
}

QString Readings::reading(const QString &character)
{
    QString found = m_modern.value(character);
    if (found.isEmpty()) {
        if (!m_completeLoaded) {
            loadSingleCharacters(m_jsonDir + QStringLiteral("/complete.json"), m_complete);
            m_completeLoaded = true;
        }
        found = m_complete.value(character, m_supplement.value(character));
    }
    return found;
}

void Readings::loadSingleCharacters(const QString &fileName, QHash<QString, QString> &into)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(QStringLiteral("Cannot read the readings file %1").arg(fileName));
    QJsonParseError error;
    const QJsonObject words = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError || words.isEmpty())
        throw MakerError(QStringLiteral("The readings file %1 is damaged").arg(fileName));
    // Entries are "word": ["pinyin", frequency]; only single characters with
    // a single syllable are wanted here.
    for (auto it = words.begin(); it != words.end(); ++it) {
        if (it.key().toUcs4().size() != 1)
            continue;
        const QString pinyin = it.value().toArray().first().toString().trimmed();
        if (!pinyin.isEmpty() && !pinyin.contains(QLatin1Char(' ')))
            into.insert(it.key(), pinyin);
    }
}

QString toneNumbered(const QString &syllable)
{
    int tone = 5;
    QString plain;
    for (const QChar c : syllable.normalized(QString::NormalizationForm_D)) {
        switch (c.unicode()) {
        case 0x0304: // macron
            tone = 1;
            break;
        case 0x0301: // acute
            tone = 2;
            break;
        case 0x030C: // caron
            tone = 3;
            break;
        case 0x0300: // grave
            tone = 4;
            break;
        default:
            plain.append(c);
        }
    }
    return plain.normalized(QString::NormalizationForm_C) + QString::number(tone);
}
