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

// Encodes with LAME at a constant bit rate, without the VBR info frame, so
// the same samples always give the same bytes. Refuses rates the movie format
// cannot play (only 11025, 22050 and 44100 Hz).
Mp3Sound encodeMp3(const Pcm &pcm);

#endif
