// SPDX-License-Identifier: GPL-3.0-or-later
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

using Checks = QList<std::tuple<int, int, int>>; // frame, left, right

// Left at 440 Hz; right, for stereo, at 660 Hz so that swapped channels show.
QList<qint16> tone(double rate, int frames, int channels)
{
    QList<qint16> samples;
    for (int i = 0; i < frames * channels; ++i) {
        const double hz = 440 + 220 * (i % channels);
        samples.append(qint16(16000 * std::sin(2 * M_PI * hz * (i / channels) / rate)));
    }
    return samples;
}

QByteArray pcmBytes(const QList<qint16> &samples, bool is16Bit = true)
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

struct BitWriter
{
    void write(quint32 value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i, ++count) {
            if (count % 8 == 0)
                bytes.append('\0');
            if (value >> i & 1)
                bytes.back() = char(bytes.back() | 0x80 >> count % 8);
        }
    }
    QByteArray bytes;
    qsizetype count = 0;
};

// A plain IMA encoder widened to 2..5-bit codes, packets of 4096 frames.
// startIndex spares a stream's block its first frames of finding the size.
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
    for (qsizetype i = 0; i < samples.size(); ++i) {
        const int c = int(i % channels);
        if (i / channels % 4096 == 0) {
            predicted[c] = samples[i];
            index[c] = std::min(index[c], 63); // all that its 6 bits hold
            out.write(quint16(samples[i]), 16);
            out.write(quint32(index[c]), 6);
            continue;
        }
        const bool down = samples[i] < predicted[c];
        int difference = std::abs(samples[i] - predicted[c]);
        quint32 code = down ? 1u << (bits - 1) : 0;
        int moved = steps[index[c]] >> (bits - 1);
        for (int bit = bits - 2, part = steps[index[c]]; bit >= 0; --bit, part >>= 1) {
            if (difference >= part) {
                code |= 1u << bit;
                difference -= part;
                moved += part;
            }
        }
        predicted[c] = std::clamp(predicted[c] + (down ? -moved : moved), -32768, 32767);
        index[c] = std::clamp(index[c] + moves[bits - 2][code & ((1u << (bits - 1)) - 1)], 0, 88);
        out.write(code, bits);
    }
    return out.bytes;
}

// delay: the encoder's own, in samples at rate.
QByteArray mp3Bytes(QList<qint16> samples, int rate, int channels, int *delay = nullptr)
{
    lame_global_flags *lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 2 ? JOINT_STEREO : MONO);
    lame_set_brate(lame, rate == 44100 ? 128 : rate == 8000 ? 16 : 64);
    lame_set_bWriteVbrTag(lame, 0);
    lame_init_params(lame);
    QByteArray mp3(samples.size() * 2 + 16384, '\0');
    auto *at = reinterpret_cast<uchar *>(mp3.data());
    const int frames = int(samples.size() / channels);
    int size = channels == 2
                   ? lame_encode_buffer_interleaved(lame, samples.data(), frames, at, 1 << 20)
                   : lame_encode_buffer(lame, samples.data(), nullptr, frames, at, 1 << 20);
    size += lame_encode_flush(lame, at + size, int(mp3.size()) - size);
    if (delay)
        *delay = lame_get_encoder_delay(lame);
    lame_close(lame);
    return mp3.left(size);
}

struct Tone
{
    double hz = 0;
    int peak = 0;
};

// Rises from below -4000 to above 4000, so that coding noise near zero is
// not counted; the first and last eighth left out.
Tone measure(const Pcm &pcm, int channel)
{
    const qsizetype frames = pcm.size() / 2;
    Tone tone;
    int rises = 0;
    bool low = false;
    for (qsizetype f = frames / 8; f < frames - frames / 8; ++f) {
        const int s = pcm[f * 2 + channel];
        tone.peak = std::max(tone.peak, std::abs(s));
        rises += s > 4000 && low;
        low = s < -4000 || (low && s <= 4000);
    }
    tone.hz = rises * double(mixRate) / double(frames - frames / 8 * 2);
    return tone;
}

std::shared_ptr<Sound> pcmSound(const QList<qint16> &samples)
{
    auto sound = std::make_shared<Sound>();
    sound->format = Sound::Format::PcmLittle;
    sound->data = pcmBytes(samples);
    return sound;
}

// 1, 2, 3 ... count: every frame tells where it came from.
QList<qint16> ramp(int count)
{
    QList<qint16> samples;
    for (int i = 1; i <= count; ++i)
        samples.append(qint16(i));
    return samples;
}

Pcm mixed(SoundMixer &mixer, int frames)
{
    Pcm out(frames * 2);
    mixer.mix(out.data(), frames);
    return out;
}

} // namespace

Q_DECLARE_METATYPE(swf::Sound)
Q_DECLARE_METATYPE(swf::Sound::Format)
Q_DECLARE_METATYPE(swf::StreamHead)
Q_DECLARE_METATYPE(swf::SoundStart)
Q_DECLARE_METATYPE(Checks)

class TestSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodeTone_data();
    void decodeTone();
    void boundedDecoding_data();
    void boundedDecoding();
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
    QTest::addColumn<Sound::Format>("format");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("is16Bit");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("adpcmBits");
    QTest::addColumn<bool>("giveCount"); // sampleCount given, or left 0

    using F = Sound::Format;
    QTest::newRow("pcm native 16 mono 44100") << F::PcmNative << 44100 << true << 1 << 0 << true;
    QTest::newRow("pcm 16 stereo 22050") << F::PcmLittle << 22050 << true << 2 << 0 << true;
    QTest::newRow("pcm 8 mono 11025") << F::PcmLittle << 11025 << false << 1 << 0 << true;
    QTest::newRow("pcm 8 stereo 5512") << F::PcmNative << 5512 << false << 2 << 0 << false;
    QTest::newRow("adpcm 2 mono 44100") << F::Adpcm << 44100 << true << 1 << 2 << true;
    QTest::newRow("adpcm 3 stereo 22050") << F::Adpcm << 22050 << true << 2 << 3 << true;
    QTest::newRow("adpcm 4 mono 11025") << F::Adpcm << 11025 << true << 1 << 4 << true;
    QTest::newRow("adpcm 5 stereo 5512") << F::Adpcm << 5512 << true << 2 << 5 << false;
    QTest::newRow("mp3 mono 44100") << F::Mp3 << 44100 << true << 1 << 0 << true;
    QTest::newRow("mp3 stereo 22050") << F::Mp3 << 22050 << true << 2 << 0 << true;
    QTest::newRow("mp3 mono 11025 no count") << F::Mp3 << 11025 << true << 1 << 0 << false;
}

void TestSound::decodeTone()
{
    QFETCH(Sound::Format, format);
    QFETCH(int, rate);
    QFETCH(bool, is16Bit);
    QFETCH(int, channels);
    QFETCH(int, adpcmBits);
    QFETCH(bool, giveCount);

    // Past two ADPCM packets, so that a later packet's start is read too.
    const int frames = rate * 6 / 10;
    const double exactRate = rate == 5512 ? 5512.5 : rate;
    const QList<qint16> samples = tone(exactRate, frames, channels);
    Sound sound{format, rate, is16Bit, channels == 2, giveCount ? quint32(frames) : 0, {}, 0};
    int delay = 0;
    if (format == Sound::Format::Mp3) {
        sound.data = mp3Bytes(samples, rate, channels, &delay);
        sound.seekSamples = qint16(delay + 529); // and libmpg123's own delay
    } else {
        sound.data =
            adpcmBits ? adpcmBytes(samples, channels, adpcmBits) : pcmBytes(samples, is16Bit);
    }

    const Pcm pcm = decodeSound(sound);
    const double ratio = mixRate / exactRate;
    const auto expected = qsizetype(std::round(frames * ratio));
    // Without a count an MP3 runs on to the end of its last frames, and
    // ADPCM by the codes its last byte's padding makes.
    const double slack = giveCount ? 0 : (format == Sound::Format::Mp3 ? 2304 : 2) * ratio;
    QVERIFY2(pcm.size() / 2 >= expected && pcm.size() / 2 <= expected + slack,
             qPrintable(QString::number(pcm.size() / 2)));
    // Against the same tone sent as 16-bit PCM: this also shows an MP3
    // whose decoder delay was skipped wrongly (in samples at its own rate),
    // or ADPCM that drifts.
    const Pcm reference = decodeSound(
        Sound{Sound::Format::PcmLittle, rate, true, channels == 2, 0, pcmBytes(samples), 0});
    double error = 0;
    const qsizetype from = reference.size() / 8;
    for (qsizetype i = from; i < reference.size() - from; ++i)
        error += double(pcm[i] - reference[i]) * (pcm[i] - reference[i]);
    error = std::sqrt(error / double(reference.size() - 2 * from));
    QVERIFY2(error < 1000, qPrintable(QString::number(error)));
    for (int c = 0; c < 2; ++c) {
        const Tone heard = measure(pcm, c);
        const double hz = channels == 2 && c == 1 ? 660 : 440;
        QVERIFY2(std::abs(heard.hz - hz) < hz * 0.02, qPrintable(QString::number(heard.hz)));
        QVERIFY2(heard.peak > (adpcmBits == 2 ? 9000 : 13500) && heard.peak < 19000,
                 qPrintable(QString::number(heard.peak)));
    }
}

void TestSound::boundedDecoding_data()
{
    QTest::addColumn<Sound>("sound");
    QTest::addColumn<qsizetype>("minFrames");
    QTest::addColumn<qsizetype>("maxFrames");

    QRandomGenerator random(20240607);
    QByteArray noise(200000, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const QByteArray mp3 = mp3Bytes(tone(44100, 44100, 1), 44100, 1);
    QByteArray scrambled = mp3;
    for (qsizetype i = 100; i < scrambled.size(); i += 97)
        scrambled[i] = char(random.generate());
    // 4-bit stereo: a packet is 2 + 2 * 22 + 4095 * 2 * 4 bits.
    const QByteArray adpcm = adpcmBytes(tone(44100, 10000, 2), 2, 4);
    const qsizetype secondHeader = (2 + 2 * 22 + 4095 * 2 * 4) / 8 + 2;
    using F = Sound::Format;
    const auto row = [](const char *name, F format, const QByteArray &data, qsizetype min,
                        qsizetype max, int rate = 44100, bool is16Bit = true) {
        QTest::newRow(name) << Sound{format, rate, is16Bit, true, 0, data, 0} << min << max;
    };
    row("noise as mp3", F::Mp3, noise, 0, noise.size() * 64);
    row("noise as adpcm", F::Adpcm, noise, 0, noise.size() * 4);
    row("mp3 cut in half", F::Mp3, mp3.left(mp3.size() / 2), 22050 - 2304, 22050 + 2304);
    row("mp3 scrambled", F::Mp3, scrambled, 0, 44100 + 4608);
    row("adpcm cut in codes", F::Adpcm, adpcm.left(3000), 2990, 3000);
    row("adpcm cut in a header", F::Adpcm, adpcm.left(secondHeader), 4096, 4096);
    row("one byte", F::Adpcm, QByteArray(1, '\xff'), 0, 0);
    // Eleven minutes: the decoder stops at ten.
    row("pcm too long", F::PcmLittle, QByteArray(2 * 5513 * 60 * 11, '\xc8'), Limits::soundSamples,
        Limits::soundSamples, 5512, false);
    row("mp3 too long", F::Mp3, mp3Bytes(tone(8000, 8000, 1), 8000, 1).repeated(11 * 60),
        Limits::soundSamples, Limits::soundSamples);
}

void TestSound::boundedDecoding()
{
    QFETCH(Sound, sound);
    QFETCH(qsizetype, minFrames);
    QFETCH(qsizetype, maxFrames);

    const Pcm pcm = decodeSound(sound);
    QVERIFY2(pcm.size() / 2 >= minFrames && pcm.size() / 2 <= maxFrames,
             qPrintable(QString::number(pcm.size() / 2)));
    // The same bytes as a stream, in blocks: no more than each block can hold.
    StreamDecoder stream({sound.format, sound.rate, sound.is16Bit, true, 0, 0});
    Pcm streamed;
    for (qsizetype at = 0; at < std::min<qsizetype>(sound.data.size(), 200000); at += 1000)
        stream.decode(sound.data.mid(at, 1000), streamed);
    QVERIFY(streamed.size() / 2 <= std::max<qsizetype>(maxFrames, 200 * 4096));
}

void TestSound::cache()
{
    SoundMixer mixer(300000); // bytes: room for one of these sounds, not two
    const auto first = pcmSound(tone(44100, 44100, 1));
    const auto decoded = mixer.decoded(first);
    QCOMPARE(mixer.decoded(first), decoded);
    mixer.decoded(pcmSound(tone(44100, 44100, 1)));
    QVERIFY(mixer.decoded(first) != decoded); // the oldest went to make room
}

void TestSound::soundInfo_data()
{
    QTest::addColumn<SoundStart>("start");
    QTest::addColumn<Checks>("checks");

    // The sound is the ramp 1..1000; frames are of the mixed output.
    const auto row = [](const char *name, std::optional<quint32> in, std::optional<quint32> out,
                        quint16 loops, const QList<SoundEnvelopePoint> &envelope,
                        const Checks &checks) {
        QTest::newRow(name) << SoundStart{1, false, false, in, out, loops, envelope} << checks;
    };
    row("whole", {}, {}, 1, {}, {{0, 1, 1}, {999, 1000, 1000}, {1000, 0, 0}});
    row("in and out", 100, 300, 1, {}, {{0, 101, 101}, {199, 300, 300}, {200, 0, 0}});
    row("loops", 10, 20, 3, {}, {{9, 20, 20}, {10, 11, 11}, {29, 20, 20}, {30, 0, 0}});
    row("out past the end, no loops", {}, 5000, 0, {}, {{999, 1000, 1000}, {1000, 0, 0}});
    row("in at out", 700, 700, 1, {}, {{0, 0, 0}});
    row("envelope halves the left", {}, {}, 1, {{0, 16384, 32768}}, {{999, 500, 1000}});
    row("envelope rises, out of order, over full", {}, {}, 1, {{1000, 32768, 32768}, {0, 0, 65535}},
        {{0, 0, 1}, {500, 250, 501}, {999, 998, 1000}});
    row("envelope along the sound, not from the in point", 500, {}, 1,
        {{0, 32768, 32768}, {1000, 0, 0}}, {{0, 250, 250}, {499, 0, 0}});
}

void TestSound::soundInfo()
{
    QFETCH(SoundStart, start);
    QFETCH(Checks, checks);

    SoundMixer mixer;
    mixer.startSound(1, pcmSound(ramp(1000)), start);
    const Pcm out = mixed(mixer, 4000);
    for (const auto &[frame, left, right] : checks)
        QCOMPARE(std::make_pair(int(out[frame * 2]), int(out[frame * 2 + 1])),
                 std::make_pair(left, right));
    QVERIFY(mixer.isQuiet());
}

void TestSound::voices_data()
{
    QTest::addColumn<QByteArrayList>("calls"); // start <id>, single <id>, stop <id>, stop all
    QTest::addColumn<int>("level");

    QTest::newRow("two add up") << QByteArrayList{"start 1", "start 1"} << 20000;
    QTest::newRow("no multiple") << QByteArrayList{"start 1", "single 1"} << 10000;
    QTest::newRow("no multiple, other id") << QByteArrayList{"start 1", "single 2"} << 20000;
    QTest::newRow("stop by id") << QByteArrayList{"start 1", "start 2", "start 1", "stop 1"}
                                << 10000;
    QTest::newRow("stop all") << QByteArrayList{"start 1", "start 2", "stop all"} << 0;
    QTest::newRow("after stop all") << QByteArrayList{"start 1", "stop all", "start 2"} << 10000;
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
        if (words[1] == "all")
            mixer.stopAllSounds();
        else
            mixer.startSound(quint16(words[1].toInt()), sound,
                             {0, words[0] == "stop", words[0] == "single", {}, {}, 1, {}});
    }
    const Pcm out = mixed(mixer, 100);
    QCOMPARE(out[0], qint16(level));
    QCOMPARE(out[199], qint16(level));
}

void TestSound::streams_data()
{
    QTest::addColumn<StreamHead>("head");

    // Twelve frames a second.
    using F = Sound::Format;
    QTest::newRow("pcm mono 22050") << StreamHead{F::PcmLittle, 22050, true, false, 1837, 0};
    QTest::newRow("adpcm stereo 11025") << StreamHead{F::Adpcm, 11025, true, true, 918, 0};
    QTest::newRow("mp3 mono 44100") << StreamHead{F::Mp3, 44100, true, false, 3675, 0};
}

void TestSound::streams()
{
    QFETCH(StreamHead, head);

    const int channels = head.stereo ? 2 : 1;
    const int perBlock = head.samplesPerBlock * channels;
    const QList<qint16> samples = tone(head.rate, head.samplesPerBlock * 6, channels);
    const QByteArray mp3 =
        head.format == Sound::Format::Mp3 ? mp3Bytes(samples, 44100, 1) : QByteArray();
    SoundMixer mixer;
    int owner = 0;
    QCOMPARE(mixer.streamPosition(&owner), -1.0);
    for (int b = 0; b < 6; ++b) {
        const QList<qint16> part = samples.mid(b * perBlock, perBlock);
        if (head.format == Sound::Format::Mp3) // cut anywhere: one stream of bytes
            mixer.streamBlock(&owner, head,
                              "seek" + mp3.mid(b * mp3.size() / 6,
                                               (b + 1) * mp3.size() / 6 - b * mp3.size() / 6));
        else if (head.format == Sound::Format::Adpcm)
            mixer.streamBlock(&owner, head, adpcmBytes(part, channels, 4, 60));
        else
            mixer.streamBlock(&owner, head, pcmBytes(part));
    }
    QCOMPARE(mixer.streamPosition(&owner), 0.0);
    const int outBlock = head.samplesPerBlock * (mixRate / head.rate);
    Pcm out;
    for (int b = 1; b <= 5; ++b) {
        out += mixed(mixer, outBlock);
        QCOMPARE(mixer.streamPosition(&owner), double(b));
        QCOMPARE(mixer.streamPosition(&owner, outBlock), b - 1.0);
    }
    // One tone throughout: no gap or jump where one block meets the next. A
    // tone moves at most 2 pi f A / 44100 from one frame to the next.
    const int c = channels - 1;
    QVERIFY2(std::abs(measure(out, c).hz - 220 * (channels + 1)) < 9,
             qPrintable(QString::number(measure(out, c).hz)));
    int biggestStep = 0;
    for (qsizetype i = 2 * 2000 + c; i + 2 < out.size(); i += 2)
        biggestStep = std::max(biggestStep, std::abs(out[i + 2] - out[i]));
    QVERIFY2(biggestStep < 1.5 * 2 * M_PI * 220 * (channels + 1) * 16000 / mixRate,
             qPrintable(QString::number(biggestStep)));

    mixer.streamStopped(&owner);
    QCOMPARE(mixer.streamPosition(&owner), -1.0);
    QVERIFY(mixer.isQuiet());
    QCOMPARE(mixed(mixer, 10), Pcm(20, 0));
}

void TestSound::lateStreamBlock()
{
    const StreamHead head{Sound::Format::PcmLittle, 44100, true, false, 100, 0};
    SoundMixer mixer;
    int owner = 0;
    mixer.streamBlock(&owner, head, pcmBytes(ramp(200).mid(0, 100)));
    // The clock runs on 50 frames past the first block before the second
    // comes: the second's first 50 frames are too late to be heard.
    const Pcm early = mixed(mixer, 150);
    QCOMPARE(std::make_pair(early[99 * 2], early[149 * 2]), std::make_pair(qint16(100), qint16(0)));
    QCOMPARE(mixer.streamPosition(&owner), 1.5);
    mixer.streamBlock(&owner, head, pcmBytes(ramp(200).mid(100)));
    const Pcm late = mixed(mixer, 100);
    QCOMPARE(QList<int>({late[0], late[49 * 2], late[50 * 2]}), QList<int>({151, 200, 0}));
    // Silencing everything keeps the clock.
    mixer.stopAllSounds();
    QCOMPARE(mixer.streamPosition(&owner), 2.5);
    // Timelines past the streams' bound stay silent, and their clocks unknown.
    int owners[40];
    for (int &other : owners)
        mixer.streamBlock(&other, head, pcmBytes(ramp(100)));
    QCOMPARE(mixer.streamPosition(&owners[30]), 0.0);
    QCOMPARE(mixer.streamPosition(&owners[31]), -1.0);
}

void TestSound::withoutServer()
{
    qputenv("PULSE_SERVER", "unix:/nonexistent/zorvina-test/native");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no sound device")));
    const auto sound = pcmSound(ramp(44100));
    const StreamHead head{Sound::Format::PcmLittle, 44100, true, false, 3675, 0};
    int owner = 0;
    for (int run = 0; run < 2; ++run) {
        if (run == 1) // said once a run, however many outputs find no device
            QTest::failOnWarning(QRegularExpression(QStringLiteral("sound")));
        auto output = std::make_unique<SoundOutput>();
        QCOMPARE(output->device(), SoundOutput::Device::Closed); // not at start-up
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
