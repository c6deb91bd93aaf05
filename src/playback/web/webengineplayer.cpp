// SPDX-License-Identifier: GPL-3.0-or-later
#include "webengineplayer.h"

#include "playerbridge.h"
#include "playerpage.h"
#include "playerscheme.h"
#include "rendererprocess.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>

namespace {

// A renderer that dies again right after each restart is not going to recover.
constexpr int maxCrashes = 3;

// While a load is out, the page is asked every so often for a sign of life.
// A live page answers within milliseconds, even while Ruffle compiles.
// One whose script runs without end (an endless loop in a movie, a string
// that doubles until memory runs out) answers nothing while it computes:
// after a second of its main thread's time without an answer it counts as
// hung. Only computing counts, so a machine too busy to give the page any
// time is not mistaken for a hung page; where the system does not tell
// that time, the plain time waited counts. A page that answers but never
// ends the load, or answers nothing for long, is restarted too.
constexpr std::chrono::milliseconds watchInterval(250);
constexpr qint64 hangLimitMs = 1000;
constexpr qint64 silenceLimitMs = 10000;
constexpr qint64 loadLimitMs = 15000;

// A character's movie (some tens of kilobytes) goes to the page along with
// the request: reading it back through the player's scheme would cost a
// round trip to this process between the key press and the new movie.
// Anything bigger, or refused, the page asks for by its URL.
constexpr qint64 sentMovieLimit = 1024 * 1024;

QString missingFilesMessage()
{
    return QStringLiteral("找不到动画播放器的文件，汉字动画无法播放。请重新安装本程序。");
}

QString brokenPlayerMessage()
{
    return QStringLiteral("动画播放器无法启动，汉字动画无法播放。请重新安装本程序。");
}

} // namespace

void WebEnginePlayer::registerUrlScheme()
{
    QWebEngineUrlScheme scheme(PlayerFiles::scheme());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    QWebEngineUrlScheme::registerScheme(scheme);
}

WebEnginePlayer::WebEnginePlayer(const AppFolder &folder, QWidget *parent)
    : QWebEngineView(parent), m_files(folder), m_queue(this), m_bridge(new PlayerBridge(this)),
      m_watchdog(new QTimer(this))
{
    m_watchdog->setInterval(watchInterval);
    connect(m_watchdog, &QTimer::timeout, this, &WebEnginePlayer::watchLoad);
    connect(m_bridge, &PlayerBridge::readyReported, this, &WebEnginePlayer::onReady);
    connect(m_bridge, &PlayerBridge::loadEndReported, this, &WebEnginePlayer::onLoadEnded);
    // The web engine's own menu (reload, view source...) has no place here;
    // Ruffle draws the movie's menu itself.
    setContextMenuPolicy(Qt::NoContextMenu);
    // The movie area is a stop of the window's tab order from the start, not
    // only once the web engine has put its own widget inside.
    setFocusPolicy(Qt::StrongFocus);
    if (!m_files.rufflePresent()) {
        // Nobody can have connected to the signal before the constructor returns.
        QMetaObject::invokeMethod(
            this, [this] { giveUp(missingFilesMessage()); }, Qt::QueuedConnection);
        return;
    }
    // The engine starts at once, before the window around the player is
    // built: its share of the work in this process (some 100 ms) would
    // otherwise come when the window first shows, and this way its renderer
    // and Ruffle start in their own processes while the window is built.
    startEngine();
}

WebEnginePlayer::~WebEnginePlayer()
{
    if (m_page) {
        // The page has to go before its profile, and its renderer ending
        // now is no crash.
        m_page->disconnect(this);
        setPage(nullptr);
        delete m_page;
    }
}

void WebEnginePlayer::LoadMovie(int layer, const QString &path)
{
    // The program only ever shows one movie, in level 0.
    if (layer != 0)
        return;
    m_requested = path;
    m_queue.request(path);
    if (m_unavailable) {
        // A file put back or a resource freed since may let the player start.
        m_unavailable = false;
        QMetaObject::invokeMethod(this, &WebEnginePlayer::retryStart, Qt::QueuedConnection);
    }
}

void WebEnginePlayer::loadMovieData(const QString &path, const QByteArray &movie)
{
    m_readPath = path;
    m_readMovie = movie;
    LoadMovie(0, path);
}

void WebEnginePlayer::showNothing()
{
    // An empty movie of one frame; no file stands behind it.
    static const QByteArray emptyMovie("FWS\x0a\x0f\0\0\0\0\0\x18\x01\0\0\0", 15);
    loadMovieData(QString(), emptyMovie);
}

void WebEnginePlayer::childEvent(QChildEvent *event)
{
    // Keys reach the page through a child widget that the web engine adds
    // later; Tab has to be caught there. Adding it also moves the movie area
    // to the end of the window's tab order, so its place is noted now and
    // taken back once the engine is done.
    if (event->added() && event->child()->isWidgetType()) {
        event->child()->installEventFilter(this);
        m_tabBefore = previousTabStop();
        QMetaObject::invokeMethod(this, &WebEnginePlayer::restoreTabPlace, Qt::QueuedConnection);
    }
    QWebEngineView::childEvent(event);
}

void WebEnginePlayer::restoreTabPlace()
{
    if (m_tabBefore)
        setTabOrder(m_tabBefore, this);
}

bool WebEnginePlayer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            // Tab moves on to the next widget of the window, as it did past
            // the Flash control, rather than through Ruffle's hidden controls.
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}

void WebEnginePlayer::startLoad(int ticket, const QString &path)
{
    if (!m_readMovie.isNull() && path == m_readPath)
        m_files.setCurrentMovieData(ticket, m_readMovie);
    else
        m_files.setCurrentMovie(ticket, path);
    m_loadClock.start();
    m_watchdog->start();
    const QByteArray movie = m_files.currentMovie();
    const QString sent =
        movie.size() <= sentMovieLimit ? QString::fromLatin1(movie.toBase64()) : QString();
    Q_EMIT m_bridge->loadRequested(ticket, PlayerFiles::movieUrl(ticket).toString(), sent);
}

void WebEnginePlayer::startEngine()
{
    // Off the record: no cache, cookies or storage are left on the disk.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    m_profile->installUrlSchemeHandler(PlayerFiles::scheme(),
                                       new PlayerSchemeHandler(&m_files, m_profile));
    m_profile->setUrlRequestInterceptor(new PlayerRequestGuard(m_profile));

    m_page = new PlayerPage(m_profile, this);
    auto *channel = new QWebChannel(m_page);
    channel->registerObject(QStringLiteral("player"), m_bridge);
    m_page->setWebChannel(channel);
    m_page->setBackgroundColor(Qt::white);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (!ok)
            giveUp(brokenPlayerMessage());
    });
    // Whatever the page was doing is gone once it starts loading again.
    connect(m_page, &QWebEnginePage::loadStarted, this, &WebEnginePlayer::onPageLost);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            &WebEnginePlayer::onRenderProcessTerminated);
    setPage(m_page);
    m_page->load(PlayerFiles::pageUrl());
}

void WebEnginePlayer::onReady(bool ok)
{
    if (!ok) {
        giveUp(brokenPlayerMessage());
        return;
    }
    m_crashes = 0;
    m_ready = true;
    Q_EMIT ready();
    m_queue.pageReady();
}

void WebEnginePlayer::onLoadEnded(int ticket, bool shown)
{
    if (ticket != m_queue.loadingTicket())
        return;
    stopWatching();
    const QString path = m_queue.loadingPath();
    m_queue.loadFinished(ticket);
    if (shown) {
        m_userTold = false;
        Q_EMIT movieShown(path);
    } else {
        Q_EMIT loadFailed(path);
    }
}

void WebEnginePlayer::onPageLost()
{
    m_ready = false;
    stopWatching();
    if (const std::optional<QString> dropped = m_queue.pageLost())
        Q_EMIT loadFailed(*dropped);
}

void WebEnginePlayer::watchLoad()
{
    const qint64 renderer = m_page->renderProcessPid();
    if (!m_pingClock.isValid()) {
        if (m_loadClock.elapsed() > loadLimitMs) {
            restartPage();
            return;
        }
        m_pingClock.start();
        m_scriptTimeAtPing = RendererProcess::scriptTimeMs(renderer);
        m_page->runJavaScript(QStringLiteral("0"), [this, ping = ++m_pings](const QVariant &) {
            if (ping == m_pings)
                m_pingClock.invalidate();
        });
        return;
    }
    const qint64 scriptTime = RendererProcess::scriptTimeMs(renderer);
    const qint64 busy = scriptTime < 0 || m_scriptTimeAtPing < 0 ? m_pingClock.elapsed()
                                                                 : scriptTime - m_scriptTimeAtPing;
    if (busy > hangLimitMs || m_pingClock.elapsed() > silenceLimitMs)
        restartPage();
}

void WebEnginePlayer::restartPage()
{
    // The page comes back as it does after a crash, and the queue goes on
    // with the newest request.
    qCWarning(lcPlayer) << "the player's page stopped answering; restarting it";
    stopWatching();
    if (const qint64 renderer = m_page->renderProcessPid(); renderer > 0)
        RendererProcess::end(renderer);
    else
        m_page->load(PlayerFiles::pageUrl());
}

void WebEnginePlayer::stopWatching()
{
    m_watchdog->stop();
    m_pingClock.invalidate();
    ++m_pings;
}

void WebEnginePlayer::onRenderProcessTerminated(
    QWebEnginePage::RenderProcessTerminationStatus status)
{
    if (status == QWebEnginePage::NormalTerminationStatus)
        return;
    if (m_unavailable)
        return;
    if (++m_crashes > maxCrashes) {
        giveUp(brokenPlayerMessage());
        return;
    }
    m_page->load(PlayerFiles::pageUrl());
}

void WebEnginePlayer::retryStart()
{
    if (!m_files.rufflePresent())
        giveUp(missingFilesMessage());
    else if (m_page)
        m_page->load(PlayerFiles::pageUrl());
    else
        startEngine();
}

void WebEnginePlayer::giveUp(const QString &message)
{
    if (m_unavailable)
        return;
    m_unavailable = true;
    m_ready = false;
    m_crashes = 0;
    stopWatching();
    if (m_userTold) {
        Q_EMIT loadFailed(m_requested);
        return;
    }
    m_userTold = true;
    Q_EMIT unavailable(message);
}

QWidget *WebEnginePlayer::previousTabStop() const
{
    QWidget *previous = previousInFocusChain();
    while (previous != this && (isAncestorOf(previous) || previous->focusPolicy() == Qt::NoFocus))
        previous = previous->previousInFocusChain();
    return previous == this ? nullptr : previous;
}
