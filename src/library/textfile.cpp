#include "textfile.h"

#include "fileerror.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QString decode(const QByteArray &content)
{
    const auto bom = QStringConverter::encodingForData(content);
    if (bom) {
        QStringDecoder decoder(*bom);
        return decoder.decode(content);
    }
    QStringDecoder gb18030("GB18030");
    return gb18030.decode(content);
}

} // namespace

QString firstLineOf(const QByteArray &content)
{
    const QString text = decode(content);
    qsizetype end = 0;
    while (end < text.size() && text.at(end) != u'\r' && text.at(end) != u'\n')
        ++end;
    return text.left(end);
}

QString readFirstLine(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        throw FileError(FileError::Kind::NotFound, path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(FileError::Kind::ReadFailed, path, file.errorString());
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(FileError::Kind::ReadFailed, path, file.errorString());
    if (content.isEmpty())
        throw FileError(FileError::Kind::PastEnd, path);
    return firstLineOf(content);
}

void writeSingleLine(const QString &path, const QString &text)
{
    QStringEncoder encoder("GB18030");
    const QByteArray bytes = encoder.encode(text + QStringLiteral("\r\n"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw FileError(FileError::Kind::WriteFailed, path, file.errorString());
}

QStringList charactersOf(const QString &line)
{
    QStringList characters;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const bool pair =
            line.at(i).isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate();
        characters.append(line.mid(i, pair ? 2 : 1));
        if (pair)
            ++i;
    }
    return characters;
}
