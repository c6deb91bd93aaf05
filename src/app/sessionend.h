// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SESSIONEND_H
#define ZORVINA_SESSIONEND_H

#include <QObject>

class QSocketNotifier;

// Tells when the session is ending (SIGTERM or SIGHUP on Unix: logout,
// shutdown) or the program is interrupted from its terminal (SIGINT), when
// nobody may be there to answer a message.
class SessionEndWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SessionEndWatcher(QObject *parent = nullptr);
    ~SessionEndWatcher() override;

Q_SIGNALS:
    void sessionEnding();

private:
    QSocketNotifier *m_notifier = nullptr;
};

#endif
