// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_WEBENGINEPLAYER_H
#define ZORVINA_WEBENGINEPLAYER_H

#include "loadqueue.h"
#include "movieplayer.h"
#include "playerfiles.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWebEngineView>

class AppFolder;
class PlayerBridge;
class PlayerPage;
class QTimer;
class QWebEngineProfile;

// The movie area: Ruffle, the Flash player written for the web, running in
// Qt WebEngine on a page of the player's own URL scheme. Everything starts in
// the background; loads asked for before Ruffle is ready wait in the queue.
class WebEnginePlayer : public QWebEngineView, public MoviePlayer, private MoviePage
{
    Q_OBJECT
public:
    // Must run before the QApplication object exists; prepareWebEngineProcess
    // does it with the rest of the web engine's process-wide settings.
    static void registerUrlScheme();

    // Ruffle's files are in the folder's ruffle, playable movies in its
    // playing folder.
    explicit WebEnginePlayer(const AppFolder &folder, QWidget *parent = nullptr);
    ~WebEnginePlayer() override;

    QWidget *widget() override { return this; }
    void LoadMovie(int layer, const QString &path) override;

    // Plays a movie that was read from path already, so the file is not
    // read again.
    void loadMovieData(const QString &path, const QByteArray &movie);
    // Replaces the movie shown by an empty one: nothing plays or sounds.
    void showNothing();

    bool isReady() const { return m_ready; }

Q_SIGNALS:
    // Emitted when the player cannot start at all (its files are missing or
    // broken); message is a sentence for the user. The next LoadMovie tries
    // again; should that fail too, it counts as a failed load, and the user
    // is not told again until the player has worked in between.
    void unavailable(const QString &message);
    // The page is up; loads from now on go straight to Ruffle.
    void ready();
    // The first frame of the movie loaded from path has been drawn.
    void movieShown(const QString &path);
    // The movie at path could not be played (missing, unreadable, not a
    // movie); the movie shown before stays. The window never needs this.
    void loadFailed(const QString &path);

protected:
    void childEvent(QChildEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startLoad(int ticket, const QString &path) override;
    void startEngine();
    void onReady(bool ok);
    void onLoadEnded(int ticket, bool shown);
    void onRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status);
    void onPageLost();
    void watchLoad();
    void restartPage();
    void stopWatching();
    void retryStart();
    void giveUp(const QString &message);
    QWidget *previousTabStop() const;
    void restoreTabPlace();

    PlayerFiles m_files;
    LoadQueue m_queue;
    PlayerBridge *m_bridge;
    QWebEngineProfile *m_profile = nullptr;
    PlayerPage *m_page = nullptr;
    QTimer *m_watchdog;
    QElapsedTimer m_loadClock;
    QElapsedTimer m_pingClock;
    qint64 m_scriptTimeAtPing = -1;
    int m_pings = 0;
    QString m_requested;
    // The newest movie handed over already read, and the path it came from.
    QString m_readPath;
    QByteArray m_readMovie;
    bool m_ready = false;
    bool m_unavailable = false;
    bool m_userTold = false;
    int m_crashes = 0;
    QPointer<QWidget> m_tabBefore;
};

#endif
