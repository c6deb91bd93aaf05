// Sound decoding and mixing, run by hand without a sound device: tones are
// encoded here (MP3 through LAME, ADPCM by a small encoder of our own), then
// decoded and measured by their zero crossings and peaks.

#include "soundmixer.h"
#include "soundoutput.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <lame/lame.h>

using namespace swf;

namespace {

constexpr int mp3DecoderDelay = 529; // libmpg123's, on top of the encoder's

// Left at 440 Hz; right, for stereo, at 660 Hz so that swapped channels show.
QList<qint16> tone(int rate, int frames, int channels)
{
    const double exact = rate == 5512 ? 5512.5 : rate;
    QList<qint16> samples;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c)
            samples.append(qint16(16000 * std::sin(2 * M_PI * (440 + 220 * c) * i / exact)));
    }
    return samples;
}

QByteArray pcmBytes(const QList<qint16> &samples, bool is16Bit)
{
    QByteArray bytes;
    for (qint16 s : samples) {
        if (is16Bit)
            bytes.append(char(s & 0xff)).append(char(quint16(s) >> 8));
        else
            bytes.append(char((s >> 8) + 128));
    }
    return bytes;
}

class BitWriter
{
public:
    void write(quint32 value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i, ++m_bits) {
            if (m_bits % 8 == 0)
                m_bytes.append('\0');
            if (value >> i & 1)
                m_bytes.back() = char(m_bytes.back() | 0x80 >> m_bits % 8);
        }
    }
    QByteArray m_bytes;
    qsizetype m_bits = 0;
};

// A plain IMA encoder widened to 2..5-bit codes, packets of 4096 frames.
// startIndex: the step index to begin with, so that a block of a stream
// need not spend its first frames finding the tone's size.
QByteArray adpcmBytes(const QList<qint16> &samples, int channels, int bits, int startIndex = 0)
{
    static const int steps[89] = {
        7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
        25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
        88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
        307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
        1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
        3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
        12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    static const QList<QList<int>> moves = {
        {-1, 2},
        {-1, -1, 2, 4},
        {-1, -1, -1, -1, 2, 4, 6, 8},
        {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16}};
    BitWriter out;
    out.write(quint32(bits - 2), 2);
    int predicted[2] = {0, 0};
    int index[2] = {startIndex, startIndex};
    const qsizetype frames = samples.size() / channels;
    for (qsizetype f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const int sample = samples[f * channels + c];
            if (f % 4096 == 0) {
                predicted[c] = sample;
                index[c] = std::min(index[c], 63); // all that its 6 bits can say
                out.write(quint16(sample), 16);
                out.write(quint32(index[c]), 6);
                continue;
            }
            const int step = steps[index[c]];
            int difference = std::abs(sample - predicted[c]);
            quint32 code = sample < predicted[c] ? 1u << (bits - 1) : 0;
            int reconstructed = step >> (bits - 1);
            for (int bit = bits - 2, part = step; bit >= 0; --bit, part >>= 1) {
                if (difference >= part) {
                    code |= 1u << bit;
                    difference -= part;
                    reconstructed += part;
                }
            }
            predicted[c] += sample < predicted[c] ? -reconstructed : reconstructed;
            predicted[c] = std::clamp(predicted[c], -32768, 32767);
            index[c] =
                std::clamp(index[c] + moves[bits - 2][code & ((1u << (bits - 1)) - 1)], 0, 88);
            out.write(code, bits);
        }
    }
    return out.m_bytes;
}

// delay: the encoder's own, in samples at rate.
QByteArray mp3Bytes(const QList<qint16> &samples, int rate, int channels, int *delay = nullptr)
{
    lame_global_flags *lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 2 ? JOINT_STEREO : MONO);
    lame_set_brate(lame, rate == 44100 ? 128 : 64);
    lame_set_bWriteVbrTag(lame, 0);
    lame_init_params(lame);
    QByteArray mp3(samples.size() * 2 + 16384, '\0');
    auto *at = reinterpret_cast<uchar *>(mp3.data());
    QList<qint16> copy = samples;
    const int frames = int(samples.size() / channels);
    int written =
        channels == 2
            ? lame_encode_buffer_interleaved(lame, copy.data(), frames, at, int(mp3.size()))
            : lame_encode_buffer(lame, copy.constData(), nullptr, frames, at, int(mp3.size()));
    written += lame_encode_flush(lame, at + written, int(mp3.size()) - written);
    if (delay)
        *delay = lame_get_encoder_delay(lame);
    lame_close(lame);
    mp3.resize(written);
    return mp3;
}

struct Tone
{
    double hz = 0;
    int peak = 0;
};

// Upward crossings of +-4000 (so that coding noise near zero is not counted).
Tone measure(const Pcm &pcm, int channel)
{
    const qsizetype frames = pcm.size() / 2;
    const qsizetype from = frames / 8;
    const qsizetype to = frames - frames / 8;
    Tone tone;
    int crossings = 0;
    bool low = false;
    for (qsizetype f = from; f < to; ++f) {
        const int s = pcm[f * 2 + channel];
        tone.peak = std::max(tone.peak, std::abs(s));
        if (s < -4000)
            low = true;
        else if (s > 4000 && low) {
            low = false;
            ++crossings;
        }
    }
    tone.hz = crossings * double(mixRate) / double(to - from);
    return tone;
}

std::shared_ptr<Sound> pcmSound(const QList<qint16> &samples, int rate = 44100, bool stereo = false)
{
    auto sound = std::make_shared<Sound>();
    sound->format = Sound::Format::PcmLittle;
    sound->rate = rate;
    sound->stereo = stereo;
    sound->data = pcmBytes(samples, true);
    return sound;
}

// 1, 2, 3 ... count: every frame says where it came from.
std::shared_ptr<Sound> rampSound(int count)
{
    QList<qint16> samples;
    for (int i = 1; i <= count; ++i)
        samples.append(qint16(i));
    return pcmSound(samples);
}

Pcm mixed(SoundMixer &mixer, int frames)
{
    Pcm out(frames * 2);
    mixer.mix(out.data(), frames);
    return out;
}

using Checks = QList<std::tuple<int, int, int>>; // frame, left, right

} // namespace

Q_DECLARE_METATYPE(swf::SoundStart)
Q_DECLARE_METATYPE(Checks)

class TestSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodeTone_data();
    void decodeTone();
    void adpcmByHand_data();
    void adpcmByHand();
    void mp3SeekSkipsDecoderDelay();
    void damagedData_data();
    void damagedData();
    void decodingBound();
    void cache();
    void soundInfo_data();
    void soundInfo();
    void voices_data();
    void voices();
    void streams_data();
    void streams();
    void lateStreamBlock();
    void withoutServer();
};

void TestSound::decodeTone_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("is16Bit");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("adpcmBits");
    QTest::addColumn<bool>("giveCount"); // sampleCount given, or left 0

    const int native = int(Sound::Format::PcmNative);
    const int little = int(Sound::Format::PcmLittle);
    const int adpcm = int(Sound::Format::Adpcm);
    const int mp3 = int(Sound::Format::Mp3);
    QTest::newRow("pcm native 16 mono 44100") << native << 44100 << true << 1 << 0 << true;
    QTest::newRow("pcm little 16 stereo 22050") << little << 22050 << true << 2 << 0 << true;
    QTest::newRow("pcm 8 mono 11025") << little << 11025 << false << 1 << 0 << true;
    QTest::newRow("pcm 8 stereo 5512") << native << 5512 << false << 2 << 0 << false;
    QTest::newRow("adpcm 2 mono 44100") << adpcm << 44100 << true << 1 << 2 << true;
    QTest::newRow("adpcm 3 stereo 22050") << adpcm << 22050 << true << 2 << 3 << true;
    QTest::newRow("adpcm 4 mono 11025") << adpcm << 11025 << true << 1 << 4 << true;
    QTest::newRow("adpcm 5 stereo 5512") << adpcm << 5512 << true << 2 << 5 << true;
    QTest::newRow("mp3 mono 44100") << mp3 << 44100 << true << 1 << 0 << true;
    QTest::newRow("mp3 stereo 22050") << mp3 << 22050 << true << 2 << 0 << true;
    QTest::newRow("mp3 mono 11025 no count") << mp3 << 11025 << true << 1 << 0 << false;
}

void TestSound::decodeTone()
{
    QFETCH(int, format);
    QFETCH(int, rate);
    QFETCH(bool, is16Bit);
    QFETCH(int, channels);
    QFETCH(int, adpcmBits);
    QFETCH(bool, giveCount);

    // Past two ADPCM packets, so that a later packet's start is read too.
    const int frames = rate * 6 / 10;
    const QList<qint16> samples = tone(rate, frames, channels);
    Sound sound;
    sound.format = Sound::Format(format);
    sound.rate = rate;
    sound.is16Bit = is16Bit;
    sound.stereo = channels == 2;
    sound.sampleCount = giveCount ? quint32(frames) : 0;
    int delay = 0;
    if (sound.format == Sound::Format::Mp3) {
        sound.data = mp3Bytes(samples, rate, channels, &delay);
        sound.seekSamples = qint16(delay + mp3DecoderDelay);
    } else {
        sound.data =
            adpcmBits ? adpcmBytes(samples, channels, adpcmBits) : pcmBytes(samples, is16Bit);
    }

    const Pcm pcm = decodeSound(sound);
    const double ratio = mixRate / (rate == 5512 ? 5512.5 : rate);
    const qsizetype expected = qsizetype(std::round(frames * ratio));
    // Without a count, an MP3 runs on to the end of its last frame (1152
    // samples), and ADPCM by the few codes that its last byte's padding makes.
    const qsizetype slack =
        giveCount ? 0 : qsizetype((sound.format == Sound::Format::Mp3 ? 1152 * 2 : 8) * ratio);
    QVERIFY2(
        pcm.size() / 2 >= expected && pcm.size() / 2 <= expected + slack,
        qPrintable(QStringLiteral("%1 frames, %2 expected").arg(pcm.size() / 2).arg(expected)));

    const int peakFloor = adpcmBits == 2 ? 9000 : 13500;
    for (int c = 0; c < 2; ++c) {
        const Tone heard = measure(pcm, c);
        const double hz = channels == 2 && c == 1 ? 660 : 440;
        QVERIFY2(std::abs(heard.hz - hz) < hz * 0.02,
                 qPrintable(QStringLiteral("channel %1: %2 Hz").arg(c).arg(heard.hz)));
        QVERIFY2(heard.peak > peakFloor && heard.peak < 19000,
                 qPrintable(QStringLiteral("channel %1: peak %2").arg(c).arg(heard.peak)));
    }
}

void TestSound::adpcmByHand_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<QList<quint32>>("codes");
    QTest::addColumn<QList<int>>("expected");

    // Worked through by hand from the IMA step table: 7, 8, 9 ... 16 (index
    // 8) ... 31 (15), 34 (16) ... 73 (24).
    QTest::newRow("2 bits") << 2 << QList<quint32>{1, 3, 0} << QList<int>{0, 10, -3, 2};
    QTest::newRow("4 bits") << 4 << QList<quint32>{7, 7, 15} << QList<int>{0, 11, 41, -22};
    QTest::newRow("5 bits") << 5 << QList<quint32>{15, 16} << QList<int>{0, 11, 9};
}

void TestSound::adpcmByHand()
{
    QFETCH(int, bits);
    QFETCH(QList<quint32>, codes);
    QFETCH(QList<int>, expected);

    BitWriter data;
    data.write(quint32(bits - 2), 2);
    data.write(0, 16); // initial sample
    data.write(0, 6);  // initial index
    for (quint32 code : codes)
        data.write(code, bits);
    Sound sound;
    sound.format = Sound::Format::Adpcm;
    sound.sampleCount = quint32(expected.size()); // the last byte's padding is no sound
    sound.data = data.m_bytes;
    const Pcm pcm = decodeSound(sound);
    QList<int> left;
    for (qsizetype i = 0; i < pcm.size(); i += 2) {
        QCOMPARE(pcm[i + 1], pcm[i]);
        left.append(pcm[i]);
    }
    QCOMPARE(left, expected);
}

void TestSound::mp3SeekSkipsDecoderDelay()
{
    Sound sound;
    sound.rate = 44100;
    sound.data = mp3Bytes(tone(44100, 20000, 1), 44100, 1);
    const Pcm whole = decodeSound(sound);
    sound.seekSamples = 1105;
    const Pcm skipped = decodeSound(sound);
    QCOMPARE(skipped.size(), whole.size() - 1105 * 2);
    QCOMPARE(skipped, whole.mid(1105 * 2));
    // The same at half the rate: the skip is counted in the sound's samples.
    sound.rate = 22050;
    sound.data = mp3Bytes(tone(22050, 10000, 1), 22050, 1);
    sound.seekSamples = 0;
    const qsizetype wholeFrames = decodeSound(sound).size() / 2;
    sound.seekSamples = 1000;
    QCOMPARE(decodeSound(sound).size() / 2, wholeFrames - 2000);
}

void TestSound::damagedData_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qsizetype>("minFrames");
    QTest::addColumn<qsizetype>("maxFrames");

    QRandomGenerator random(20240607);
    QByteArray noise(200000, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const int mp3 = int(Sound::Format::Mp3);
    const int adpcm = int(Sound::Format::Adpcm);
    QTest::newRow("noise as mp3") << mp3 << noise << qsizetype(0) << noise.size() * 64;
    QTest::newRow("noise as adpcm") << adpcm << noise << qsizetype(0) << noise.size() * 4;
    const QByteArray mp3Tone = mp3Bytes(tone(44100, 44100, 1), 44100, 1);
    QTest::newRow("mp3 cut in half")
        << mp3 << mp3Tone.left(mp3Tone.size() / 2) << qsizetype(44100 / 2 - 1152 * 2)
        << qsizetype(44100 / 2 + 1152 * 2);
    QByteArray scrambled = mp3Tone;
    for (qsizetype i = 100; i < scrambled.size(); i += 97)
        scrambled[i] = char(random.generate());
    QTest::newRow("mp3 scrambled")
        << mp3 << scrambled << qsizetype(0) << qsizetype(44100 + 1152 * 4);
    // 4-bit stereo: a packet is 2 + 2 * 22 + 4095 * 2 * 4 bits.
    const QByteArray adpcmTone = adpcmBytes(tone(44100, 10000, 2), 2, 4);
    QTest::newRow("adpcm cut in codes")
        << adpcm << adpcmTone.left(3000) << qsizetype(2990) << qsizetype(3000);
    const qsizetype secondHeader = (2 + 2 * 22 + 4095 * 2 * 4) / 8 + 2;
    QTest::newRow("adpcm cut in the second header")
        << adpcm << adpcmTone.left(secondHeader) << qsizetype(4096) << qsizetype(4096);
    QTest::newRow("one byte") << adpcm << QByteArray(1, '\xff') << qsizetype(0) << qsizetype(0);
    QTest::newRow("empty mp3") << mp3 << QByteArray() << qsizetype(0) << qsizetype(0);
}

void TestSound::damagedData()
{
    QFETCH(int, format);
    QFETCH(QByteArray, data);
    QFETCH(qsizetype, minFrames);
    QFETCH(qsizetype, maxFrames);

    Sound sound;
    sound.format = Sound::Format(format);
    sound.stereo = true;
    sound.data = data;
    const Pcm pcm = decodeSound(sound);
    QVERIFY2(pcm.size() / 2 >= minFrames && pcm.size() / 2 <= maxFrames,
             qPrintable(QString::number(pcm.size() / 2)));
    QCOMPARE(pcm.size() % 2, 0);
    // The same bytes as a stream, in blocks, decode no more than that.
    StreamHead head;
    head.format = sound.format;
    head.stereo = true;
    StreamDecoder stream(head);
    Pcm streamed;
    for (qsizetype at = 0; at < data.size(); at += 1000)
        stream.decode(data.mid(at, 1000), streamed);
    QVERIFY(streamed.size() / 2 <= maxFrames + data.size() / 1000 * 4096);
}

void TestSound::decodingBound()
{
    // Eleven minutes of 8-bit mono at 5512 Hz: the decoder stops at ten.
    Sound sound;
    sound.format = Sound::Format::PcmLittle;
    sound.rate = 5512;
    sound.is16Bit = false;
    sound.data = QByteArray(5513 * 60 * 11, char(200));
    const Pcm pcm = decodeSound(sound);
    QCOMPARE(pcm.size() / 2, Limits::soundSamples);
    QCOMPARE(pcm.back(), qint16(72 * 256));
}

void TestSound::cache()
{
    SoundMixer mixer(300000); // bytes: room for one sound of 44100 frames, not two
    const auto first = pcmSound(tone(44100, 44100, 1));
    const auto second = pcmSound(tone(44100, 44100, 1));
    const auto decoded = mixer.decoded(first);
    QCOMPARE(mixer.decoded(first), decoded);
    mixer.decoded(second);
    QVERIFY(mixer.decoded(first) != decoded); // the oldest went to make room
    QCOMPARE(*mixer.decoded(first), *decoded);
}

void TestSound::soundInfo_data()
{
    QTest::addColumn<SoundStart>("start");
    QTest::addColumn<Checks>("checks");

    // The sound is the ramp 1..1000; frames are of the mixed output.
    SoundStart start;
    QTest::newRow("whole") << start << Checks{{0, 1, 1}, {999, 1000, 1000}, {1000, 0, 0}};
    start.inPoint = 100;
    start.outPoint = 300;
    QTest::newRow("in and out") << start << Checks{{0, 101, 101}, {199, 300, 300}, {200, 0, 0}};
    start.inPoint = 10;
    start.outPoint = 20;
    start.loops = 3;
    QTest::newRow("loops") << start << Checks{{9, 20, 20}, {10, 11, 11}, {29, 20, 20}, {30, 0, 0}};
    start = SoundStart();
    start.outPoint = 5000;
    start.loops = 0;
    QTest::newRow("out past the end, no loops") << start << Checks{{999, 1000, 1000}, {1000, 0, 0}};
    start.inPoint = 700;
    start.outPoint = 700;
    QTest::newRow("in at out") << start << Checks{{0, 0, 0}};
    start = SoundStart();
    start.envelope = {{0, 16384, 32768}};
    QTest::newRow("envelope halves the left") << start << Checks{{999, 500, 1000}};
    start.envelope = {{1000, 32768, 32768}, {0, 0, 65535}};
    QTest::newRow("envelope rises, out of order, over full")
        << start << Checks{{0, 0, 1}, {500, 250, 501}, {999, 998, 1000}};
    start.inPoint = 500;
    start.envelope = {{0, 32768, 32768}, {1000, 0, 0}};
    QTest::newRow("envelope along the sound, not the in point")
        << start << Checks{{0, 250, 250}, {499, 0, 0}};
}

void TestSound::soundInfo()
{
    QFETCH(SoundStart, start);
    QFETCH(Checks, checks);

    SoundMixer mixer;
    mixer.startSound(1, rampSound(1000), start);
    const Pcm out = mixed(mixer, 4000);
    for (const auto &[frame, left, right] : checks) {
        QCOMPARE(std::make_pair(int(out[frame * 2]), int(out[frame * 2 + 1])),
                 std::make_pair(left, right));
    }
    QCOMPARE(mixer.isQuiet(), true);
}

void TestSound::voices_data()
{
    QTest::addColumn<QByteArrayList>(
        "calls"); // "start <id>", "single <id>", "stop <id>", "stop all"
    QTest::addColumn<int>("level");

    QTest::newRow("two add up") << QByteArrayList{"start 1", "start 1"} << 20000;
    QTest::newRow("no multiple") << QByteArrayList{"start 1", "single 1"} << 10000;
    QTest::newRow("no multiple, another id") << QByteArrayList{"start 1", "single 2"} << 20000;
    QTest::newRow("stop by id") << QByteArrayList{"start 1", "start 2", "start 1", "stop 1"}
                                << 10000;
    QTest::newRow("stop all") << QByteArrayList{"start 1", "start 2", "stop all"} << 0;
    QTest::newRow("start after stop all")
        << QByteArrayList{"start 1", "stop all", "start 2"} << 10000;
    QTest::newRow("clipped") << QByteArrayList{"start 1", "start 2", "start 3", "start 4"} << 32767;
}

void TestSound::voices()
{
    QFETCH(QByteArrayList, calls);
    QFETCH(int, level);

    SoundMixer mixer;
    const auto sound = pcmSound(QList<qint16>(1000, 10000));
    for (const QByteArray &call : calls) {
        const QByteArrayList words = call.split(' ');
        SoundStart start;
        start.stop = words[0] == "stop";
        start.noMultiple = words[0] == "single";
        if (words[1] == "all")
            mixer.stopAllSounds();
        else
            mixer.startSound(quint16(words[1].toInt()), sound, start);
    }
    const Pcm out = mixed(mixer, 100);
    QCOMPARE(out[0], qint16(level));
    QCOMPARE(out[199], qint16(level));
}

void TestSound::streams_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("stereo");

    QTest::newRow("pcm mono 22050") << int(Sound::Format::PcmLittle) << 22050 << false;
    QTest::newRow("adpcm stereo 11025") << int(Sound::Format::Adpcm) << 11025 << true;
    QTest::newRow("mp3 mono 44100") << int(Sound::Format::Mp3) << 44100 << false;
}

void TestSound::streams()
{
    QFETCH(int, format);
    QFETCH(int, rate);
    QFETCH(bool, stereo);

    // Twelve frames a second, half a second of them.
    StreamHead head;
    head.format = Sound::Format(format);
    head.rate = rate;
    head.stereo = stereo;
    head.samplesPerBlock = quint16(rate / 12);
    const int channels = stereo ? 2 : 1;
    const QList<qint16> samples = tone(rate, head.samplesPerBlock * 6, channels);
    QList<QByteArray> blocks;
    if (head.format == Sound::Format::Mp3) {
        // Cut anywhere: the decoder takes the bytes as one stream.
        const QByteArray mp3 = mp3Bytes(samples, rate, channels);
        for (qsizetype at = 0; at < mp3.size(); at += mp3.size() / 6 + 1)
            blocks.append(QByteArray(4, '\0') + mp3.mid(at, mp3.size() / 6 + 1));
    } else {
        for (int b = 0; b < 6; ++b) {
            const QList<qint16> part =
                samples.mid(b * head.samplesPerBlock * channels, head.samplesPerBlock * channels);
            blocks.append(head.format == Sound::Format::Adpcm ? adpcmBytes(part, channels, 4, 60)
                                                              : pcmBytes(part, true));
        }
    }

    SoundMixer mixer;
    int owner = 0;
    QCOMPARE(mixer.streamPosition(&owner), -1.0);
    for (const QByteArray &block : blocks)
        mixer.streamBlock(&owner, head, block);
    QCOMPARE(mixer.streamPosition(&owner), 0.0);
    const int perBlock = head.samplesPerBlock * (mixRate / rate);
    Pcm out;
    for (int b = 1; b <= 5; ++b) {
        out += mixed(mixer, perBlock);
        QCOMPARE(mixer.streamPosition(&owner), double(b));
        QCOMPARE(mixer.streamPosition(&owner, perBlock), b - 1.0);
    }
    // One tone throughout: no gap or jump where one block meets the next.
    const Tone heard = measure(out, channels - 1);
    QVERIFY2(std::abs(heard.hz - 220 * (channels + 1)) < 9, qPrintable(QString::number(heard.hz)));
    // A tone moves at most 2 pi f A / 44100 from one frame to the next.
    const int channel = channels - 1;
    const double steepest = 2 * M_PI * 220 * (channels + 1) * 16000 / mixRate;
    int biggestStep = 0;
    for (qsizetype i = 2 * 2000 + channel; i + 2 < out.size(); i += 2)
        biggestStep = std::max(biggestStep, std::abs(out[i + 2] - out[i]));
    QVERIFY2(biggestStep < steepest * 1.5, qPrintable(QString::number(biggestStep)));

    mixer.streamStopped(&owner);
    QCOMPARE(mixer.streamPosition(&owner), -1.0);
    QVERIFY(mixer.isQuiet());
    QCOMPARE(mixed(mixer, 10), Pcm(20, 0));
}

void TestSound::lateStreamBlock()
{
    StreamHead head;
    head.format = Sound::Format::PcmLittle;
    head.samplesPerBlock = 100;
    int owner = 0;
    SoundMixer mixer;
    QList<qint16> ramp;
    for (int i = 1; i <= 200; ++i)
        ramp.append(qint16(i));
    mixer.streamBlock(&owner, head, pcmBytes(ramp.mid(0, 100), true));
    // The clock runs on 50 frames past the first block before the second
    // comes: the second's first 50 frames are too late to be heard.
    const Pcm early = mixed(mixer, 150);
    QCOMPARE(early[99 * 2], qint16(100));
    QCOMPARE(early[149 * 2], qint16(0));
    QCOMPARE(mixer.streamPosition(&owner), 1.5);
    mixer.streamBlock(&owner, head, pcmBytes(ramp.mid(100), true));
    const Pcm late = mixed(mixer, 100);
    QCOMPARE(late[0], qint16(151));
    QCOMPARE(late[49 * 2], qint16(200));
    QCOMPARE(late[50 * 2], qint16(0));
    // Silencing everything keeps the clock, and the next block is heard.
    mixer.stopAllSounds();
    QCOMPARE(mixer.streamPosition(&owner), 2.5);
}

void TestSound::withoutServer()
{
    qputenv("PULSE_SERVER", "unix:/nonexistent/zorvina-test/native");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("no sound device.*silently")));
    const auto sound = rampSound(44100);
    StreamHead head;
    head.format = Sound::Format::PcmLittle;
    head.samplesPerBlock = 3675;
    int owner = 0;
    for (int run = 0; run < 2; ++run) {
        // Said once a run, however many outputs find no device.
        if (run == 1)
            QTest::failOnWarning(QRegularExpression(QStringLiteral("sound")));
        auto output = std::make_unique<SoundOutput>();
        QCOMPARE(output->device(), SoundOutput::Device::Closed);
        QElapsedTimer timer;
        timer.start();
        output->startSound(1, sound, SoundStart());
        output->streamBlock(&owner, head, QByteArray(7350, '\1'));
        QVERIFY(timer.elapsed() < 100);
        QTRY_COMPARE(output->device(), SoundOutput::Device::Missing);
        QCOMPARE(output->streamPosition(&owner), -1.0);
        output->startSound(1, sound, SoundStart());
        output->streamBlock(&owner, head, QByteArray(7350, '\1'));
        output->streamStopped(&owner);
        output->stopAllSounds();
        timer.restart();
        output.reset();
        QVERIFY(timer.elapsed() < 100);
    }
    qunsetenv("PULSE_SERVER");
}

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
