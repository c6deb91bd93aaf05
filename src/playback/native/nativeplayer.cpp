// SPDX-License-Identifier: GPL-3.0-or-later
#include "nativeplayer.h"

#include "renderer.h"
#include "soundoutput.h"
#include "stage.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

namespace {

// A tick that comes late never runs more than this many frames at once: a
// machine that cannot keep up shows a slower movie, not a jumping one.
constexpr qint64 maxCatchUp = 4;

quint64 mix(quint64 key, double value)
{
    return qHash(value, key) * 1099511628211ULL + key;
}

quint64 hashObject(const swf::DisplayObject &object, quint64 key)
{
    const QTransform &m = object.matrix;
    const swf::ColorTransform &c = object.colorTransform;
    for (double value :
         {double(object.depth), double(object.characterId), m.m11(), m.m12(), m.m21(), m.m22(),
          m.dx(), m.dy(), double(c.rMult), double(c.gMult), double(c.bMult), double(c.aMult),
          double(c.rAdd), double(c.gAdd), double(c.bAdd), double(c.aAdd), double(object.ratio),
          double(object.clipDepth), double(object.currentFrame)})
        key = mix(key, value);
    for (const swf::DisplayObject &child : object.children)
        key = hashObject(child, key);
    return key;
}

} // namespace

NativePlayer::NativePlayer(QWidget *parent) : QWidget(parent)
{
    // The whole area is painted on every update, background included.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_clock.setTimerType(Qt::PreciseTimer);
    connect(&m_clock, &QTimer::timeout, this, &NativePlayer::tick);
}

NativePlayer::~NativePlayer() = default;

void NativePlayer::play(std::shared_ptr<const swf::Movie> movie)
{
    if (!m_sound)
        m_sound = std::make_unique<SoundOutput>();
    m_sound->stopAllSounds();
    // The old stage goes first: its sounds and streams end with it.
    m_stage.reset();
    m_renderer = std::make_unique<swf::Renderer>(movie);
    m_stage = std::make_unique<swf::Stage>(movie, m_sound.get());
    m_firstFramePending = true;
    startClock();
    showChange();
}

void NativePlayer::clear()
{
    m_clock.stop();
    if (m_sound)
        m_sound->stopAllSounds();
    m_stage.reset();
    m_renderer.reset();
    m_firstFramePending = false;
    update();
}

void NativePlayer::startClock()
{
    const double rate = qBound(1.0, m_stage->movie().frameRate, 120.0);
    m_frameMs = 1000.0 / rate;
    m_framesRun = 0;
    m_sinceStart.start();
    m_clock.start(qMax(1, int(m_frameMs)));
}

void NativePlayer::tick()
{
    if (!m_stage)
        return;
    // Frames are counted from the start of the movie, so the timer's
    // rounding and late ticks do not add up to a slower movie.
    const qint64 due = qint64(m_sinceStart.elapsed() / m_frameMs);
    qint64 frames = qBound<qint64>(0, due - m_framesRun, maxCatchUp);
    m_framesRun = qMax(m_framesRun + frames, due - maxCatchUp);
    frames += m_stage->framesBehind();
    for (qint64 i = 0; i < frames; ++i)
        m_stage->advance();
    showChange();
}

void NativePlayer::showChange()
{
    const quint64 key = pictureKey();
    if (key != m_paintedKey || m_firstFramePending)
        update();
}

quint64 NativePlayer::pictureKey() const
{
    return m_stage ? hashObject(m_stage->root(), 14695981039346656037ULL) : 0;
}

void NativePlayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_stage) {
        painter.fillRect(rect(), Qt::white);
        m_paintedKey = 0;
        return;
    }
    const swf::Movie &movie = m_stage->movie();
    painter.fillRect(rect(), movie.background);
    m_renderer->setHighQuality(m_quality == Quality::High);
    m_renderer->paint(painter, m_stage->root(), swf::Renderer::showAll(movie.stage, rect()));
    m_paintedKey = pictureKey();
    if (m_firstFramePending) {
        m_firstFramePending = false;
        Q_EMIT movieShown();
    }
}

void NativePlayer::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QMenu *NativePlayer::createMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("movieMenu"));
    const bool loaded = m_stage != nullptr;
    const auto addItem = [&](const char *name, const QString &text, auto slot) {
        QAction *action = menu->addAction(text, this, slot);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(loaded);
        return action;
    };
    QAction *play = addItem("play", QStringLiteral("播放"),
                            [this] { m_stage->isPlaying() ? m_stage->stop() : m_stage->play(); });
    play->setCheckable(true);
    play->setChecked(loaded && m_stage->isPlaying());
    QAction *loop = addItem("loop", QStringLiteral("循环"),
                            [this] { m_stage->setLooping(!m_stage->looping()); });
    loop->setCheckable(true);
    loop->setChecked(loaded && m_stage->looping());
    menu->addSeparator();
    addItem("rewind", QStringLiteral("倒带"), [this] {
        m_stage->rewind();
        showChange();
    });
    addItem("forward", QStringLiteral("前进"), [this] {
        m_stage->stepForward();
        showChange();
    });
    addItem("back", QStringLiteral("后退"), [this] {
        m_stage->stepBack();
        showChange();
    });
    menu->addSeparator();
    QMenu *qualityMenu = menu->addMenu(QStringLiteral("品质"));
    qualityMenu->setObjectName(QStringLiteral("quality"));
    auto *qualities = new QActionGroup(qualityMenu);
    const std::pair<Quality, QString> levels[] = {{Quality::Low, QStringLiteral("低")},
                                                  {Quality::High, QStringLiteral("高")}};
    for (const auto &[level, text] : levels) {
        QAction *action = qualityMenu->addAction(text, this, [this, q = level] { setQuality(q); });
        action->setCheckable(true);
        action->setChecked(level == m_quality);
        qualities->addAction(action);
    }
    return menu;
}

void NativePlayer::setQuality(Quality quality)
{
    m_quality = quality;
    update();
}
