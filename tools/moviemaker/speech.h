// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SPEECH_H
#define ZORVINA_SPEECH_H

#include "swfwriter.h"

#include <QList>
#include <QString>

// 16-bit mono samples.
struct Pcm
{
    int sampleRate = 0;
    QList<qint16> samples;
};

// Speaks a pinyin syllable written with a tone number (zhong1) with
// espeak-ng's Mandarin voice cmn-latn-pinyin. The voice would also read the
// character itself, but the syllable makes it say exactly the reading the
// movie shows. Throws MakerError when espeak-ng is missing or fails.
Pcm speak(const QString &toneNumberedSyllable);

// Reads a 16-bit mono PCM WAV file as espeak-ng writes it; it streams, so
// its data length may be a placeholder and the samples run to the end.
Pcm parseWav(const QByteArray &wav);

// The recorded syllable <voiceDir>/<syllable><tone>.mp3 (ü written v), as
// the recordings of cnchar-data name them.
QString recordingFile(const QString &voiceDir, const QString &toneNumberedSyllable);

// Decodes MP3 with LAME's decoder; throws MakerError for anything that is not
// mono or stereo MPEG audio (stereo is mixed down).
Pcm decodeMp3(const QByteArray &mp3);

// Converts to another rate with libsamplerate.
Pcm resampled(const Pcm &pcm, int sampleRate);

// The loudness every movie speaks at: the RMS of the voiced part of a
// syllable, in dB below full scale.
constexpr double SpeechLevelDb = -18.0;

// The syllable without the silence around it, at SpeechLevelDb (or lower
// where the peak would clip), so stepping through the list never jumps in
// volume. Throws MakerError when there is no sound at all.
Pcm levelled(const Pcm &pcm);

// Where a movie's voice comes from: the syllable's own recording, a
// recording of the same syllable in another tone moved to the wanted tone, or
// espeak-ng when no tone of the syllable was recorded.
enum class VoiceSource { Recording, Repitched, Espeak };

// What a movie says for a reading, levelled, at 22050 Hz. `recorded` is true
// for both human voices (Recording and Repitched).
struct Pronunciation
{
    Pcm pcm;
    bool recorded = false;
    VoiceSource source = VoiceSource::Espeak;
};
Pronunciation pronounce(const QString &voiceDir, const QString &toneNumberedSyllable);

// The RMS of the voiced part, in dB below full scale.
double voicedLevelDb(const Pcm &pcm);

// Encodes with LAME at a constant bit rate, without the VBR info frame, so
// the same samples always give the same bytes. Refuses rates the movie format
// cannot play (only 11025, 22050 and 44100 Hz).
Mp3Sound encodeMp3(const Pcm &pcm);

#endif
