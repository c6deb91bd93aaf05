// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_MESSAGEERROR_H
#define ZORVINA_MESSAGEERROR_H

#include <QByteArray>
#include <QString>
#include <exception>

// A failure told in words: message() for the person reading it, what() the
// same in UTF-8 for code that only knows std::exception.
class MessageError : public std::exception
{
public:
    explicit MessageError(const QString &message) : m_message(message), m_what(message.toUtf8()) {}

    QString message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

#endif
