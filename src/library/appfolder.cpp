#include "appfolder.h"

#include <QCoreApplication>

AppFolder::AppFolder(const QString &path) : m_path(path)
{
}

AppFolder AppFolder::ofProgram()
{
    return AppFolder(QCoreApplication::applicationDirPath());
}

QString AppFolder::characterList() const
{
    return file(QStringLiteral("/hanzi.ini"));
}

QString AppFolder::rememberedCharacter() const
{
    return file(QStringLiteral("/config.ini"));
}

QString AppFolder::pointer() const
{
    return file(QStringLiteral("/harrow.cur"));
}

QString AppFolder::movie(const QString &c) const
{
    return m_path + QStringLiteral("/hanzi/") + c + QStringLiteral(".haz");
}

QString AppFolder::stagingCopy(const QString &c) const
{
    return m_path + QStringLiteral("/Temp/") + c + QStringLiteral(".haz");
}

QString AppFolder::playable(const QString &c) const
{
    return m_path + QStringLiteral("/Work/") + c + QStringLiteral(".swf");
}

QString AppFolder::stagingSweep() const
{
    return file(QStringLiteral("/Temp/*.haz"));
}

QString AppFolder::playingSweep() const
{
    return file(QStringLiteral("/Work/*.swf"));
}
