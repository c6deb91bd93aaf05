#ifndef ZORVINA_SWFERROR_H
#define ZORVINA_SWFERROR_H

#include <QByteArray>
#include <QString>
#include <exception>

// Raised when something cannot be put into (or read from) a movie. The writer
// checks before it writes, so a refused call leaves the movie as it was.
class SwfError : public std::exception
{
public:
    explicit SwfError(const QString &message);

    QString message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

#endif
