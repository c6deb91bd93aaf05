// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech.h"
#include "makererror.h"
#include "repitch.h"

#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QtMath>
#include <lame/lame.h>
#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <limits>
#include <numeric>
#include <optional>

namespace {

quint32 u32At(const QByteArray &bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 |
           quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
}

quint16 u16At(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

MakerError badWav(const QString &why)
{
    return MakerError(QStringLiteral("espeak-ng's sound is not usable: %1").arg(why));
}

// LAME sets up shared tables on first use, for encoding and decoding alike;
// one syllable at a time is plenty.
QMutex &lameMutex()
{
    static QMutex mutex;
    return mutex;
}

void quiet(const char *, va_list)
{
}

constexpr int MovieSampleRate = 22050;

// Mean squares of 10 ms blocks, relative to full scale.
QList<double> blockPowers(const Pcm &pcm)
{
    const int block = std::max(1, pcm.sampleRate / 100);
    QList<double> powers;
    for (qsizetype start = 0; start + block <= pcm.samples.size(); start += block) {
        double sum = 0.0;
        for (qsizetype i = start; i < start + block; ++i)
            sum += double(pcm.samples[i]) * pcm.samples[i];
        powers.append(sum / block / (32768.0 * 32768.0));
    }
    return powers;
}

} // namespace

Pcm speak(const QString &toneNumberedSyllable)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
    if (program.isEmpty())
        throw MakerError(QStringLiteral("espeak-ng is not installed"));
    QProcess espeak;
    // A little slower than the default rate, for a child's ear.
    espeak.start(program,
                 {QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"), QStringLiteral("-s"),
                  QStringLiteral("130"), QStringLiteral("--stdout"), toneNumberedSyllable});
    if (!espeak.waitForFinished(30000) || espeak.exitStatus() != QProcess::NormalExit ||
        espeak.exitCode() != 0) {
        espeak.kill();
        throw MakerError(
            QStringLiteral("espeak-ng failed to speak %1: %2")
                .arg(toneNumberedSyllable, QString::fromLocal8Bit(espeak.readAllStandardError())));
    }
    return parseWav(espeak.readAllStandardOutput());
}

Pcm parseWav(const QByteArray &wav)
{
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE")
        throw badWav(QStringLiteral("not a WAV file"));
    Pcm pcm;
    qsizetype at = 12;
    while (at + 8 <= wav.size()) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 size = u32At(wav, at + 4);
        at += 8;
        if (id == "fmt ") {
            if (size < 16 || at + 16 > wav.size())
                throw badWav(QStringLiteral("short format chunk"));
            if (u16At(wav, at) != 1 || u16At(wav, at + 2) != 1 || u16At(wav, at + 14) != 16)
                throw badWav(QStringLiteral("not 16-bit mono PCM"));
            pcm.sampleRate = int(u32At(wav, at + 4));
        } else if (id == "data") {
            if (pcm.sampleRate == 0)
                throw badWav(QStringLiteral("data before format"));
            const qsizetype end = std::min<qsizetype>(wav.size(), at + qsizetype(size));
            for (qsizetype i = at; i + 1 < end; i += 2)
                pcm.samples.append(qint16(u16At(wav, i)));
            return pcm;
        }
        at += size + (size & 1);
    }
    throw badWav(QStringLiteral("no sound data"));
}

Mp3Sound encodeMp3(const Pcm &pcm)
{
    if (pcm.sampleRate != 11025 && pcm.sampleRate != 22050 && pcm.sampleRate != 44100)
        throw MakerError(QStringLiteral("Speech at %1 Hz cannot go into a movie (11025, 22050 or "
                                        "44100 Hz are allowed)")
                             .arg(pcm.sampleRate));
    if (pcm.samples.isEmpty())
        throw MakerError(QStringLiteral("The speech is silent"));

    QMutexLocker locker(&lameMutex());
    lame_global_flags *lame = lame_init();
    lame_set_in_samplerate(lame, pcm.sampleRate);
    lame_set_out_samplerate(lame, pcm.sampleRate);
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, pcm.sampleRate == 44100 ? 64 : 48);
    lame_set_quality(lame, 2);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw MakerError(QStringLiteral("LAME refused the speech's format"));
    }
    const int count = int(pcm.samples.size());
    QByteArray mp3(count * 5 / 4 + 7200 + 7200, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(mp3.data());
    const int written =
        lame_encode_buffer(lame, pcm.samples.constData(), nullptr, count, out, int(mp3.size()));
    const int flushed =
        written < 0 ? -1 : lame_encode_flush(lame, out + written, int(mp3.size()) - written);
    lame_close(lame);
    if (written < 0 || flushed < 0)
        throw MakerError(QStringLiteral("LAME failed to encode the speech"));
    mp3.resize(written + flushed);

    Mp3Sound sound;
    sound.sampleRate = pcm.sampleRate;
    sound.stereo = false;
    sound.sampleCount = quint32(count);
    sound.frames = mp3;
    return sound;
}

QString recordingFile(const QString &voiceDir, const QString &toneNumberedSyllable)
{
    QString name = toneNumberedSyllable.toLower();
    name.replace(QChar(0x00FC), QLatin1Char('v'));
    return voiceDir + QLatin1Char('/') + name + QStringLiteral(".mp3");
}

Pcm decodeMp3(const QByteArray &mp3)
{
    QMutexLocker locker(&lameMutex());
    hip_t hip = hip_decode_init();
    hip_set_errorf(hip, quiet);
    hip_set_msgf(hip, quiet);
    hip_set_debugf(hip, quiet);
    QByteArray input = mp3;
    auto *bytes = reinterpret_cast<unsigned char *>(input.data());
    size_t length = size_t(input.size());
    // One frame comes out a call, the rest of the input waits inside; the
    // first calls may give nothing while the decoder finds its footing.
    short left[4608];
    short right[4608];
    mp3data_struct info{};
    Pcm pcm;
    for (int idle = 0; idle < 4;) {
        const int count = hip_decode1_headers(hip, bytes, length, left, right, &info);
        length = 0;
        if (count < 0)
            break;
        idle = count == 0 ? idle + 1 : 0;
        for (int i = 0; i < count; ++i)
            pcm.samples.append(info.stereo == 2 ? qint16((left[i] + right[i]) / 2) : left[i]);
    }
    hip_decode_exit(hip);
    if (!info.header_parsed || pcm.samples.isEmpty())
        throw MakerError(QStringLiteral("not MPEG audio"));
    pcm.sampleRate = info.samplerate;
    return pcm;
}

Pcm resampled(const Pcm &pcm, int sampleRate)
{
    if (pcm.sampleRate == sampleRate || pcm.samples.isEmpty())
        return Pcm{sampleRate, pcm.samples};
    QList<float> in(pcm.samples.size());
    src_short_to_float_array(pcm.samples.constData(), in.data(), int(in.size()));
    const double ratio = double(sampleRate) / pcm.sampleRate;
    QList<float> out(qCeil(in.size() * ratio) + 64);
    SRC_DATA data{};
    data.data_in = in.constData();
    data.input_frames = long(in.size());
    data.data_out = out.data();
    data.output_frames = long(out.size());
    data.src_ratio = ratio;
    const int error = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1);
    if (error != 0)
        throw MakerError(QStringLiteral("Cannot resample the speech: %1")
                             .arg(QString::fromUtf8(src_strerror(error))));
    Pcm result{sampleRate, QList<qint16>(data.output_frames_gen)};
    src_float_to_short_array(out.constData(), result.samples.data(), int(data.output_frames_gen));
    return result;
}

double voicedLevelDb(const Pcm &pcm)
{
    const QList<double> powers = blockPowers(pcm);
    const double loudest = powers.isEmpty() ? 0.0 : *std::max_element(powers.begin(), powers.end());
    if (loudest <= 0.0)
        return -std::numeric_limits<double>::infinity();
    // Blocks within 20 dB of the loudest: the vowel and voiced consonants,
    // not the breath and the fade around them.
    double sum = 0.0;
    int count = 0;
    for (double power : powers) {
        if (power >= loudest / 100.0) {
            sum += power;
            ++count;
        }
    }
    return 10.0 * std::log10(sum / count);
}

Pcm levelled(const Pcm &pcm)
{
    const QList<double> powers = blockPowers(pcm);
    const double loudest = powers.isEmpty() ? 0.0 : *std::max_element(powers.begin(), powers.end());
    if (loudest < 1e-6) // quieter than -60 dB: nothing was said
        throw MakerError(QStringLiteral("The speech is silent"));
    const auto audible = [&](double power) { return power >= loudest / 10000.0; };
    const qsizetype first = std::find_if(powers.begin(), powers.end(), audible) - powers.begin();
    const qsizetype last =
        powers.size() - 1 -
        (std::find_if(powers.rbegin(), powers.rend(), audible) - powers.rbegin());
    const int block = pcm.sampleRate / 100;
    const qsizetype start = std::max<qsizetype>(0, (first - 2) * block);
    const qsizetype end = std::min<qsizetype>(pcm.samples.size(), (last + 6) * block);

    Pcm out{pcm.sampleRate, pcm.samples.mid(start, end - start)};
    const auto peak =
        std::accumulate(out.samples.begin(), out.samples.end(), 1,
                        [](int m, qint16 s) { return std::max(m, std::abs(int(s))); });
    const double gain = std::min(std::pow(10.0, (SpeechLevelDb - voicedLevelDb(out)) / 20.0),
                                 0.97 * 32767.0 / peak);
    for (qint16 &sample : out.samples)
        sample = qint16(std::clamp(qRound(sample * gain), -32768, 32767));
    return out;
}

namespace {

// The recording of a syllable at the movie's rate, or nothing when it is
// missing or damaged (a few of the package's files are web pages).
std::optional<Pcm> recording(const QString &voiceDir, const QString &toneNumberedSyllable)
{
    QFile file(recordingFile(voiceDir, toneNumberedSyllable));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    try {
        return resampled(decodeMp3(file.readAll()), MovieSampleRate);
    } catch (const MakerError &) {
        return std::nullopt;
    }
}

} // namespace

Pronunciation pronounce(const QString &voiceDir, const QString &toneNumberedSyllable)
{
    if (const std::optional<Pcm> own = recording(voiceDir, toneNumberedSyllable))
        return {levelled(*own), true, VoiceSource::Recording};
    const QString letters = toneNumberedSyllable.chopped(1);
    const int tone = toneNumberedSyllable.right(1).toInt();
    if (tone >= 1 && tone <= 5) {
        for (int from : sourceTonesFor(tone)) {
            const std::optional<Pcm> other = recording(voiceDir, letters + QString::number(from));
            if (!other)
                continue;
            try {
                return {levelled(repitched(*other, from, tone)), true, VoiceSource::Repitched};
            } catch (const MakerError &) {
                // Nothing voiced to move (a whisper, a damaged file): try
                // the next tone.
            }
        }
    }
    return {levelled(resampled(speak(toneNumberedSyllable), MovieSampleRate)), false,
            VoiceSource::Espeak};
}
