// SPDX-License-Identifier: GPL-3.0-or-later
#include "moviefile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

MovieFile::MovieFile(const QString &playingFolder) : m_workDir(playingFolder)
{
}

QByteArray MovieFile::read(const QString &path) const
{
    if (!isPlayable(path))
        return {};
    QFile file(path);
    // The size is checked before a byte is read or copied.
    if (file.size() > maxSize || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(maxSize);
    if (file.error() != QFileDevice::NoError || !looksLikeMovie(bytes))
        return {};
    return bytes;
}

bool MovieFile::looksLikeMovie(const QByteArray &bytes)
{
    const int headerSize = 8;
    if (bytes.size() < headerSize)
        return false;
    const QByteArray signature = bytes.left(3);
    if (signature != "FWS" && signature != "CWS" && signature != "ZWS")
        return false;
    const quint32 declaredLength = qFromLittleEndian<quint32>(bytes.constData() + 4);
    return declaredLength > headerSize &&
           (signature != "FWS" || declaredLength <= quint32(bytes.size()));
}

bool MovieFile::isPlayable(const QString &path) const
{
    // Resolving links first keeps a link in Work from leading anywhere else.
    const QFileInfo file(QFileInfo(path).canonicalFilePath());
    return file.isFile() && file.suffix().compare(QLatin1String("swf"), Qt::CaseInsensitive) == 0 &&
           file.absolutePath() == m_workDir.canonicalPath();
}
