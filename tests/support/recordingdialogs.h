// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_RECORDINGDIALOGS_H
#define ZORVINA_RECORDINGDIALOGS_H

#include "dialogs.h"

#include <QString>
#include <QStringList>
#include <functional>

// Answers every message at once and remembers its text; onMessage, when set,
// runs while the message would be on screen.
class RecordingDialogs : public Dialogs
{
public:
    void showMessage(QWidget *, const QString &text) override
    {
        messages.append(text);
        if (onMessage)
            onMessage(text);
    }

    QStringList messages;
    std::function<void(const QString &)> onMessage;
};

#endif
