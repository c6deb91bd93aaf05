// SPDX-License-Identifier: GPL-3.0-or-later
#include "textfile.h"

#include "fileerror.h"
#include "fileops.h"

#include <QStringConverter>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// The longest list, 32,767 characters of at most four bytes each, takes less
// than 128 KiB; a first line that has not ended after twice that is no list.
const qint64 maxLineBytes = 256 * 1024;
const int maxCharacters = 32767;

// Thrown while decoding; readFirstLine adds the path.
struct NotText
{
    QString detail;
};

QString firstLineOf(const QByteArray &content)
{
    const auto bom = QStringConverter::encodingForData(content);
    // Stateless: bytes cut off at the end count as an error. Undecodable
    // bytes become NUL, which no text holds, so one check finds both.
    QStringDecoder decoder(bom ? QStringConverter::nameForEncoding(*bom) : "GB18030",
                           QStringConverter::Flag::Stateless |
                               QStringConverter::Flag::ConvertInvalidToNull);
    const QString text = decoder.decode(content);
    qsizetype end = 0;
    while (end < text.size() && text.at(end) != u'\r' && text.at(end) != u'\n')
        ++end;
    const QString line = text.left(end);
    const bool ended = end < text.size();
    if (!ended && content.size() > maxLineBytes)
        throw NotText{QStringLiteral("第一行太长")};
    qsizetype bad = line.indexOf(QChar(0));
    if (bad < 0 && !ended && decoder.hasError())
        bad = line.size();
    if (bad >= 0)
        throw NotText{QStringLiteral("第一行的第 %1 个字无法识别")
                          .arg(charactersOf(line.left(bad)).size() + 1)};
    return line;
}

} // namespace

QString readFirstLine(const QString &path)
{
    const QByteArray content = readRegularFile(path, maxLineBytes);
    if (content.isEmpty())
        throw FileError(FileError::Kind::PastEnd, path);
    try {
        return firstLineOf(content);
    } catch (const NotText &notText) {
        throw FileError(FileError::Kind::BadFormat, path, notText.detail);
    }
}

QStringList readCharacterList(const QString &path)
{
    const QStringList characters = charactersOf(readFirstLine(path));
    if (characters.size() > maxCharacters)
        throw FileError(FileError::Kind::BadFormat, path,
                        QStringLiteral("字太多，最多 %1 个").arg(maxCharacters));
    return characters;
}

void writeSingleLine(const QString &path, const QString &text)
{
    QStringEncoder encoder("GB18030");
    const QByteArray bytes = encoder.encode(text + QStringLiteral("\r\n"));
    if (encoder.hasError())
        throw FileError(FileError::Kind::WriteFailed, path, QStringLiteral("无法编码"));
    replaceFile(path, bytes);
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
