#include "moviearea.h"

#include "appfolder.h"
#include "nativeplayer.h"
#include "swfmovie.h"
#include "webengineplayer.h"

#include <QStackedLayout>

MovieArea::MovieArea(const AppFolder &folder, QWidget *parent)
    : QWidget(parent), m_folder(folder), m_movieFile(folder.playingFolder()),
      m_layout(new QStackedLayout(this)), m_native(new NativePlayer(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(m_native);
    setFocusProxy(m_native);
    connect(m_native, &NativePlayer::movieShown, this, [this] {
        if (!m_webWanted)
            Q_EMIT movieShown(m_nativePath);
    });
}

MovieArea::~MovieArea() = default;

void MovieArea::LoadMovie(int layer, const QString &path)
{
    // The program only ever shows one movie, in level 0.
    if (layer != 0)
        return;
    const QByteArray bytes = m_movieFile.read(path);
    if (bytes.isEmpty()) {
        Q_EMIT loadFailed(path);
        return;
    }
    const swf::ReadResult result = swf::readMovie(bytes);
    switch (result.verdict) {
    case swf::ReadResult::Verdict::Native:
        playNatively(path, result.movie);
        break;
    case swf::ReadResult::Verdict::Unsupported:
        qInfo("Zorvina: %s goes to the web player: %s", qUtf8Printable(path),
              qUtf8Printable(result.reason));
        playOnWeb(path, bytes);
        break;
    case swf::ReadResult::Verdict::NotAMovie:
        Q_EMIT loadFailed(path);
        break;
    }
}

void MovieArea::playNatively(const QString &path, std::shared_ptr<const swf::Movie> movie)
{
    // A movie the web player may still be starting or playing is not wanted
    // any more, and must not be heard behind the native one.
    if (m_webWanted)
        m_web->showNothing();
    m_webWanted = false;
    m_nativePath = path;
    m_layout->setCurrentWidget(m_native);
    setFocusProxy(m_native);
    m_native->play(std::move(movie));
}

void MovieArea::playOnWeb(const QString &path, const QByteArray &bytes)
{
    WebEnginePlayer *web = m_web ? m_web.data() : startWebPlayer();
    m_webWanted = true;
    m_webRequest = path;
    web->loadMovieData(path, bytes);
}

WebEnginePlayer *MovieArea::startWebPlayer()
{
    m_web = new WebEnginePlayer(m_folder, this);
    m_layout->addWidget(m_web);
    connect(m_web, &WebEnginePlayer::unavailable, this, &MovieArea::unavailable);
    connect(m_web, &WebEnginePlayer::movieShown, this, &MovieArea::onWebShown);
    connect(m_web, &WebEnginePlayer::loadFailed, this, &MovieArea::onWebFailed);
    return m_web;
}

void MovieArea::onWebShown(const QString &path)
{
    if (!m_webWanted || path != m_webRequest)
        return;
    // The native movie stays on screen until the web player's first frame.
    m_layout->setCurrentWidget(m_web);
    setFocusProxy(m_web);
    m_native->clear();
    Q_EMIT movieShown(path);
}

void MovieArea::onWebFailed(const QString &path)
{
    if (m_webWanted && path == m_webRequest)
        Q_EMIT loadFailed(path);
}
