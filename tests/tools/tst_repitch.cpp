// SPDX-License-Identifier: GPL-3.0-or-later
// Moving recorded syllables to another tone, checked on synthetic vowels
// whose pitch is known, and on the recordings the default list lacks.
#include "makererror.h"
#include "repitch.h"
#include "speech.h"

#include <QFile>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int Rate = 22050;
const VoiceRange Speaker{120.0, 0.8}; // the synthetic vowels' speaker

// A vowel like "a": a pulse train at the given pitch (Hz, by position
// 0..1) through three formant resonators, between 50 ms silences.
Pcm vowel(double seconds, const std::function<double(double)> &pitch)
{
    const int length = int(seconds * Rate);
    QList<double> source(length, 0.0);
    double phase = 1.0;
    for (int i = 0; i < length; ++i) {
        phase += pitch(double(i) / length) / Rate;
        if (phase >= 1.0) {
            phase -= 1.0;
            source[i] = 1.0;
        }
    }
    for (double formant : {700.0, 1220.0, 2600.0}) {
        const double r = std::exp(-M_PI * 90.0 / Rate);
        const double a1 = 2.0 * r * std::cos(2.0 * M_PI * formant / Rate);
        const double a2 = -r * r;
        double y1 = 0.0, y2 = 0.0;
        for (double &sample : source) {
            const double y = (1.0 - r) * sample + a1 * y1 + a2 * y2;
            y2 = y1;
            y1 = y;
            sample = y;
        }
    }
    const double peak =
        std::abs(*std::max_element(source.begin(), source.end(),
                                   [](double a, double b) { return std::abs(a) < std::abs(b); }));
    Pcm pcm{Rate, QList<qint16>(Rate / 20, 0)};
    for (double sample : source)
        pcm.samples.append(qint16(std::lround(sample / peak * 16000.0)));
    pcm.samples.append(QList<qint16>(Rate / 20, 0));
    return pcm;
}

Pcm vowelInTone(int tone, double seconds)
{
    return vowel(seconds, [tone](double at) { return toneContour(tone, at, Speaker); });
}

struct Voiced
{
    QList<double> pitch;
    qsizetype first = -1;
    qsizetype last = -1;
};

Voiced voiced(const Pcm &pcm)
{
    Voiced v{pitchTrack(pcm)};
    for (qsizetype i = 0; i < v.pitch.size(); ++i) {
        if (v.pitch[i] > 0.0) {
            v.first = v.first < 0 ? i : v.first;
            v.last = i;
        }
    }
    return v;
}

// The median of the pitch around a point of the voiced part.
double pitchAt(const Voiced &v, double fraction)
{
    const qsizetype centre = v.first + qRound64(fraction * double(v.last - v.first));
    QList<double> near;
    for (qsizetype i = centre - 2; i <= centre + 2; ++i)
        if (v.pitch.value(i) > 0.0)
            near.append(v.pitch[i]);
    if (near.isEmpty())
        return 0.0;
    std::sort(near.begin(), near.end());
    return near[near.size() / 2];
}

double rms(const Pcm &pcm)
{
    double sum = 0.0;
    for (qint16 s : pcm.samples)
        sum += double(s) * s;
    return std::sqrt(sum / std::max<qsizetype>(1, pcm.samples.size()));
}

bool decodable(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    try {
        decodeMp3(f.readAll());
        return true;
    } catch (const MakerError &) {
        return false;
    }
}

} // namespace

class TestRepitch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pitchOfKnownVowels_data();
    void pitchOfKnownVowels();
    void rangeOfTheSpeaker_data();
    void rangeOfTheSpeaker();
    void everyToneFromItsBestSource_data();
    void everyToneFromItsBestSource();
    void nothingVoicedIsRefused();
    void missingSyllablesOfTheList_data();
    void missingSyllablesOfTheList();
};

void TestRepitch::pitchOfKnownVowels_data()
{
    QTest::addColumn<double>("hz");
    for (double hz : {75.0, 110.0, 180.0, 260.0, 420.0})
        QTest::newRow(qPrintable(QString::number(hz))) << hz;
}

void TestRepitch::pitchOfKnownVowels()
{
    QFETCH(double, hz);
    const Pcm pcm = vowel(0.4, [hz](double) { return hz; });
    const Voiced v = voiced(pcm);
    // Voiced from about 50 ms in, where the silence ends, to near the end.
    QVERIFY2(std::abs(v.first - 5) <= 1, qPrintable(QString::number(v.first)));
    QVERIFY(v.last - v.first >= 30);
    for (double at : {0.1, 0.5, 0.9})
        QVERIFY2(std::abs(pitchAt(v, at) / hz - 1.0) < 0.02,
                 qPrintable(QStringLiteral("%1 at %2").arg(pitchAt(v, at)).arg(at)));
}

void TestRepitch::rangeOfTheSpeaker_data()
{
    QTest::addColumn<int>("tone");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("octaves");
    QTest::newRow("rising, deep voice") << 2 << 90.0 << 0.7;
    QTest::newRow("dipping") << 3 << 150.0 << 1.0;
    QTest::newRow("falling, wide range") << 4 << 200.0 << 1.2;
    // A level tone shows only its top: the usual range is assumed below it.
    QTest::newRow("level") << 1 << 180.0 << 0.8;
}

void TestRepitch::rangeOfTheSpeaker()
{
    QFETCH(int, tone);
    QFETCH(double, bottom);
    QFETCH(double, octaves);
    QList<double> track;
    for (int i = 0; i < 60; ++i)
        track.append(toneContour(tone, i / 59.0, VoiceRange{bottom, octaves}));
    const VoiceRange found = voiceRange(track, tone);
    QVERIFY2(std::abs(found.bottom / bottom - 1.0) < 0.05,
             qPrintable(QString::number(found.bottom)));
    QVERIFY2(std::abs(found.octaves - octaves) < 0.08, qPrintable(QString::number(found.octaves)));
}

void TestRepitch::everyToneFromItsBestSource_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    for (int to = 1; to <= 5; ++to)
        for (int from : sourceTonesFor(to).mid(0, 2))
            QTest::newRow(qPrintable(QStringLiteral("%1 from %2").arg(to).arg(from))) << from << to;
}

void TestRepitch::everyToneFromItsBestSource()
{
    QFETCH(int, from);
    QFETCH(int, to);
    const Pcm source = vowelInTone(from, 0.5 * toneDuration(from));
    const Pcm made = repitched(source, from, to);
    QCOMPARE(made.sampleRate, Rate);
    QVERIFY2(rms(made) > 0.3 * rms(source), qPrintable(QString::number(rms(made))));
    // The vowel takes the wanted tone's length, the silences keep theirs.
    const Voiced v = voiced(made);
    const Voiced before = voiced(source);
    QVERIFY(v.first >= 0);
    const double stretch = toneDuration(to) / toneDuration(from);
    const double ratio = double(v.last - v.first) / double(before.last - before.first);
    QVERIFY2(std::abs(ratio / stretch - 1.0) < 0.1, qPrintable(QString::number(ratio)));
    QVERIFY(std::abs(v.first - before.first) <= 1);
    const qsizetype silences = source.samples.size() - (before.last - before.first) * Rate / 100;
    QVERIFY(made.samples.size() > silences);
    QList<double> measured;
    for (double at : {0.25, 0.5, 0.75}) {
        const double wanted = toneContour(to, at, Speaker);
        measured.append(pitchAt(v, at));
        QVERIFY2(std::abs(measured.last() / wanted - 1.0) < 0.08,
                 qPrintable(QStringLiteral("%1 Hz at %2, wanted %3 Hz")
                                .arg(measured.last())
                                .arg(at)
                                .arg(wanted)));
    }
    // The shape a listener hears, whatever the register.
    switch (to) {
    case 1:
        QVERIFY(*std::max_element(measured.begin(), measured.end()) <
                1.06 * *std::min_element(measured.begin(), measured.end()));
        QVERIFY(measured[1] > 1.5 * Speaker.bottom);
        break;
    case 2:
        QVERIFY(measured[2] > 1.1 * measured[0]);
        break;
    case 3:
        QVERIFY(measured[1] < measured[0] && measured[1] < 0.9 * measured[2]);
        QVERIFY(measured[1] < 1.1 * Speaker.bottom);
        break;
    case 4:
        QVERIFY(measured[0] > 1.2 * measured[2]);
        break;
    default:
        QVERIFY(measured[0] > measured[2]);
    }
}

void TestRepitch::nothingVoicedIsRefused()
{
    Pcm noise{Rate, {}};
    quint32 state = 1;
    for (int i = 0; i < Rate / 2; ++i) {
        state = state * 1664525u + 1013904223u;
        noise.samples.append(qint16(int(state >> 16) - 32768) / 4);
    }
    QVERIFY_THROWS_EXCEPTION(MakerError, repitched(noise, 4, 1));
    QVERIFY_THROWS_EXCEPTION(MakerError, repitched(Pcm{Rate, QList<qint16>(Rate, 0)}, 4, 1));
    QVERIFY_THROWS_EXCEPTION(MakerError, repitched(Pcm{Rate, {}}, 2, 3));
    QVERIFY_THROWS_EXCEPTION(MakerError, repitched(Pcm{0, vowelInTone(1, 0.3).samples}, 2, 3));
}

void TestRepitch::missingSyllablesOfTheList_data()
{
    QTest::addColumn<QString>("syllable");
    QTest::addColumn<VoiceSource>("source");
    for (const char *syllable :
         {"biao1", "mou3", "xiu1", "ao4", "lian4", "zhai4", "xiang2", "diao1", "zhan1", "sang3"})
        QTest::newRow(syllable) << QString::fromLatin1(syllable) << VoiceSource::Repitched;
    // No tone of these was recorded (their files are web pages).
    for (const char *syllable : {"o4", "o1", "ng4"})
        QTest::newRow(syllable) << QString::fromLatin1(syllable) << VoiceSource::Espeak;
    QTest::newRow("recorded") << QStringLiteral("biao4") << VoiceSource::Recording;
}

void TestRepitch::missingSyllablesOfTheList()
{
    QFETCH(QString, syllable);
    QFETCH(VoiceSource, source);
    const QString voices = QStringLiteral(ZORVINA_VOICE_DATA);
    const Pronunciation said = pronounce(voices, syllable);
    QCOMPARE(said.source, source);
    QCOMPARE(said.recorded, source != VoiceSource::Espeak);
    QVERIFY(std::abs(voicedLevelDb(said.pcm) - SpeechLevelDb) < 1.0);
    QVERIFY(said.pcm.samples.size() > Rate / 5 && said.pcm.samples.size() < 2 * Rate);
    int recordedTones = 0;
    for (int tone = 1; tone <= 5; ++tone)
        recordedTones +=
            decodable(recordingFile(voices, syllable.chopped(1) + QString::number(tone)));
    QCOMPARE(recordedTones > 0, source != VoiceSource::Espeak);
}

QTEST_GUILESS_MAIN(TestRepitch)
#include "tst_repitch.moc"
