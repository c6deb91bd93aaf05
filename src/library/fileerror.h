#ifndef ZORVINA_FILEERROR_H
#define ZORVINA_FILEERROR_H

#include <QByteArray>
#include <QString>
#include <exception>

// A failed file operation. Callers either let it through (start-up reports it
// and ends the program) or catch and ignore it where failing is expected.
class FileError : public std::exception
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
    // A sentence in Chinese for the user: what failed and on which file.
    QString message() const;
    const char *what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_path;
    QString m_detail;
    QByteArray m_what;
};

#endif
