// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_DIALOGS_H
#define ZORVINA_DIALOGS_H

#include <QString>

class QWidget;

// Every message the program shows goes through here, so tests can answer
// them. Messages are modal boxes titled "Zorvina" with one OK button and no icon.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual void showMessage(QWidget *parent, const QString &text) = 0;
};

class MessageBoxes : public Dialogs
{
public:
    void showMessage(QWidget *parent, const QString &text) override;
};

// A message that comes while start-up runs (start-up's own message may be on
// screen) waits until start-up has succeeded, so two message boxes never
// stack; once released, messages show at once.
class HeldMessages
{
public:
    HeldMessages(Dialogs &dialogs, QWidget *parent) : m_dialogs(dialogs), m_parent(parent) {}

    void showMessage(const QString &text);
    void release();

private:
    Dialogs &m_dialogs;
    QWidget *m_parent;
    QString m_held;
    bool m_released = false;
};

#endif
