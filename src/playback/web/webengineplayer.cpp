#include "webengineplayer.h"

#include "playerbridge.h"
#include "playerpage.h"
#include "playerscheme.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>

namespace {

// A renderer that dies again right after each restart is not going to recover.
constexpr int maxCrashes = 3;

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
    : QWebEngineView(parent), m_files(folder), m_queue(this), m_bridge(new PlayerBridge(this))
{
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
    connect(m_bridge, &PlayerBridge::readyReported, this, &WebEnginePlayer::onReady);
    connect(m_bridge, &PlayerBridge::loadEndReported, this, &WebEnginePlayer::onLoadEnded);
    // Starting the web engine takes a while; the window comes first.
    QTimer::singleShot(0, this, &WebEnginePlayer::startEngine);
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
    if (m_unavailable || layer != 0)
        return;
    m_queue.request(path);
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
    m_files.setCurrentMovie(ticket, path);
    m_loadingPath = path;
    Q_EMIT m_bridge->loadRequested(ticket, PlayerFiles::movieUrl(ticket).toString());
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
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        m_ready = false;
        m_queue.pageLost();
    });
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
    const QString path = m_loadingPath;
    m_queue.loadFinished(ticket);
    if (shown)
        Q_EMIT movieShown(path);
    else
        Q_EMIT loadFailed(path);
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

void WebEnginePlayer::giveUp(const QString &message)
{
    if (m_unavailable)
        return;
    m_unavailable = true;
    m_ready = false;
    Q_EMIT unavailable(message);
}

QWidget *WebEnginePlayer::previousTabStop() const
{
    QWidget *previous = previousInFocusChain();
    while (previous != this && (isAncestorOf(previous) || previous->focusPolicy() == Qt::NoFocus))
        previous = previous->previousInFocusChain();
    return previous == this ? nullptr : previous;
}
