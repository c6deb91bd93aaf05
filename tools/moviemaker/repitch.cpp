// SPDX-License-Identifier: GPL-3.0-or-later
#include "repitch.h"
#include "makererror.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double LowestPitch = 60.0;
constexpr double HighestPitch = 500.0;

struct ContourPoint
{
    double at;
    double level; // 1 (lowest) .. 5 (highest)
};

// The usual descriptions of the tones of a syllable said on its own: 55, 35,
// 214, 51, and a short mid fall for the neutral tone.
QList<ContourPoint> contourPoints(int tone)
{
    switch (tone) {
    case 1:
        return {{0.0, 5.0}, {1.0, 5.0}};
    case 2:
        return {{0.0, 3.0}, {0.25, 3.0}, {1.0, 5.0}};
    case 3:
        return {{0.0, 2.5}, {0.4, 1.0}, {0.6, 1.0}, {1.0, 4.0}};
    case 4:
        return {{0.0, 5.0}, {1.0, 1.0}};
    default:
        return {{0.0, 3.0}, {1.0, 2.0}};
    }
}

double levelAt(int tone, double fraction)
{
    const QList<ContourPoint> points = contourPoints(tone);
    const double at = std::clamp(fraction, 0.0, 1.0);
    for (int i = 1; i < points.size(); ++i) {
        if (at <= points[i].at) {
            const double t = (at - points[i - 1].at) / (points[i].at - points[i - 1].at);
            return points[i - 1].level + t * (points[i].level - points[i - 1].level);
        }
    }
    return points.last().level;
}

double levelRatio(double level, double octaves)
{
    return std::exp2((level - 1.0) / 4.0 * octaves);
}

QList<float> toFloats(const Pcm &pcm)
{
    QList<float> x(pcm.samples.size());
    std::transform(pcm.samples.begin(), pcm.samples.end(), x.begin(),
                   [](qint16 s) { return float(s) / 32768.0f; });
    return x;
}

// The period in samples of the window starting at `start`, or 0 when the
// window is not clearly periodic.
double periodAt(const QList<float> &x, qsizetype start, int window, int minLag, int maxLag)
{
    QList<double> r(maxLag + 1, 0.0);
    double best = 0.0;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        double cross = 0.0, a = 0.0, b = 0.0;
        for (int i = 0; i < window; ++i) {
            const double u = x[start + i];
            const double v = x[start + i + lag];
            cross += u * v;
            a += u * u;
            b += v * v;
        }
        r[lag] = a > 0.0 && b > 0.0 ? cross / std::sqrt(a * b) : 0.0;
        best = std::max(best, r[lag]);
    }
    if (best < 0.6)
        return 0.0;
    // The shortest lag nearly as good as the best: a period's multiples
    // correlate as well, and taking them would halve the pitch.
    for (int lag = minLag + 1; lag < maxLag; ++lag) {
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double denominator = r[lag - 1] - 2.0 * r[lag] + r[lag + 1];
            const double shift =
                denominator < 0.0 ? 0.5 * (r[lag - 1] - r[lag + 1]) / denominator : 0.0;
            return lag + shift;
        }
    }
    return 0.0;
}

// The syllable's vowel: the longest run of steps whose pitch moves smoothly,
// across gaps of a step or two. A recording's breath and clicks give short
// runs of stray pitches around it; a step an octave off (the tracker taking
// two periods for one) is put back in line. Inside the run the track is made
// whole, outside it is left unvoiced.
struct VoicedSpan
{
    int first = -1;
    int last = -1;
};

// Whether step i carries on a run ending at step `last`, octave-corrected.
bool carriesOn(QList<double> &fixed, const QList<double> &track, int i, int last)
{
    constexpr double SmoothOctaves = 0.25;
    constexpr int LongestGap = 2;
    if (last < 0 || i - last > LongestGap + 1)
        return false;
    for (double candidate : {track[i], track[i] / 2.0, track[i] * 2.0}) {
        if (std::abs(std::log2(candidate / fixed[last])) < SmoothOctaves) {
            fixed[i] = candidate;
            return true;
        }
    }
    return false;
}

VoicedSpan voicedSpan(QList<double> &track)
{
    QList<double> fixed = track;
    VoicedSpan best;
    VoicedSpan run;
    for (int i = 0; i < track.size(); ++i) {
        if (track[i] <= 0.0)
            continue;
        if (carriesOn(fixed, track, i, run.last))
            run.last = i;
        else
            run = {i, i};
        if (best.first < 0 || run.last - run.first > best.last - best.first)
            best = run;
    }
    QList<double> whole(track.size(), 0.0);
    // Every voiced step inside the best run carried it on, so its pitch is
    // the corrected one.
    for (int i = best.first; i >= 0 && i <= best.last; ++i)
        whole[i] = fixed[i];
    for (int i = best.first + 1; i < best.last; ++i) {
        if (whole[i] > 0.0)
            continue;
        int next = i + 1;
        while (whole[next] <= 0.0)
            ++next;
        whole[i] = whole[i - 1] + (whole[next] - whole[i - 1]) / (next - i + 1);
    }
    track = whole;
    return best;
}

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[qsizetype(p * (values.size() - 1))];
}

struct Mark
{
    qsizetype at;
    double period; // samples
    bool voiced;
};

// One mark a period through the voiced part, stepped by the tracked period
// so that neighbouring grains hold the same part of the waveform; every
// 10 ms elsewhere. (Marks on the waveform's peaks would wander between the
// peaks of a period when a high harmonic is strong, as in "i".)
QList<Mark> analysisMarks(const QList<float> &x, const QList<double> &track, VoicedSpan span,
                          int rate)
{
    const double step = PitchStepSeconds * rate;
    const qsizetype voicedStart = qsizetype(span.first * step);
    const qsizetype voicedEnd = std::min<qsizetype>(x.size(), qsizetype((span.last + 1) * step));
    const auto periodAt = [&](double at) {
        const int i = std::clamp(int(at / step), span.first, span.last);
        return rate / track[i];
    };
    QList<Mark> marks;
    for (qsizetype at = qsizetype(step / 2); at < voicedStart; at += qsizetype(step))
        marks.append({at, step, false});
    const qsizetype firstPeakEnd =
        std::min<qsizetype>(x.size(), voicedStart + qsizetype(periodAt(voicedStart)));
    double at =
        double(std::max_element(x.begin() + voicedStart, x.begin() + firstPeakEnd) - x.begin());
    for (; at < voicedEnd; at += periodAt(at))
        marks.append({qRound64(at), periodAt(at), true});
    for (at += step; at < x.size(); at += step)
        marks.append({qRound64(at), step, false});
    return marks;
}

} // namespace

QList<double> pitchTrack(const Pcm &pcm)
{
    const int rate = pcm.sampleRate;
    // Below this rate the lags of the highest voices are not told apart.
    if (rate < 8000)
        return {};
    const QList<float> x = toFloats(pcm);
    const int window = qRound(0.03 * rate);
    const int minLag = int(rate / HighestPitch);
    const int maxLag = qCeil(rate / LowestPitch);
    const int step = qRound(PitchStepSeconds * rate);
    double loudest = 0.0;
    QList<double> powers;
    // Each step is measured on the stretch of sound centred on it.
    const int reach = (window + maxLag + 1) / 2;
    for (qsizetype start = -reach; start + window + maxLag + 1 <= x.size(); start += step) {
        if (start < 0) {
            powers.append(0.0);
            continue;
        }
        double sum = 0.0;
        for (int i = 0; i < window; ++i)
            sum += double(x[start + i]) * x[start + i];
        powers.append(sum / window);
        loudest = std::max(loudest, powers.last());
    }
    QList<double> track(powers.size(), 0.0);
    for (int i = 0; i < powers.size(); ++i) {
        // Breath and room noise more than 30 dB down can look periodic.
        if (powers[i] < loudest / 1000.0)
            continue;
        const double period = periodAt(x, qsizetype(i) * step - reach, window, minLag, maxLag);
        track[i] = period > 0.0 ? rate / period : 0.0;
    }
    return track;
}

double toneContour(int tone, double fraction, const VoiceRange &range)
{
    return range.bottom * levelRatio(levelAt(tone, fraction), range.octaves);
}

VoiceRange voiceRange(const QList<double> &voicedPitch, int tone)
{
    // The levels the tone's contour spends a tenth of its time below and
    // above, to set against the same points of the track.
    QList<double> levels;
    for (int i = 0; i <= 100; ++i)
        levels.append(levelAt(tone, i / 100.0));
    const double lowLevel = percentile(levels, 0.1);
    const double highLevel = percentile(levels, 0.9);
    const double low = percentile(voicedPitch, 0.1);
    const double high = percentile(voicedPitch, 0.9);
    VoiceRange range;
    if (highLevel - lowLevel >= 1.0)
        range.octaves = std::clamp(std::log2(high / low) * 4.0 / (highLevel - lowLevel), 0.4, 1.5);
    range.bottom = std::sqrt(low / levelRatio(lowLevel, range.octaves) * high /
                             levelRatio(highLevel, range.octaves));
    return range;
}

double toneDuration(int tone)
{
    switch (tone) {
    case 3:
        return 1.15;
    case 4:
        return 0.88;
    case 5:
        return 0.75;
    default:
        return 1.0;
    }
}

QList<int> sourceTonesFor(int tone)
{
    switch (tone) {
    case 1:
        return {4, 2, 3, 5};
    case 2:
        return {3, 1, 4, 5};
    case 3:
        return {2, 4, 1, 5};
    case 4:
        return {1, 2, 3, 5};
    default:
        return {4, 1, 2, 3};
    }
}

Pcm repitched(const Pcm &recording, int fromTone, int toTone)
{
    QList<double> track = pitchTrack(recording);
    const VoicedSpan span = voicedSpan(track);
    if (span.first < 0 || span.last - span.first < 5)
        throw MakerError(
            QStringLiteral("the recording has no voiced part to move to another tone"));
    const QList<double> voiced = track.mid(span.first, span.last - span.first + 1);
    const VoiceRange range = voiceRange(voiced, fromTone);
    const int rate = recording.sampleRate;
    const QList<float> x = toFloats(recording);
    const QList<Mark> marks = analysisMarks(x, track, span, rate);

    // Only the vowel takes the new tone's length; the consonant and the
    // silence around it keep theirs.
    const double stretch = toneDuration(toTone) / toneDuration(fromTone);
    const double step = PitchStepSeconds * rate;
    const double voicedStart = span.first * step;
    const double voicedLength = (span.last + 1 - span.first) * step;
    const double added = voicedLength * (stretch - 1.0);
    const auto sourceTime = [&](double t) {
        if (t < voicedStart)
            return t;
        if (t < voicedStart + voicedLength * stretch)
            return voicedStart + (t - voicedStart) / stretch;
        return t - added;
    };
    QList<double> out(qCeil(x.size() + added) + 1, 0.0);
    std::size_t nearest = 0;
    for (double t = marks.first().at; t < out.size();) {
        const double source = sourceTime(t);
        while (nearest + 1 < std::size_t(marks.size()) &&
               std::abs(marks[nearest + 1].at - source) < std::abs(marks[nearest].at - source))
            ++nearest;
        const Mark &mark = marks[nearest];
        // A grain is two source periods under a Hann window, laid down once
        // every wanted period.
        const int half = qRound(mark.period);
        const qsizetype centre = qRound(t);
        for (int i = -half; i <= half; ++i) {
            const qsizetype from = mark.at + i;
            const qsizetype to = centre + i;
            if (from < 0 || from >= x.size() || to < 0 || to >= out.size())
                continue;
            out[to] += x[from] * 0.5 * (1.0 + std::cos(M_PI * i / half));
        }
        const double fraction = (t - voicedStart) / (voicedLength * stretch);
        t += mark.voiced ? rate / toneContour(toTone, fraction, range) : mark.period;
    }
    Pcm result{rate, QList<qint16>(out.size())};
    for (qsizetype i = 0; i < out.size(); ++i)
        result.samples[i] = qint16(std::clamp(qRound(out[i] * 32768.0), -32768, 32767));
    return result;
}
