// SPDX-License-Identifier: GPL-3.0-or-later
#include "soundmixer.h"

#include <algorithm>

namespace swf {

namespace {

constexpr int fullLevel = 32768;
// A movie starting sounds faster than they end loses its oldest ones.
constexpr std::size_t maxVoices = 64;
// A stream far ahead of its clock keeps this much and drops the rest.
constexpr qint64 maxQueuedFrames = 10 * mixRate;
// Each stream holds a decoder: timelines past these stay silent.
constexpr std::size_t maxStreams = 32;

bool sameFormat(const StreamHead &a, const StreamHead &b)
{
    return a.format == b.format && a.rate == b.rate && a.is16Bit == b.is16Bit &&
           a.stereo == b.stereo && a.samplesPerBlock == b.samplesPerBlock;
}

} // namespace

struct SoundMixer::Voice
{
    quint16 id = 0;
    std::shared_ptr<const Pcm> pcm;
    qsizetype begin = 0; // frames: the in point, the out point, the next frame
    qsizetype end = 0;
    qsizetype at = 0;
    int loopsLeft = 1;
    qint64 position = 0; // frames along the sound as heard, loops one after another
    QList<SoundEnvelopePoint> envelope;
    qsizetype envelopeIndex = 0;

    std::pair<int, int> levels();
};

struct SoundMixer::Stream
{
    const void *owner = nullptr;
    StreamHead head;
    std::unique_ptr<StreamDecoder> decoder;
    Pcm queued; // frames of the stream from queuedFrom on
    qint64 queuedFrom = 0;
    qint64 decodedFrames = 0; // where the next decoded block goes
    qint64 clock = 0;         // frames mixed since the stream began
};

struct SoundMixer::CacheEntry
{
    const Sound *key = nullptr;
    std::weak_ptr<const Sound> sound; // an expired one may share its address with a new sound
    std::shared_ptr<const Pcm> pcm;
    qint64 bytes = 0;
};

std::pair<int, int> SoundMixer::Voice::levels()
{
    if (envelope.isEmpty())
        return {fullLevel, fullLevel};
    while (envelopeIndex + 1 < envelope.size() && envelope[envelopeIndex + 1].position <= position)
        ++envelopeIndex;
    const SoundEnvelopePoint &from = envelope[envelopeIndex];
    if (position <= from.position || envelopeIndex + 1 == envelope.size())
        return {from.left, from.right};
    const SoundEnvelopePoint &to = envelope[envelopeIndex + 1];
    const double weight = double(position - from.position) / double(to.position - from.position);
    return {int(from.left + (to.left - from.left) * weight),
            int(from.right + (to.right - from.right) * weight)};
}

SoundMixer::SoundMixer(qint64 cacheBytes) : m_cacheLimit(cacheBytes)
{
}

SoundMixer::~SoundMixer() = default;

std::shared_ptr<const Pcm> SoundMixer::decoded(const std::shared_ptr<const Sound> &sound)
{
    {
        std::lock_guard<std::mutex> lock(m_cacheMutex);
        const auto found = std::find_if(m_cache.begin(), m_cache.end(), [&](const CacheEntry &e) {
            return e.key == sound.get() && e.sound.lock() == sound;
        });
        if (found != m_cache.end()) {
            std::rotate(found, found + 1, m_cache.end());
            return m_cache.back().pcm;
        }
    }
    // Decoding takes a while: the lock is not held meanwhile.
    auto pcm = std::make_shared<const Pcm>(decodeSound(*sound));
    const qint64 bytes = pcm->size() * qint64(sizeof(qint16));
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    const auto stale = std::remove_if(m_cache.begin(), m_cache.end(), [&](const CacheEntry &e) {
        return e.key == sound.get() || e.sound.expired();
    });
    for (auto entry = stale; entry != m_cache.end(); ++entry)
        m_cacheBytes -= entry->bytes;
    m_cache.erase(stale, m_cache.end());
    if (bytes > m_cacheLimit)
        return pcm;
    while (m_cacheBytes + bytes > m_cacheLimit) {
        m_cacheBytes -= m_cache.front().bytes;
        m_cache.erase(m_cache.begin());
    }
    m_cache.push_back(CacheEntry{sound.get(), sound, pcm, bytes});
    m_cacheBytes += bytes;
    return pcm;
}

void SoundMixer::startSound(quint16 soundId, const std::shared_ptr<const Sound> &sound,
                            const SoundStart &start)
{
    const auto playing = [&] {
        return std::any_of(m_voices.begin(), m_voices.end(),
                           [&](const Voice &v) { return v.id == soundId; });
    };
    if (start.stop) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_voices.erase(std::remove_if(m_voices.begin(), m_voices.end(),
                                      [&](const Voice &v) { return v.id == soundId; }),
                       m_voices.end());
        return;
    }
    if (!sound)
        return;
    if (start.noMultiple) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (playing())
            return;
    }
    Voice voice;
    voice.id = soundId;
    voice.pcm = decoded(sound);
    const qsizetype length = voice.pcm->size() / 2;
    voice.begin = std::min<qsizetype>(start.inPoint.value_or(0), length);
    voice.end = std::min<qsizetype>(start.outPoint.value_or(length), length);
    if (voice.begin >= voice.end)
        return;
    voice.at = voice.begin;
    voice.position = voice.begin;
    voice.loopsLeft = std::max<int>(1, start.loops);
    voice.envelope = start.envelope;
    for (SoundEnvelopePoint &point : voice.envelope) {
        point.left = std::min<quint16>(point.left, fullLevel);
        point.right = std::min<quint16>(point.right, fullLevel);
    }
    std::stable_sort(voice.envelope.begin(), voice.envelope.end(),
                     [](const auto &a, const auto &b) { return a.position < b.position; });

    std::lock_guard<std::mutex> lock(m_mutex);
    if (start.noMultiple && playing())
        return;
    if (m_voices.size() >= maxVoices)
        m_voices.erase(m_voices.begin());
    m_voices.push_back(std::move(voice));
}

void SoundMixer::stopAllSounds()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_voices.clear();
    for (const auto &stream : m_streams) {
        stream->queued.clear();
        stream->queuedFrom = stream->decodedFrames;
    }
}

SoundMixer::Stream *SoundMixer::findStream(const void *owner) const
{
    const auto found = std::find_if(m_streams.begin(), m_streams.end(),
                                    [&](const auto &s) { return s->owner == owner; });
    return found == m_streams.end() ? nullptr : found->get();
}

void SoundMixer::streamBlock(const void *owner, const StreamHead &head, const QByteArray &block)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Stream *stream = findStream(owner);
    if (stream && !sameFormat(stream->head, head)) {
        // A new head on the same timeline is a new stream.
        m_streams.erase(std::find_if(m_streams.begin(), m_streams.end(),
                                     [&](const auto &s) { return s.get() == stream; }));
        stream = nullptr;
    }
    if (!stream) {
        if (m_streams.size() >= maxStreams)
            return;
        m_streams.push_back(std::make_unique<Stream>());
        stream = m_streams.back().get();
        stream->owner = owner;
        stream->head = head;
        stream->decoder = std::make_unique<StreamDecoder>(head);
    }
    Pcm pcm;
    stream->decoder->decode(block, pcm);
    const qint64 from = stream->decodedFrames;
    stream->decodedFrames += pcm.size() / 2;
    // Sound whose time has passed is dropped; so is what runs too far ahead.
    const qint64 first = std::max(from, stream->clock);
    const qint64 last = std::min(stream->decodedFrames, stream->clock + maxQueuedFrames);
    if (first >= last)
        return;
    if (stream->queued.isEmpty())
        stream->queuedFrom = first;
    else // after a block cut at the end: the cut part stays silent
        stream->queued.resize((first - stream->queuedFrom) * 2, 0);
    stream->queued.append(pcm.sliced((first - from) * 2, (last - first) * 2));
}

void SoundMixer::streamStopped(const void *owner)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams.erase(std::remove_if(m_streams.begin(), m_streams.end(),
                                   [&](const auto &s) { return s->owner == owner; }),
                    m_streams.end());
}

double SoundMixer::streamPosition(const void *owner, qint64 delayFrames) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Stream *stream = findStream(owner);
    const double perBlock = stream ? stream->decoder->framesPerBlock() : 0;
    if (perBlock <= 0)
        return -1;
    return double(std::max<qint64>(0, stream->clock - delayFrames)) / perBlock;
}

bool SoundMixer::mixVoice(Voice &voice, int frames)
{
    const qint16 *samples = voice.pcm->constData();
    for (int i = 0; i < frames; ++i) {
        if (voice.at >= voice.end) {
            if (--voice.loopsLeft <= 0)
                return false;
            voice.at = voice.begin;
        }
        const auto [left, right] = voice.levels();
        m_sum[2 * i] += samples[2 * voice.at] * left / fullLevel;
        m_sum[2 * i + 1] += samples[2 * voice.at + 1] * right / fullLevel;
        ++voice.at;
        ++voice.position;
    }
    return true;
}

void SoundMixer::mixStream(Stream &stream, int frames)
{
    const qint64 end = stream.clock + frames;
    const qint64 queuedFrames = stream.queued.size() / 2;
    const qint64 last = std::min(end, stream.queuedFrom + queuedFrames);
    for (qint64 frame = std::max(stream.clock, stream.queuedFrom); frame < last; ++frame) {
        const qint16 *samples = stream.queued.constData() + (frame - stream.queuedFrom) * 2;
        m_sum[(frame - stream.clock) * 2] += samples[0];
        m_sum[(frame - stream.clock) * 2 + 1] += samples[1];
    }
    const qint64 played = std::clamp<qint64>(end - stream.queuedFrom, 0, queuedFrames);
    stream.queued.remove(0, played * 2);
    stream.queuedFrom += played;
    stream.clock = end;
}

void SoundMixer::mix(qint16 *out, int frames)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sum.assign(std::size_t(std::max(0, frames)) * 2, 0);
    m_voices.erase(std::remove_if(m_voices.begin(), m_voices.end(),
                                  [&](Voice &v) { return !mixVoice(v, frames); }),
                   m_voices.end());
    for (const auto &stream : m_streams)
        mixStream(*stream, frames);
    for (std::size_t i = 0; i < m_sum.size(); ++i)
        out[i] = qint16(std::clamp(m_sum[i], -32768, 32767));
}

bool SoundMixer::isQuiet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_voices.empty() && std::all_of(m_streams.begin(), m_streams.end(),
                                           [](const auto &s) { return s->queued.isEmpty(); });
}

} // namespace swf
