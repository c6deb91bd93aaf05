// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PRACTICEAREA_H
#define ZORVINA_PRACTICEAREA_H

#include "practicedata.h"

#include <QWidget>
#include <memory>

namespace swf {
class SoundSink;
struct Movie;
} // namespace swf

namespace practice {
class PracticeSession;
}

// Writing practice over the movie area: the lesson's grid at the same place
// and size with the character in light grey; the child draws each stroke
// with the mouse (or a finger or pen, which Qt hands over as a mouse). A
// right stroke is drawn in and named, a wrong one vanishes and the expected
// stroke hints where it starts and which way it goes; after the third miss
// the stroke writes itself. The finished character shows in colour, the
// syllable is said again and a star counts the strokes right first time.
class PracticeArea : public QWidget
{
    Q_OBJECT
public:
    // sound: where the syllable goes; null for the sound device.
    explicit PracticeArea(swf::SoundSink *sound = nullptr, QWidget *parent = nullptr);
    ~PracticeArea() override;

    // Starts a new practice of the character of data; movie is the lesson's
    // movie it came with (its stage, background and syllable).
    void start(const practice::PracticeData &data, std::shared_ptr<const swf::Movie> movie);
    // Ends any practice: animations and sound stop.
    void stop();

    bool isActive() const;
    // Null when not practising.
    const practice::PracticeSession *session() const { return m_session.get(); }
    // Where a point of the character square (units, y down) lies in this
    // widget, as the grid is shown now.
    QPointF toWidget(QPointF characterPoint) const;
    // How long the reward shows before finished(); tests shorten it.
    void setRewardTime(int milliseconds);
    // A hint pulses, a stroke writes itself or the star pops up: frames are
    // being drawn. False whenever the area is idle.
    bool isAnimating() const;

Q_SIGNALS:
    // A stroke is drawn in: written by the child, or by itself after misses.
    void strokeWritten(int stroke);
    // A drawn path was not the expected stroke; a hint shows.
    void missed(int stroke);
    // The whole character is written; the reward shows.
    void characterWritten();
    // The reward has shown for a few seconds: time to go back to the lesson.
    void finished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Private;
    void submitInk();
    void finishStroke(int stroke);
    void finishCharacter();
    void tick();

    std::unique_ptr<Private> d;
    std::unique_ptr<practice::PracticeSession> m_session;
};

#endif
