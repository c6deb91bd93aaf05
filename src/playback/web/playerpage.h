// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PLAYERPAGE_H
#define ZORVINA_PLAYERPAGE_H

#include <QLoggingCategory>
#include <QWebEnginePage>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

// The page hosting Ruffle. It stays on the player's own page and never shows
// a dialog of its own: a movie may not navigate, open windows, pick files or
// talk to the user through browser boxes.
class PlayerPage : public QWebEnginePage
{
    Q_OBJECT
public:
    PlayerPage(QWebEngineProfile *profile, QObject *parent);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceId) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &message,
                          const QString &defaultValue, QString *result) override;
};

#endif
