// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_MOVIECACHE_H
#define ZORVINA_MOVIECACHE_H

#include <QByteArray>
#include <QHash>
#include <QString>

// Remembers from which inputs each movie was made, so that a rebuild makes
// only the movies whose inputs changed and leaves the others untouched.
class MovieCache
{
public:
    // A missing or unreadable file is an empty cache.
    explicit MovieCache(const QString &fileName);

    // Whether moviePath is the movie made from inputs with this key.
    bool isCurrent(const QString &character, const QByteArray &key, const QString &moviePath) const;
    void remember(const QString &character, const QByteArray &key, const QString &moviePath);
    // Written whole or not at all; throws MakerError.
    void save() const;

private:
    struct Entry
    {
        QByteArray key;
        qint64 size = -1;
    };
    QString m_fileName;
    QHash<QString, Entry> m_entries;
};

#endif
