// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SOUNDDECODER_H
#define ZORVINA_SOUNDDECODER_H

// A movie's sound data turned into what the mixer plays: interleaved 16-bit
// stereo frames at 44100 Hz. Nothing here touches a sound device, and every
// output is bounded by swf::Limits::soundSamples frames.

#include "swfmovie.h"

#include <QList>
#include <memory>

struct mpg123_handle_struct;

namespace swf {

constexpr int mixRate = 44100;
using Pcm = QList<qint16>; // left, right, left, right ... at mixRate

// Carries samples at any rate, mono or stereo, to mixRate stereo by linear
// interpolation. Blocks pushed one after another join without a seam.
class Resampler
{
public:
    // rate 5512 is taken as the 5512.5 Hz it really is.
    explicit Resampler(double rate = mixRate, int channels = 1);

    void push(const qint16 *samples, qsizetype frames, Pcm &out);
    // The sound ended: the output frames that fall within its last sample.
    void finish(Pcm &out);

private:
    void put(const qint16 *from, const qint16 *to, double weight, Pcm &out) const;

    double m_step; // input frames per output frame
    int m_channels;
    double m_next = 0; // the next output's time, in input frames after the last one held
    qint16 m_held[2] = {0, 0};
    bool m_started = false;
};

// An MP3 stream fed piece by piece (libmpg123's feed reader), decoded to
// mixRate stereo as it comes.
class Mp3Decoder
{
public:
    // skipFrames: decoder delay to drop at the start, at the stream's own rate.
    explicit Mp3Decoder(int skipFrames = 0);
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder &) = delete;
    Mp3Decoder &operator=(const Mp3Decoder &) = delete;

    // Appends what decodes of these bytes to out; damaged data decodes as
    // far as it can, and a decoder that gave up takes nothing more.
    void feed(const char *bytes, qsizetype size, Pcm &out);
    void finish(Pcm &out);

private:
    void take(const qint16 *samples, qsizetype count, Pcm &out);

    mpg123_handle_struct *m_handle = nullptr;
    std::unique_ptr<Resampler> m_resampler;
    int m_channels = 1;
    qint64 m_skip = 0; // frames still to drop
};

// The whole of an event sound, at most Limits::soundSamples frames. Empty
// when nothing in it decodes.
Pcm decodeSound(const Sound &sound);

// One timeline's sound stream, block after block.
class StreamDecoder
{
public:
    explicit StreamDecoder(const StreamHead &head);
    ~StreamDecoder();

    // Appends the block's sound to out (mixRate stereo).
    void decode(const QByteArray &block, Pcm &out);
    // Output frames a block of the head's samplesPerBlock makes.
    double framesPerBlock() const;

private:
    StreamHead m_head;
    std::unique_ptr<Mp3Decoder> m_mp3;
    Resampler m_resampler;
};

} // namespace swf

#endif
