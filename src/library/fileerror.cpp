// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileerror.h"

#include <QDir>

namespace {

using Kind = FileError::Kind;

QString describe(Kind kind, const QString &path, const QString &detail)
{
    const QString file = QDir::toNativeSeparators(path);
    QString text;
    switch (kind) {
    case Kind::NotFound:
        text = QStringLiteral("找不到文件：") + file;
        break;
    case Kind::PastEnd:
        text = QStringLiteral("文件是空的：") + file;
        break;
    case Kind::AlreadyExists:
        text = QStringLiteral("文件已经存在：") + file;
        break;
    case Kind::ReadFailed:
        text = QStringLiteral("无法读取文件：") + file;
        break;
    case Kind::WriteFailed:
        text = QStringLiteral("无法写入文件：") + file;
        break;
    case Kind::BadName:
        text = QStringLiteral("这个字不能用作文件名：") + file;
        break;
    case Kind::BadFormat:
        text = QStringLiteral("文件格式不对：") + file;
        break;
    }
    if (!detail.isEmpty())
        text += QStringLiteral("（") + detail + QStringLiteral("）");
    return text;
}

} // namespace

FileError::FileError(Kind kind, const QString &path, const QString &detail)
    : MessageError(describe(kind, path, detail)), m_kind(kind), m_path(path)
{
}
