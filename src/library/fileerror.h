// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FILEERROR_H
#define ZORVINA_FILEERROR_H

#include "messageerror.h"

// A failed file operation. Callers either let it through (start-up reports it
// and ends the program) or catch and ignore it where failing is expected. Its
// message is a sentence in Chinese for the user: what failed and on which file.
class FileError : public MessageError
{
public:
    enum class Kind {
        NotFound,      // the file or folder does not exist
        PastEnd,       // the file holds no line at all
        AlreadyExists, // a move would replace a file
        ReadFailed,
        WriteFailed,
        BadName,   // the character cannot be part of a file name
        BadFormat, // the file exists but is not of the expected kind
    };

    FileError(Kind kind, const QString &path, const QString &detail = QString());

    Kind kind() const { return m_kind; }
    QString path() const { return m_path; }

private:
    Kind m_kind;
    QString m_path;
};

#endif
