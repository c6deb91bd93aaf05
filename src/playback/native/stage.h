#ifndef ZORVINA_STAGE_H
#define ZORVINA_STAGE_H

// A movie being played: the root timeline, the sprites on it and their
// timelines, stepped one frame at a time with the actions a timeline needs.

#include "displaylist.h"

#include <memory>

namespace swf {

class SoundSink;

class Stage
{
public:
    // sounds may be null (silent). The stage starts on the movie's first
    // frame, already run (its display list built, its sounds started).
    explicit Stage(std::shared_ptr<const Movie> movie, SoundSink *sounds = nullptr);

    const Movie &movie() const { return *m_movie; }
    // The root timeline as a display object: its children are the stage.
    const DisplayObject &root() const { return m_root; }

    // One tick of the movie's clock: every playing timeline moves on one
    // frame (the root loops at its end when looping), then the frames'
    // actions run.
    void advance();

    // The movie menu's and the player's controls, acting on the root.
    bool isPlaying() const;
    void play();
    void stop();
    void rewind();      // to the first frame, stopped
    void stepForward(); // one frame on, stopped
    void stepBack();    // one frame back, stopped
    void gotoFrame(int frame, bool play);
    int currentFrame() const { return m_root.currentFrame; }
    int frameCount() const;

    bool looping() const { return m_looping; }
    void setLooping(bool loop) { m_looping = loop; }

private:
    std::shared_ptr<const Movie> m_movie;
    SoundSink *m_sounds;
    DisplayObject m_root;
    bool m_looping = true;
    // The runtime's private helpers live in stage.cpp.
    friend class StageRunner;
};

} // namespace swf

#endif
