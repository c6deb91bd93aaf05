// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SOUNDSINK_H
#define ZORVINA_SOUNDSINK_H

// Where a playing movie's sounds go. The stage calls it as frames run; the
// sound output (sound/) mixes and plays; tests record the calls.

#include "swfmovie.h"

namespace swf {

class SoundSink
{
public:
    virtual ~SoundSink() = default;

    // StartSound: starts (or, with start.stop, stops) the event sound.
    virtual void startSound(quint16 soundId, const std::shared_ptr<const Sound> &sound,
                            const SoundStart &start) = 0;
    // The stopSounds action, and a movie being rewound or replaced.
    virtual void stopAllSounds() = 0;
    // A timeline with a sound stream reached a frame holding a block of it.
    // owner tells the streams of different timelines apart.
    virtual void streamBlock(const void *owner, const StreamHead &head,
                             const QByteArray &block) = 0;
    // The timeline that owned a stream stopped, jumped or went away: its
    // stream ends here, and a later block starts a new one.
    virtual void streamStopped(const void *owner) = 0;
    // How far the stream of owner has played, in frames of its timeline
    // since it started, or -1 when nothing plays it (no sound device). The
    // stage keeps a timeline with a stream in step with it. A frame is the
    // head's samplesPerBlock; the count follows the device's clock from the
    // stream's first block, so a block that comes late never holds it back
    // (the part of that block whose time has passed is not heard).
    virtual double streamPosition(const void *owner) const = 0;
};

} // namespace swf

#endif
