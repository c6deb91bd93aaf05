// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings.h"
#include "makererror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

QList<QString> readLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw MakerError(QStringLiteral("Cannot read %1").arg(fileName));
    QList<QString> lines;
    while (!file.atEnd())
        lines.append(QString::fromUtf8(file.readLine()).trimmed());
    return lines;
}

bool isComment(const QString &line)
{
    return line.isEmpty() || line.startsWith(QLatin1Char('#'));
}

// A syllable in the words' data: lower-case letters, ü, and at most one
// tone mark.
bool isSyllable(const QString &pinyin)
{
    const QString letters = toneNumbered(pinyin).chopped(1);
    const QString decomposed = pinyin.normalized(QString::NormalizationForm_D);
    const auto toneMarks = std::count_if(decomposed.begin(), decomposed.end(), [](QChar c) {
        return c == QChar(0x0304) || c == QChar(0x0301) || c == QChar(0x030C) || c == QChar(0x0300);
    });
    return !letters.isEmpty() && toneMarks <= 1 &&
           std::all_of(letters.begin(), letters.end(), [](QChar c) {
               return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c == QChar(0x00FC);
           });
}

bool isNeutral(const QString &syllable)
{
    return toneNumbered(syllable).endsWith(QLatin1Char('5'));
}

} // namespace

CheckedReading parseCheckedLine(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    CheckedReading parsed;
    if (fields.size() < 3) {
        parsed.problem = QStringLiteral("want a character, its reading and why");
        return parsed;
    }
    parsed.character = fields[0];
    parsed.pinyin = fields[1];
    if (parsed.character.toUcs4().size() != 1)
        parsed.problem = QStringLiteral("'%1' is not one character").arg(parsed.character);
    else if (!isSyllable(parsed.pinyin))
        parsed.problem = QStringLiteral("'%1' is not a pinyin syllable").arg(parsed.pinyin);
    return parsed;
}

Readings::Readings(const QString &jsonDir, const QString &supplementFile) : m_jsonDir(jsonDir)
{
    loadModern(jsonDir + QStringLiteral("/modern.json"));
    for (const QString &line : readLines(supplementFile)) {
        if (isComment(line))
            continue;
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() != 2)
            throw MakerError(QStringLiteral("%1: bad line '%2'").arg(supplementFile, line));
        m_supplement.insert(fields[0], fields[1]);
    }
    const QString checkedFile =
        QFileInfo(supplementFile).dir().filePath(QStringLiteral("readings-checked.txt"));
    const QList<QString> lines = readLines(checkedFile);
    for (int i = 0; i < lines.size(); ++i) {
        if (isComment(lines[i]))
            continue;
        const CheckedReading parsed = parseCheckedLine(lines[i]);
        if (!parsed.problem.isEmpty())
            throw MakerError(
                QStringLiteral("%1:%2: %3").arg(checkedFile).arg(i + 1).arg(parsed.problem));
        if (m_checked.contains(parsed.character))
            throw MakerError(QStringLiteral("%1:%2: %3 is checked twice")
                                 .arg(checkedFile)
                                 .arg(i + 1)
                                 .arg(parsed.character));
        m_checked.insert(parsed.character, parsed.pinyin);
    }
}

QString Readings::reading(const QString &character)
{
    QString found = m_checked.value(character, m_frequent.value(character));
    if (found.isEmpty()) {
        if (!m_completeLoaded) {
            loadSingleCharacters(m_jsonDir + QStringLiteral("/complete.json"), m_complete);
            m_completeLoaded = true;
        }
        found = m_complete.value(character, m_supplement.value(character));
    }
    return found;
}

namespace {

QJsonObject readWords(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(QStringLiteral("Cannot read the readings file %1").arg(fileName));
    QJsonParseError error;
    const QJsonObject words = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError || words.isEmpty())
        throw MakerError(QStringLiteral("The readings file %1 is damaged").arg(fileName));
    return words;
}

} // namespace

// Entries are "word": ["pin yin", frequency], a syllable a character. Inside
// a longer word a syllable in the neutral tone (the zi of 孩子) is a
// weakened form of the character, not its reading, and does not vote.
void Readings::loadModern(const QString &fileName)
{
    const QJsonObject words = readWords(fileName);
    QHash<QString, QHash<QString, double>> votes;
    for (auto it = words.begin(); it != words.end(); ++it) {
        const QList<uint> characters = it.key().toUcs4();
        const QJsonArray entry = it.value().toArray();
        const QStringList syllables =
            entry.first().toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (syllables.size() != characters.size())
            continue;
        const double frequency = entry.at(1).toDouble();
        for (int i = 0; i < syllables.size(); ++i) {
            if (characters.size() > 1 && isNeutral(syllables[i]))
                continue;
            const char32_t code = characters[i];
            votes[QString::fromUcs4(&code, 1)][syllables[i]] += frequency;
        }
    }
    for (auto it = votes.begin(); it != votes.end(); ++it) {
        // Ties go to the alphabetically first, so every run chooses alike.
        QString best;
        double most = -1.0;
        for (auto vote = it->begin(); vote != it->end(); ++vote) {
            if (vote.value() > most || (vote.value() == most && vote.key() < best)) {
                best = vote.key();
                most = vote.value();
            }
        }
        m_frequent.insert(it.key(), best);
    }
}

void Readings::loadSingleCharacters(const QString &fileName, QHash<QString, QString> &into)
{
    const QJsonObject words = readWords(fileName);
    // Only single characters with a single syllable are wanted here.
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
