// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SOUNDMIXER_H
#define ZORVINA_SOUNDMIXER_H

// The sounds playing at one time, event sounds and timelines' streams, added
// up into one output of 16-bit stereo frames at 44100 Hz. The movie's thread
// starts and stops sounds; the device's thread pulls mixed frames. It knows
// nothing of a device, so tests run it by hand.

#include "sounddecoder.h"

#include <mutex>
#include <vector>

namespace swf {

class SoundMixer
{
public:
    // cacheBytes bounds the decoded event sounds kept for starting again.
    explicit SoundMixer(qint64 cacheBytes = 64 * 1024 * 1024);
    ~SoundMixer();

    // As SoundSink::startSound: start.stop stops every instance of soundId,
    // start.noMultiple starts nothing while one plays.
    void startSound(quint16 soundId, const std::shared_ptr<const Sound> &sound,
                    const SoundStart &start);
    // Silences every sound at once; streams keep their clocks and go on
    // with their next block.
    void stopAllSounds();
    void streamBlock(const void *owner, const StreamHead &head, const QByteArray &block);
    void streamStopped(const void *owner);
    // How many of owner's blocks have been mixed since its stream began,
    // less delayFrames still on their way to the speaker; -1 without such a
    // stream. A stream's clock runs while it waits for a late block, and
    // sound that comes too late for its time is dropped, so the timeline
    // following the clock is never held back.
    double streamPosition(const void *owner, qint64 delayFrames = 0) const;

    // Adds up every voice, clipping at full scale; sounds that end go.
    void mix(qint16 *out, int frames);
    // Nothing sounds now and nothing waits to sound.
    bool isQuiet() const;

    // The sound decoded, from the cache when it was decoded lately.
    std::shared_ptr<const Pcm> decoded(const std::shared_ptr<const Sound> &sound);

private:
    struct Voice;
    struct Stream;
    struct CacheEntry;

    bool mixVoice(Voice &voice, int frames);
    void mixStream(Stream &stream, int frames);
    Stream *findStream(const void *owner) const;

    mutable std::mutex m_mutex;
    std::vector<Voice> m_voices;
    std::vector<std::unique_ptr<Stream>> m_streams;
    std::vector<int> m_sum;

    std::mutex m_cacheMutex;
    std::vector<CacheEntry> m_cache; // least lately used first
    qint64 m_cacheBytes = 0;
    qint64 m_cacheLimit;
};

} // namespace swf

#endif
