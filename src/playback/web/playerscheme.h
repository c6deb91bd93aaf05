// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PLAYERSCHEME_H
#define ZORVINA_PLAYERSCHEME_H

#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

class PlayerFiles;

// Answers the page's requests of the player's own scheme from PlayerFiles.
class PlayerSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    PlayerSchemeHandler(const PlayerFiles *files, QObject *parent);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    const PlayerFiles *m_files;
};

// Refuses every request outside the player's scheme: the program works
// without a network, and a movie must not reach one or read local files.
class PlayerRequestGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit PlayerRequestGuard(QObject *parent);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

#endif
