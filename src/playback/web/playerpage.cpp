// SPDX-License-Identifier: GPL-3.0-or-later
#include "playerpage.h"

#include "playerfiles.h"

#include <QWebEngineSettings>

// Ruffle and the page talk a lot on the console; that is for developers
// only (QT_LOGGING_RULES="zorvina.player.debug=true").
Q_LOGGING_CATEGORY(lcPlayer, "zorvina.player", QtWarningMsg)

PlayerPage::PlayerPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{
    QWebEngineSettings *s = settings();
    // The movie's sound starts with the movie, as the Flash control did.
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    // Ruffle draws on a 2D canvas: a fresh WebGL context for every movie is
    // slow to make, and on software GL Chromium refuses it noisily anyway.
    s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
}

bool PlayerPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (!isMainFrame)
        return url == PlayerFiles::stageUrl();
    return url == PlayerFiles::pageUrl() &&
           (type == NavigationTypeTyped || type == NavigationTypeReload);
}

void PlayerPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                          const QString &message, int lineNumber,
                                          const QString &sourceId)
{
    if (level == InfoMessageLevel)
        qCDebug(lcPlayer).noquote() << sourceId << lineNumber << message;
    else
        qCInfo(lcPlayer).noquote() << sourceId << lineNumber << message;
}

QStringList PlayerPage::chooseFiles(FileSelectionMode, const QStringList &, const QStringList &)
{
    return {};
}

void PlayerPage::javaScriptAlert(const QUrl &, const QString &)
{
}

bool PlayerPage::javaScriptConfirm(const QUrl &, const QString &)
{
    return false;
}

bool PlayerPage::javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *)
{
    return false;
}
