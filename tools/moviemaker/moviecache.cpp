// SPDX-License-Identifier: GPL-3.0-or-later
#include "moviecache.h"
#include "makererror.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

MovieCache::MovieCache(const QString &fileName) : m_fileName(fileName)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    // Lines "character<TAB>key<TAB>movie size".
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split('\t');
        if (fields.size() == 3)
            m_entries.insert(QString::fromUtf8(fields[0]),
                             Entry{QByteArray::fromHex(fields[1]), fields[2].toLongLong()});
    }
}

bool MovieCache::isCurrent(const QString &character, const QByteArray &key,
                           const QString &moviePath) const
{
    const auto it = m_entries.constFind(character);
    const QFileInfo movie(moviePath);
    return it != m_entries.cend() && it->key == key && movie.exists() && movie.size() == it->size;
}

void MovieCache::remember(const QString &character, const QByteArray &key, const QString &moviePath)
{
    m_entries.insert(character, Entry{key, QFileInfo(moviePath).size()});
}

void MovieCache::save() const
{
    QStringList characters = m_entries.keys();
    std::sort(characters.begin(), characters.end());
    QByteArray text;
    for (const QString &character : characters) {
        const Entry &entry = m_entries[character];
        text += character.toUtf8() + '\t' + entry.key.toHex() + '\t' +
                QByteArray::number(entry.size) + '\n';
    }
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw MakerError(QStringLiteral("Cannot write %1: %2").arg(m_fileName, file.errorString()));
}
