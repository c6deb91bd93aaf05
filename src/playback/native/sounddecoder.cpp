// SPDX-License-Identifier: GPL-3.0-or-later
#include "sounddecoder.h"

#include <algorithm>
#include <cmath>
#include <mpg123.h>

namespace swf {

namespace {

// The IMA ADPCM step sizes, and how far each code moves along them, for the
// four code sizes a movie may use (2..5 bits, the sign bit not counted here).
constexpr int adpcmSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int adpcmIndexMoves2[] = {-1, 2};
constexpr int adpcmIndexMoves3[] = {-1, -1, 2, 4};
constexpr int adpcmIndexMoves4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int adpcmIndexMoves5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int *adpcmIndexMoves[] = {adpcmIndexMoves2, adpcmIndexMoves3, adpcmIndexMoves4,
                                          adpcmIndexMoves5};
constexpr int adpcmPacketFrames = 4096; // the initial sample and 4095 codes

class BitReader
{
public:
    explicit BitReader(const QByteArray &bytes)
        : m_bytes(reinterpret_cast<const uchar *>(bytes.constData())), m_bits(bytes.size() * 8)
    {
    }

    // Most significant bit first; false (and nothing read) past the end.
    bool read(int count, quint32 &value)
    {
        if (m_at + count > m_bits)
            return false;
        value = 0;
        for (int i = 0; i < count; ++i, ++m_at)
            value = value << 1 | ((m_bytes[m_at / 8] >> (7 - m_at % 8)) & 1);
        return true;
    }

private:
    const uchar *m_bytes;
    qsizetype m_bits;
    qsizetype m_at = 0;
};

struct AdpcmChannel
{
    int sample = 0;
    int index = 0;

    bool start(BitReader &bits)
    {
        quint32 first = 0;
        quint32 firstIndex = 0;
        if (!bits.read(16, first) || !bits.read(6, firstIndex))
            return false;
        sample = qint16(quint16(first));
        index = std::min(int(firstIndex), 88);
        return true;
    }

    qint16 decode(quint32 code, int codeBits)
    {
        const int step = adpcmSteps[index];
        const int magnitudeBits = codeBits - 1;
        int difference = step >> magnitudeBits;
        for (int bit = magnitudeBits - 1; bit >= 0; --bit) {
            if (code & (1u << bit))
                difference += step >> (magnitudeBits - 1 - bit);
        }
        const quint32 signBit = 1u << magnitudeBits;
        sample =
            std::clamp(code & signBit ? sample - difference : sample + difference, -32768, 32767);
        index = std::clamp(index + adpcmIndexMoves[codeBits - 2][code & (signBit - 1)], 0, 88);
        return qint16(sample);
    }
};

// Packets until the data ends; a packet cut short ends with its last whole
// frame.
Pcm decodeAdpcm(const QByteArray &data, int channels, qsizetype maxFrames)
{
    Pcm out;
    BitReader bits(data);
    quint32 sizeField = 0;
    if (!bits.read(2, sizeField))
        return out;
    const int codeBits = int(sizeField) + 2;
    AdpcmChannel state[2];
    quint32 codes[2] = {0, 0};
    qsizetype frames = 0;
    while (frames < maxFrames) {
        for (int c = 0; c < channels; ++c) {
            if (!state[c].start(bits))
                return out;
        }
        for (int c = 0; c < channels; ++c)
            out.append(qint16(state[c].sample));
        ++frames;
        for (int i = 1; i < adpcmPacketFrames && frames < maxFrames; ++i, ++frames) {
            for (int c = 0; c < channels; ++c) {
                if (!bits.read(codeBits, codes[c]))
                    return out;
            }
            for (int c = 0; c < channels; ++c)
                out.append(state[c].decode(codes[c], codeBits));
        }
    }
    return out;
}

// Format 0 ("native") is taken as little-endian, as Flash on x86 plays it.
// 8-bit samples are unsigned.
Pcm decodePcm(const QByteArray &data, bool is16Bit, int channels, qsizetype maxFrames)
{
    const int bytesPerFrame = (is16Bit ? 2 : 1) * channels;
    const qsizetype count = std::min<qsizetype>(data.size() / bytesPerFrame, maxFrames) * channels;
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    Pcm out(count);
    for (qsizetype i = 0; i < count; ++i) {
        out[i] = is16Bit ? qint16(quint16(bytes[2 * i] | bytes[2 * i + 1] << 8))
                         : qint16((bytes[i] - 128) * 256);
    }
    return out;
}

bool isMovieRate(int rate)
{
    return rate == 5512 || rate == 11025 || rate == 22050 || rate == 44100;
}

double exactRate(int rate)
{
    return rate == 5512 ? 5512.5 : rate;
}

// The native frames that make at most Limits::soundSamples output frames.
qsizetype nativeFrameBound(int rate)
{
    return qsizetype(std::ceil(double(Limits::soundSamples) * exactRate(rate) / mixRate)) + 1;
}

Pcm decodeUncompressed(Sound::Format format, int rate, bool is16Bit, bool stereo,
                       const QByteArray &data)
{
    const int channels = stereo ? 2 : 1;
    return format == Sound::Format::Adpcm
               ? decodeAdpcm(data, channels, nativeFrameBound(rate))
               : decodePcm(data, is16Bit, channels, nativeFrameBound(rate));
}

// In pieces, so that the bound on the output is checked as it grows: a few
// bytes of MP3 can make many samples.
void feedBounded(Mp3Decoder &decoder, const QByteArray &bytes, qsizetype from, Pcm &out)
{
    constexpr qsizetype piece = 16 * 1024;
    for (qsizetype at = from; at < bytes.size() && out.size() / 2 < Limits::soundSamples;
         at += piece)
        decoder.feed(bytes.constData() + at, std::min(piece, bytes.size() - at), out);
}

} // namespace

Resampler::Resampler(double rate, int channels)
    : m_step((rate == 5512 ? 5512.5 : rate) / mixRate), m_channels(channels == 2 ? 2 : 1)
{
    // A rate of nothing would never move on.
    if (!(m_step > 0.01))
        m_step = 1;
}

void Resampler::put(const qint16 *from, const qint16 *to, double weight, Pcm &out) const
{
    const auto at = [&](int channel) {
        return qint16(std::lround(from[channel] + (to[channel] - from[channel]) * weight));
    };
    out.append(at(0));
    out.append(at(m_channels - 1));
}

void Resampler::push(const qint16 *samples, qsizetype frames, Pcm &out)
{
    if (frames <= 0)
        return;
    if (!m_started) {
        std::copy(samples, samples + m_channels, m_held);
        m_next = 0;
        m_started = true;
    }
    for (;; m_next += m_step) {
        if (m_next < 0) {
            put(m_held, samples, m_next + 1, out);
            continue;
        }
        const auto index = qsizetype(m_next);
        const qint16 *frame = samples + index * m_channels;
        if (index + 1 < frames)
            put(frame, frame + m_channels, m_next - index, out);
        else if (index + 1 == frames && m_next == double(index))
            put(frame, frame, 0, out); // on the last frame: no need to wait for the next block
        else
            break;
    }
    m_next -= frames;
    std::copy(samples + (frames - 1) * m_channels, samples + frames * m_channels, m_held);
}

void Resampler::finish(Pcm &out)
{
    for (; m_started && m_next < 0; m_next += m_step)
        put(m_held, m_held, 0, out);
}

Mp3Decoder::Mp3Decoder(int skipFrames) : m_skip(std::max(0, skipFrames))
{
    // Needed before libmpg123 1.27, harmless after.
    static const int initialised = mpg123_init();
    Q_UNUSED(initialised)
    m_handle = mpg123_new(nullptr, nullptr);
    if (!m_handle)
        return;
    mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // The movie says how much decoder delay to skip; the decoder must not
    // guess on its own.
    mpg123_param(m_handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(m_handle);
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(m_handle) != MPG123_OK) {
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
}

Mp3Decoder::~Mp3Decoder()
{
    if (m_handle)
        mpg123_delete(m_handle);
}

void Mp3Decoder::feed(const char *bytes, qsizetype size, Pcm &out)
{
    if (!m_handle || size <= 0)
        return;
    int result = mpg123_feed(m_handle, reinterpret_cast<const uchar *>(bytes), size_t(size));
    qint16 buffer[4608];
    // Every read either gives samples or asks for more input; a decoder
    // that does neither for long is stuck on damaged data.
    for (int idle = 0; result == MPG123_OK && idle < 64;) {
        size_t done = 0;
        result = mpg123_read(m_handle, buffer, sizeof buffer, &done);
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int encoding = 0;
            mpg123_getformat(m_handle, &rate, &m_channels, &encoding);
            if (m_resampler)
                m_resampler->finish(out);
            m_resampler = std::make_unique<Resampler>(double(rate), m_channels);
            result = MPG123_OK;
        }
        idle = done > 0 ? 0 : idle + 1;
        take(buffer, qsizetype(done / sizeof(qint16)), out);
    }
    if (result != MPG123_OK && result != MPG123_NEED_MORE) {
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
}

void Mp3Decoder::take(const qint16 *samples, qsizetype count, Pcm &out)
{
    if (!m_resampler || count <= 0)
        return;
    const qsizetype frames = count / m_channels;
    const qsizetype skipped = std::min<qsizetype>(frames, m_skip);
    m_skip -= skipped;
    m_resampler->push(samples + skipped * m_channels, frames - skipped, out);
}

void Mp3Decoder::finish(Pcm &out)
{
    if (m_resampler)
        m_resampler->finish(out);
}

Pcm decodeSound(const Sound &sound)
{
    Pcm out;
    if (sound.format == Sound::Format::Mp3) {
        Mp3Decoder decoder(sound.seekSamples);
        feedBounded(decoder, sound.data, 0, out);
        decoder.finish(out);
    } else if (isMovieRate(sound.rate)) {
        const int channels = sound.stereo ? 2 : 1;
        const Pcm native =
            decodeUncompressed(sound.format, sound.rate, sound.is16Bit, sound.stereo, sound.data);
        Resampler resampler(sound.rate, channels);
        resampler.push(native.constData(), native.size() / channels, out);
        resampler.finish(out);
    }
    qsizetype frames = std::min<qsizetype>(out.size() / 2, Limits::soundSamples);
    if (sound.sampleCount > 0 && isMovieRate(sound.rate)) {
        const double length = std::round(sound.sampleCount * mixRate / exactRate(sound.rate));
        frames = std::min(frames, qsizetype(length));
    }
    out.resize(frames * 2);
    return out;
}

StreamDecoder::StreamDecoder(const StreamHead &head)
    : m_head(head), m_resampler(head.rate, head.stereo ? 2 : 1)
{
    if (head.format == Sound::Format::Mp3)
        m_mp3 = std::make_unique<Mp3Decoder>(head.latencySeek);
}

StreamDecoder::~StreamDecoder() = default;

void StreamDecoder::decode(const QByteArray &block, Pcm &out)
{
    // An MP3 block starts with its sample count and seek, which the
    // continuous decoder has no use for.
    constexpr int mp3BlockHeader = 4;
    if (m_mp3) {
        feedBounded(*m_mp3, block, mp3BlockHeader, out);
        return;
    }
    if (!isMovieRate(m_head.rate))
        return;
    const Pcm native =
        decodeUncompressed(m_head.format, m_head.rate, m_head.is16Bit, m_head.stereo, block);
    m_resampler.push(native.constData(), native.size() / (m_head.stereo ? 2 : 1), out);
}

double StreamDecoder::framesPerBlock() const
{
    return isMovieRate(m_head.rate) ? m_head.samplesPerBlock * mixRate / exactRate(m_head.rate) : 0;
}

} // namespace swf
