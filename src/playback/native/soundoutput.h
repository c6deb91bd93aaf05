// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SOUNDOUTPUT_H
#define ZORVINA_SOUNDOUTPUT_H

// The native player's speaker: the movie's sounds, mixed, played through
// PulseAudio. The device opens with the first sound, on a thread of its own
// so that a missing or slow sound server never holds up the caller, and
// closes after two seconds of silence so that an idle program holds no
// stream. Without a device the sounds are dropped and movies play silently
// (said once a run on standard error).

#include "soundsink.h"

#include <memory>
#include <thread>

class SoundOutput : public swf::SoundSink
{
public:
    enum class Device { Closed, Opening, Open, Missing };

    SoundOutput();
    ~SoundOutput() override;
    SoundOutput(const SoundOutput &) = delete;
    SoundOutput &operator=(const SoundOutput &) = delete;

    void startSound(quint16 soundId, const std::shared_ptr<const swf::Sound> &sound,
                    const swf::SoundStart &start) override;
    void stopAllSounds() override;
    void streamBlock(const void *owner, const swf::StreamHead &head,
                     const QByteArray &block) override;
    void streamStopped(const void *owner) override;
    // Counts what the speaker has played: the device's delay is taken off.
    double streamPosition(const void *owner) const override;

    Device device() const;

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared> &shared);
    bool accepting() const;
    void wake();

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

#endif
