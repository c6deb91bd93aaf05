// SPDX-License-Identifier: GPL-3.0-or-later
#include "moviearea.h"

#include "appfolder.h"
#include "nativeplayer.h"
#include "practicearea.h"
#include "practicedata.h"
#include "swfmovie.h"

#include <QLibrary>
#include <QStackedLayout>

namespace {

QString brokenPlayerMessage()
{
    return QStringLiteral("动画播放器无法启动，汉字动画无法播放。请重新安装本程序。");
}

} // namespace

MovieArea::MovieArea(const AppFolder &folder, const QString &webModule, QWidget *parent)
    : QWidget(parent), m_folder(folder), m_webModule(webModule),
      m_movieFile(folder.playingFolder()), m_layout(new QStackedLayout(this)),
      m_native(new NativePlayer(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    // Both players stay visible, the one playing on top: the web engine
    // holds back a page it takes for hidden, and the web player has to get
    // its movie going while the native one still shows the last.
    m_layout->setStackingMode(QStackedLayout::StackAll);
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
    // Practice of the movie before is over. Its lesson comes back only
    // when no movie of the native player's replaces it at once.
    const bool wasPractising = isPractising();
    if (wasPractising)
        leavePractice(false);
    m_practiceData.reset();
    const QByteArray bytes = m_movieFile.read(path);
    const swf::ReadResult result = bytes.isEmpty() ? swf::ReadResult() : swf::readMovie(bytes);
    if (wasPractising && result.verdict != swf::ReadResult::Verdict::Native)
        m_native->play(m_nativeMovie);
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
    m_nativeMovie = movie;
    if (const auto carried =
            practice::readPracticeData(movie->privateData.value(practice::TagCode)))
        m_practiceData = std::make_unique<practice::PracticeData>(*carried);
    else if (movie->privateData.contains(practice::TagCode))
        qInfo("Zorvina: %s carries damaged practice data; only its lesson plays",
              qUtf8Printable(path));
    m_layout->setCurrentWidget(m_native);
    setFocusProxy(m_native);
    m_native->play(std::move(movie));
}

bool MovieArea::canPractise() const
{
    return m_practiceData && !m_webWanted;
}

bool MovieArea::isPractising() const
{
    return m_practice && m_layout->currentWidget() == m_practice;
}

void MovieArea::setPractising(bool on)
{
    if (on == isPractising() || (on && !canPractise()))
        return;
    if (!on) {
        leavePractice(true);
        return;
    }
    if (!m_practice) {
        m_practice = new PracticeArea(nullptr, this);
        m_layout->addWidget(m_practice);
        connect(m_practice, &PracticeArea::finished, this, [this] { setPractising(false); });
    }
    m_native->clear();
    m_layout->setCurrentWidget(m_practice);
    setFocusProxy(m_practice);
    m_practice->start(*m_practiceData, m_nativeMovie);
    Q_EMIT practiceChanged(true);
}

void MovieArea::leavePractice(bool replayLesson)
{
    m_practice->stop();
    m_layout->setCurrentWidget(m_native);
    setFocusProxy(m_native);
    if (replayLesson)
        m_native->play(m_nativeMovie);
    Q_EMIT practiceChanged(false);
}

void MovieArea::playOnWeb(const QString &path, const QByteArray &bytes)
{
    FallbackPlayer *web = m_web ? m_web.get() : startWebPlayer();
    if (!web) {
        Q_EMIT unavailable(brokenPlayerMessage());
        Q_EMIT loadFailed(path);
        return;
    }
    m_webWanted = true;
    m_webRequest = path;
    web->loadMovieData(path, bytes);
}

FallbackPlayer *MovieArea::startWebPlayer()
{
    // The module stays loaded for the rest of the run.
    QLibrary module(m_webModule);
    const auto create =
        reinterpret_cast<CreateFallbackPlayer>(module.resolve(createFallbackPlayerName));
    if (!create) {
        qWarning("Zorvina: the web player cannot be loaded: %s",
                 qUtf8Printable(module.errorString()));
        return nullptr;
    }
    FallbackPlayer::Listener listener;
    listener.shown = [this](const QString &path) { onWebShown(path); };
    listener.failed = [this](const QString &path) { onWebFailed(path); };
    listener.unavailable = [this](const QString &message) { Q_EMIT unavailable(message); };
    m_web.reset(create(m_folder.path(), m_folder.writingPath(), listener, this));
    m_layout->addWidget(m_web->widget());
    return m_web.get();
}

void MovieArea::onWebShown(const QString &path)
{
    if (!m_webWanted || path != m_webRequest)
        return;
    // The native movie stays on screen until the web player's first frame.
    m_layout->setCurrentWidget(m_web->widget());
    setFocusProxy(m_web->widget());
    m_native->clear();
    Q_EMIT movieShown(path);
}

void MovieArea::onWebFailed(const QString &path)
{
    if (m_webWanted && path == m_webRequest)
        Q_EMIT loadFailed(path);
}
