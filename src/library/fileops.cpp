// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops.h"

#include "fileerror.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const QString leadsOutside = QStringLiteral("链接指向所在文件夹以外的地方");
const QString notRegular = QStringLiteral("不是普通文件");
const QString dangling = QStringLiteral("链接指向的文件不存在");

// Whether path is a link to a place inside its own folder where nothing is.
bool danglesInside(const QFileInfo &info)
{
    if (!info.isSymLink() || info.exists())
        return false;
    QString inside = QFileInfo(info.path()).canonicalFilePath();
    if (!inside.endsWith(QLatin1Char('/')))
        inside += QLatin1Char('/');
    return QDir::cleanPath(info.symLinkTarget()).startsWith(inside);
}

bool syncToDisk(QFileDevice &file)
{
#ifdef Q_OS_WIN
    return ::_commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// Whether entry, when it is a link, leads to a place inside folder.
bool staysInside(const QString &entry, const QString &folder)
{
    const QFileInfo info(entry);
    if (!info.isSymLink())
        return true;
    const QString target = info.canonicalFilePath();
    QString inside = QFileInfo(folder).canonicalFilePath();
    if (!inside.endsWith(QLatin1Char('/')))
        inside += QLatin1Char('/');
    return !target.isEmpty() && target.startsWith(inside);
}

void openRegular(QFile &file)
{
    const QString path = file.fileName();
    const QFileInfo info(path);
    if (!info.exists())
        throw FileError(FileError::Kind::NotFound, path);
    if (!linksStayInside(info.path(), path))
        throw FileError(FileError::Kind::ReadFailed, path, leadsOutside);
    if (!info.isFile())
        throw FileError(FileError::Kind::ReadFailed, path, notRegular);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(FileError::Kind::ReadFailed, path, file.errorString());
}

// Writes a new file beside path with write(QSaveFile &) and puts it in path's
// place once it is complete. Qt 6.4's QSaveFile::commit() renames even when
// its own final flush fails on a full disk, leaving a cut-off file, so the
// content is flushed (and for a lasting file synced) here first.
template <typename Write> void saveWhole(const QString &path, bool lasting, Write write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(FileError::Kind::WriteFailed, path, file.errorString());
    write(file);
    if (!file.flush() || (lasting && !syncToDisk(file)) || !file.commit())
        throw FileError(FileError::Kind::WriteFailed, path, file.errorString());
}

void writeAll(QSaveFile &file, const QByteArray &bytes)
{
    if (file.write(bytes) != bytes.size())
        throw FileError(FileError::Kind::WriteFailed, file.fileName(), file.errorString());
}

} // namespace

bool linksStayInside(const QString &folder, const QString &path)
{
    QString at = folder;
    const QStringList steps = QDir(folder).relativeFilePath(path).split(QLatin1Char('/'));
    for (const QString &step : steps) {
        const QString next = at + QLatin1Char('/') + step;
        if (!staysInside(next, at))
            return false;
        at = next;
    }
    return true;
}

QByteArray readRegularFile(const QString &path, qint64 limit)
{
    QFile file(path);
    openRegular(file);
    const QByteArray content = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        throw FileError(FileError::Kind::ReadFailed, path, file.errorString());
    return content;
}

void replaceFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (danglesInside(info))
        throw FileError(FileError::Kind::WriteFailed, path, dangling);
    if (!linksStayInside(info.path(), path))
        throw FileError(FileError::Kind::WriteFailed, path, leadsOutside);
    if (info.exists() && !info.isFile())
        throw FileError(FileError::Kind::WriteFailed, path, notRegular);
    saveWhole(path, true, [&](QSaveFile &file) { writeAll(file, bytes); });
}

void removeLeftoverSaves(const QString &path)
{
    // A save writes a file named like path with a dot and six random letters
    // and renames it over path; a run killed in between leaves it behind.
    const QFileInfo info(path);
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(info.fileName()) + QStringLiteral("\\.[A-Za-z]{6}")));
    const QDir folder(info.path());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (leftover.match(name).hasMatch())
            QFile::remove(folder.filePath(name));
    }
}

void copyFile(const QString &source, const QString &destination)
{
    QFile from(source);
    openRegular(from);
    // A staged copy only has to be whole, not to outlast a power cut.
    saveWhole(destination, false, [&](QSaveFile &to) {
        for (QByteArray chunk = from.read(1 << 16); !chunk.isEmpty(); chunk = from.read(1 << 16))
            writeAll(to, chunk);
        if (from.error() != QFileDevice::NoError)
            throw FileError(FileError::Kind::ReadFailed, source, from.errorString());
    });
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
    const QDir folder(info.path(), info.fileName(), QDir::Name,
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
