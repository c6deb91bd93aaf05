// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STAGE_H
#define ZORVINA_STAGE_H

// A movie being played: the root timeline, the sprites on it and their
// timelines, stepped one frame at a time with the actions a timeline needs.

#include "displaylist.h"

#include <memory>

namespace swf {

class SoundSink;
class StageRunner;

class Stage
{
public:
    // sounds may be null (silent); when given, it must outlive the stage.
    // The stage starts on the movie's first frame, already run (its display
    // list built, its sounds started, its actions done).
    explicit Stage(std::shared_ptr<const Movie> movie, SoundSink *sounds = nullptr);
    ~Stage(); // ends the streams still playing
    Stage(const Stage &) = delete;
    Stage &operator=(const Stage &) = delete;

    const Movie &movie() const { return *m_movie; }
    // The root timeline as a display object: its children are the stage.
    const DisplayObject &root() const { return m_root; }

    // One tick of the movie's clock: every playing timeline moves on one
    // frame (the root loops at its end when looping, or else stops on its
    // last frame; sprites always loop; a timeline of one frame stays), then
    // the frames' actions run.
    //
    // Order: the timelines move children before their parent, siblings in
    // depth order, so a sprite its parent places in this tick starts on its
    // first frame and moves on only from the next tick. Actions run once
    // every timeline has moved, in the order their frames were entered: a
    // child's before its parent's. The actions of one tick stop after
    // Limits::actionsPerFrame actions (a goto costs the frames and commands
    // it replays); the movie goes on at the next tick.
    void advance();

    // While the root plays a sound stream, the sound is the clock: how many
    // extra advance() calls the root needs to catch up with the sound heard
    // so far (frames dropped, as Flash does). 0 without a stream, without a
    // sound device, or when the pictures are not behind; at most about a
    // second's worth of frames. The player adds it to each tick's advances.
    int framesBehind() const;

    // The movie menu's and the player's controls, acting on the root. A goto
    // runs the target frame's display commands, sounds and actions (those of
    // the frames it skips only change the display list); going back rebuilds
    // the display list from the first frame, keeping the objects that stand
    // at the same depth with the same character (a sprite keeps its frame).
    // Frames past either end are taken as the nearest end.
    bool isPlaying() const;
    void play();
    void stop();
    void rewind();      // to the first frame, stopped, every sound stopped
    void stepForward(); // one frame on, stopped (on the last frame: stays)
    void stepBack();    // one frame back, stopped (on the first frame: stays)
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
    // The runtime's private helpers and state live in stage.cpp.
    std::unique_ptr<StageRunner> m_runner;
    friend class StageRunner;
};

} // namespace swf

#endif
