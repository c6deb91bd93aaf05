// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_NATIVEPLAYER_H
#define ZORVINA_NATIVEPLAYER_H

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>

class QMenu;
class SoundOutput;

namespace swf {
class Renderer;
class Stage;
struct Movie;
} // namespace swf

// Plays a movie that the native reader understood in full: its timelines run
// at the movie's frame rate and every frame is drawn with QPainter, the whole
// stage shown and centred on the movie's background colour, looping, with
// sound. The right mouse button opens the movie's menu.
class NativePlayer : public QWidget
{
    Q_OBJECT
public:
    // Low draws without antialiasing and bitmap smoothing, for a slow machine.
    enum class Quality { Low, High };

    explicit NativePlayer(QWidget *parent = nullptr);
    ~NativePlayer() override;

    // Replaces the movie shown and starts playing the new one.
    void play(std::shared_ptr<const swf::Movie> movie);
    // Stops and forgets the movie: the area shows nothing, nothing sounds.
    void clear();

    bool hasMovie() const { return m_stage != nullptr; }
    const swf::Stage *stage() const { return m_stage.get(); }
    Quality quality() const { return m_quality; }

    // The movie's menu, as the right mouse button opens it.
    QMenu *createMenu();

Q_SIGNALS:
    // The first frame of the movie given to play() is on the screen.
    void movieShown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void tick();
    void startClock();
    void showChange();
    quint64 pictureKey() const;
    void setQuality(Quality quality);

    std::unique_ptr<SoundOutput> m_sound;
    std::unique_ptr<swf::Stage> m_stage;
    std::unique_ptr<swf::Renderer> m_renderer;
    QTimer m_clock;
    QElapsedTimer m_sinceStart;
    qint64 m_framesRun = 0;
    double m_frameMs = 0;
    // What the last painted frame showed: a frame that changes nothing is
    // not painted again.
    quint64 m_paintedKey = 0;
    bool m_firstFramePending = false;
    Quality m_quality = Quality::High;
};

#endif
