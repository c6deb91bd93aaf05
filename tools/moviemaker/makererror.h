#ifndef ZORVINA_MAKERERROR_H
#define ZORVINA_MAKERERROR_H

#include <QByteArray>
#include <QString>
#include <exception>

// Why a character's movie could not be made, in words for the parent running
// the tool.
class MakerError : public std::exception
{
public:
    explicit MakerError(const QString &message) : m_message(message), m_what(message.toUtf8()) {}

    QString message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

#endif
