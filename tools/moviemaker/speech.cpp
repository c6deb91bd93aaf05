#include "speech.h"
#include "makererror.h"

#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <lame/lame.h>

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

    // LAME sets up shared tables on first use; one encoder at a time is
    // plenty for a second of speech.
    static QMutex lameMutex;
    QMutexLocker locker(&lameMutex);
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
