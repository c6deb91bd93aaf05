#include "fileops.h"

#include "fileerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void copyFile(const QString &source, const QString &destination)
{
    QFile from(source);
    if (!from.exists())
        throw FileError(FileError::Kind::NotFound, source);
    if (QFileInfo::exists(destination) && !QFile::remove(destination))
        throw FileError(FileError::Kind::WriteFailed, destination);
    if (!from.copy(destination))
        throw FileError(FileError::Kind::WriteFailed, destination, from.errorString());
}

void moveFile(const QString &source, const QString &destination)
{
    QFile from(source);
    if (!from.exists())
        throw FileError(FileError::Kind::NotFound, source);
    if (QFileInfo::exists(destination))
        throw FileError(FileError::Kind::AlreadyExists, destination);
    if (!from.rename(destination))
        throw FileError(FileError::Kind::WriteFailed, destination, from.errorString());
}

void deleteMatching(const QString &pattern)
{
    const QFileInfo info(pattern);
    // Name filters match without regard to case unless told otherwise.
    const QDir folder(info.path(), info.fileName(), QDir::NoSort,
                      QDir::Files | QDir::Hidden | QDir::System);
    const QStringList names = folder.entryList();
    if (names.isEmpty())
        throw FileError(FileError::Kind::NotFound, pattern);
    QString failed;
    for (const QString &name : names) {
        if (!QFile::remove(folder.filePath(name)) && failed.isEmpty())
            failed = folder.filePath(name);
    }
    if (!failed.isEmpty())
        throw FileError(FileError::Kind::WriteFailed, failed);
}

bool isSafeInFileName(const QString &c)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar ch : c) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7f || forbidden.contains(ch))
            return false;
    }
    return true;
}
