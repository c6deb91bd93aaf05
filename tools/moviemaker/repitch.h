// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_REPITCH_H
#define ZORVINA_REPITCH_H

#include "speech.h"

#include <QList>

// Moving a recorded syllable from one Mandarin tone to another, so that a
// syllable recorded in only some tones can still be said by the same human
// voice in the others.

// The pitch of a sound every 10 ms (0 where it is not voiced), from the
// normalised autocorrelation of 30 ms windows; 60..500 Hz. Empty for a
// sound sampled below 8 kHz.
constexpr double PitchStepSeconds = 0.01;
QList<double> pitchTrack(const Pcm &pcm);

// A speaker's pitch range: the lowest pitch of the tones and how many
// octaves above it the highest lies.
struct VoiceRange
{
    double bottom = 0.0; // Hz
    double octaves = 0.8;
};

// The wanted pitch of a tone (1-4, 5 the neutral tone) at a point of the
// voiced part (0..1) in a speaker's range.
double toneContour(int tone, double fraction, const VoiceRange &range);

// The range of the speaker of a syllable in `tone`, from its pitch track:
// the track's low and high pitches placed where the tone's own low and high
// lie. A level tone shows no range, and the usual 0.8 octave is assumed.
VoiceRange voiceRange(const QList<double> &voicedPitch, int tone);

// How long a syllable in a tone lasts, relative to the first tone.
double toneDuration(int tone);

// The recorded tones to make `tone` from, best first: those whose contour
// begins or ends where the wanted one does.
QList<int> sourceTonesFor(int tone);

// The syllable in toTone, made from its recording in fromTone by
// pitch-synchronous overlap-add: the speaker's register measured from the
// recording, the voiced part moved onto the wanted contour and the whole
// stretched to the wanted tone's length. Throws MakerError when the
// recording has no voiced part to move.
Pcm repitched(const Pcm &recording, int fromTone, int toTone);

#endif
