// SPDX-License-Identifier: GPL-3.0-or-later
#include "appfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

AppFolder::AppFolder(const QString &path) : m_path(path), m_writingPath(path)
{
}

AppFolder::AppFolder(const QString &path, const QString &userPath)
    : m_path(path), m_writingPath(userPath)
{
}

AppFolder AppFolder::ofProgram()
{
    const QString path = QCoreApplication::applicationDirPath();
    if (isWritable(path))
        return AppFolder(path);
    return AppFolder(path, QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

bool AppFolder::isWritable(const QString &path)
{
    // QFileInfo asks the system (access(2)), so permission bits, ACLs and
    // read-only mounts all count. An install without the working folders is
    // not meant to be written in, even by an administrator who could.
    for (const QString &suffix : {QString(), QStringLiteral("/Temp"), QStringLiteral("/Work")}) {
        const QFileInfo info(path + suffix);
        if (!info.isDir() || !info.isWritable())
            return false;
    }
    return true;
}

bool AppFolder::canWrite() const
{
    makeWritingFolders();
    return isWritable(m_writingPath);
}

void AppFolder::makeWritingFolders() const
{
    if (m_writingPath == m_path)
        return;
    QDir().mkpath(m_writingPath + QStringLiteral("/Temp"));
    QDir().mkpath(m_writingPath + QStringLiteral("/Work"));
}

QString AppFolder::preferUsers(const QString &suffix) const
{
    if (m_writingPath != m_path && QFileInfo::exists(m_writingPath + suffix))
        return m_writingPath + suffix;
    return m_path + suffix;
}

QString AppFolder::characterList() const
{
    return preferUsers(QStringLiteral("/hanzi.ini"));
}

QString AppFolder::rememberedCharacter() const
{
    return m_writingPath + QStringLiteral("/config.ini");
}

QString AppFolder::rememberedCharacterToRead() const
{
    return preferUsers(QStringLiteral("/config.ini"));
}

QString AppFolder::pointer() const
{
    return file(QStringLiteral("/harrow.cur"));
}

QString AppFolder::movie(const QString &c) const
{
    return preferUsers(QStringLiteral("/hanzi/") + c + QStringLiteral(".haz"));
}

QString AppFolder::stagingCopy(const QString &c) const
{
    return m_writingPath + QStringLiteral("/Temp/") + c + QStringLiteral(".haz");
}

QString AppFolder::playable(const QString &c) const
{
    return playingFolder() + QStringLiteral("/") + c + QStringLiteral(".swf");
}

QString AppFolder::playingFolder() const
{
    return m_writingPath + QStringLiteral("/Work");
}

QString AppFolder::stagingSweep() const
{
    return m_writingPath + QStringLiteral("/Temp/*.haz");
}

QString AppFolder::playingSweep() const
{
    return m_writingPath + QStringLiteral("/Work/*.swf");
}
