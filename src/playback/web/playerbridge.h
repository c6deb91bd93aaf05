// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PLAYERBRIDGE_H
#define ZORVINA_PLAYERBRIDGE_H

#include <QObject>

// The object the page sees through the web channel: the program asks for
// loads with a signal, the page answers through the slots.
class PlayerBridge : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    // The movie comes along in base64 when it is small, or else is read from url.
    void loadRequested(int ticket, const QString &url, const QString &movie);
    void readyReported(bool ok);
    void loadEndReported(int ticket, bool shown);

public Q_SLOTS:
    // The page takes loads from now on (ok), or Ruffle cannot start at all.
    void ready(bool ok) { Q_EMIT readyReported(ok); }
    // The load has ended; shown means its first frame is on the screen.
    void loadEnded(int ticket, bool shown) { Q_EMIT loadEndReported(ticket, shown); }
};

#endif
