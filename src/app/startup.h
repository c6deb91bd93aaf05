#ifndef ZORVINA_STARTUP_H
#define ZORVINA_STARTUP_H

#include <QObject>

class Dialogs;
class frmMain;
class QSocketNotifier;

// Loads the window. When a file it needs is missing or unreadable the user is
// told what failed and on which file, and false is returned: the program then
// ends without showing its window.
bool startUp(frmMain &window, Dialogs &dialogs);

// Tells when the session is ending (SIGTERM or SIGHUP on Unix: logout,
// shutdown), when nobody may be there to answer a message.
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
