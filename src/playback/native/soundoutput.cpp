// SPDX-License-Identifier: GPL-3.0-or-later
#include "soundoutput.h"
#include "soundmixer.h"

#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <pulse/error.h>
#include <pulse/simple.h>

namespace {

constexpr int blockFrames = swf::mixRate / 50; // 20 ms a write
constexpr int idleFramesBeforeClosing = 2 * swf::mixRate;
// Short enough that a syllable starts with its frame, long enough not to
// break up when the program is busy for a moment.
constexpr pa_usec_t deviceLatencyUs = 60000;
// The blocking writes keep the device about as full as asked: that stands
// for the sound on its way to the speaker. pa_simple can only measure it by
// waiting on the server, which starves the device while it starts.
constexpr qint64 deviceDelayFrames = qint64(deviceLatencyUs) * swf::mixRate / 1000000;

pa_simple *openDevice(int &error)
{
    const pa_sample_spec format{PA_SAMPLE_S16NE, swf::mixRate, 2};
    pa_buffer_attr buffer;
    buffer.maxlength = uint32_t(-1);
    buffer.tlength = uint32_t(pa_usec_to_bytes(deviceLatencyUs, &format));
    buffer.prebuf = uint32_t(-1);
    buffer.minreq = uint32_t(-1);
    buffer.fragsize = uint32_t(-1);
    return pa_simple_new(nullptr, "Zorvina", PA_STREAM_PLAYBACK, nullptr, "Movie sound", &format,
                         nullptr, &buffer, &error);
}

void warnOnce(int error)
{
    static std::atomic<bool> warned{false};
    if (!warned.exchange(true))
        qWarning("Zorvina: no sound device (%s); movies play silently.", pa_strerror(error));
}

} // namespace

struct SoundOutput::Shared
{
    swf::SoundMixer mixer;
    std::mutex mutex;
    std::condition_variable changed;
    bool quit = false;     // all under mutex
    bool pending = false;  // something to play came in
    bool flush = false;    // drop what the device holds
    bool finished = false; // the thread is about to end
    std::atomic<Device> device{Device::Closed};
};

SoundOutput::SoundOutput() : m_shared(std::make_shared<Shared>())
{
}

SoundOutput::~SoundOutput()
{
    if (!m_thread.joinable())
        return;
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->quit = true;
    m_shared->changed.notify_all();
    // A write returns within one block; only a connection that hangs takes
    // longer, and the program does not wait for it: the thread keeps the
    // shared state alive until it is done.
    const bool finished = m_shared->changed.wait_for(lock, std::chrono::milliseconds(100),
                                                     [&] { return m_shared->finished; });
    lock.unlock();
    if (finished)
        m_thread.join();
    else
        m_thread.detach();
}

SoundOutput::Device SoundOutput::device() const
{
    return m_shared->device;
}

bool SoundOutput::accepting() const
{
    return m_shared->device != Device::Missing;
}

void SoundOutput::wake()
{
    if (!m_thread.joinable())
        m_thread = std::thread(run, m_shared);
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->pending = true;
    m_shared->changed.notify_all();
}

void SoundOutput::startSound(quint16 soundId, const std::shared_ptr<const swf::Sound> &sound,
                             const swf::SoundStart &start)
{
    if (!accepting())
        return;
    m_shared->mixer.startSound(soundId, sound, start);
    if (!start.stop)
        wake();
}

void SoundOutput::stopAllSounds()
{
    m_shared->mixer.stopAllSounds();
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->flush = true;
}

void SoundOutput::streamBlock(const void *owner, const swf::StreamHead &head,
                              const QByteArray &block)
{
    if (!accepting())
        return;
    m_shared->mixer.streamBlock(owner, head, block);
    wake();
}

void SoundOutput::streamStopped(const void *owner)
{
    m_shared->mixer.streamStopped(owner);
}

double SoundOutput::streamPosition(const void *owner) const
{
    if (m_shared->device != Device::Open)
        return -1;
    return m_shared->mixer.streamPosition(owner, deviceDelayFrames);
}

void SoundOutput::run(const std::shared_ptr<Shared> &shared)
{
    pa_simple *device = nullptr;
    int idleFrames = 0;
    qint16 block[blockFrames * 2];
    const auto close = [&](Device state) {
        pa_simple_free(device);
        device = nullptr;
        shared->device = state;
    };
    for (;;) {
        bool flush = false;
        {
            std::unique_lock<std::mutex> lock(shared->mutex);
            shared->changed.wait(lock, [&] { return shared->quit || device || shared->pending; });
            if (shared->quit)
                break;
            shared->pending = false;
            std::swap(flush, shared->flush);
        }
        int error = 0;
        if (!device) {
            shared->device = Device::Opening;
            device = openDevice(error);
            if (!device) {
                warnOnce(error);
                shared->device = Device::Missing;
                shared->mixer.stopAllSounds();
                continue;
            }
            shared->device = Device::Open;
            idleFrames = 0;
        }
        if (flush)
            pa_simple_flush(device, nullptr);
        shared->mixer.mix(block, blockFrames);
        if (pa_simple_write(device, block, sizeof block, &error) < 0) {
            // The server went away: the next sound tries again.
            close(Device::Closed);
            shared->mixer.stopAllSounds();
            continue;
        }
        idleFrames = shared->mixer.isQuiet() ? idleFrames + blockFrames : 0;
        if (idleFrames >= idleFramesBeforeClosing)
            close(Device::Closed);
    }
    if (device)
        close(Device::Closed);
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->finished = true;
    shared->changed.notify_all();
}
