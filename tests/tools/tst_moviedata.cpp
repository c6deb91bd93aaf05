// SPDX-License-Identifier: GPL-3.0-or-later
// The movie maker's inputs: stroke data, readings, character lists, speech.
#include "characterdata.h"
#include "fileerror.h"
#include "listfile.h"
#include "makererror.h"
#include "readings.h"
#include "speech.h"
#include "testfolder.h"

#include <QDataStream>
#include <QTest>
#include <functional>

namespace {

const QString Fixtures = QStringLiteral(ZORVINA_TEST_DATA "/moviemaker");
const QString RealData = QStringLiteral(ZORVINA_HANZI_DATA);

// A WAV header as espeak-ng streams it: the lengths are placeholders.
QByteArray wavHeader(int channels, int bits)
{
    QByteArray wav("RIFF\xff\xff\xff\x7fWAVEfmt ", 16);
    QDataStream out(&wav, QIODevice::Append);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(22050)
        << quint32(22050 * channels * bits / 8) << quint16(channels * bits / 8) << quint16(bits);
    out.writeRawData("data", 4);
    out << quint32(0x7ffff000);
    return wav;
}

} // namespace

class TestMovieData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strokePaths();
    void refusals_data();
    void refusals();
    void readings_data();
    void readings();
    void checkedReadings_data();
    void checkedReadings();
    void checkedTableFile();
    void listFiles();
    void wavAndMp3();
    void everySyllableAtOneLevel_data();
    void everySyllableAtOneLevel();
};

void TestMovieData::strokePaths()
{
    // y is flipped about 900: the data's y 382 is 518 from the top.
    const QPainterPath path =
        parseStrokePath(QStringLiteral("M 518 382 Q 572 385 623 389 L 600 400 C 1 2 3 4 5 6 Z"));
    QCOMPARE(path.elementAt(0).type, QPainterPath::MoveToElement);
    QCOMPARE(QPointF(path.elementAt(0)), QPointF(518, 518));
    // A quadratic becomes a cubic in Qt: its last element is the end point.
    QCOMPARE(QPointF(path.elementAt(3)), QPointF(623, 511));
    QCOMPARE(QPointF(path.elementAt(4)), QPointF(600, 500));
    QCOMPARE(QPointF(path.elementAt(5)), QPointF(1, 898));
    QCOMPARE(QPointF(path.elementAt(7)), QPointF(5, 894));
    QCOMPARE(path.elementAt(8).type, QPainterPath::LineToElement); // closed back to start
    QCOMPARE(QPointF(path.elementAt(8)), QPointF(518, 518));
}

void TestMovieData::refusals_data()
{
    QTest::addColumn<std::function<void()>>("call");
    QTest::addColumn<QString>("messagePart"); // what the parent is told, where it matters
    using Call = std::function<void()>;
    const auto load = [](const char *c) {
        return Call([c] { loadCharacter(Fixtures, QString::fromUtf8(c)); });
    };
    const auto outline = [](const char *path) {
        return Call([path] { parseStrokePath(QString::fromLatin1(path)); });
    };
    const auto wav = [](const QByteArray &bytes) { return Call([bytes] { parseWav(bytes); }); };
    const auto mp3At = [](int rate) {
        return Call([rate] { encodeMp3({rate, QList<qint16>(4000, 100)}); });
    };
    const QString any;

    QTest::newRow("not in the data") << load("口") << QStringLiteral("not in the stroke data");
    QTest::newRow("stroke without centre line") << load("坏") << QStringLiteral("damaged");
    QTest::newRow("bad outline") << load("乱") << QStringLiteral("unknown command");
    QTest::newRow("path outside the data") << load("../十") << QStringLiteral("single");
    QTest::newRow("punctuation") << load("。") << QStringLiteral("single");
    QTest::newRow("outline: half a point") << outline("M 1 2 L 3") << any;
    QTest::newRow("outline: letter for a number") << outline("M 1 2 L 3 Z") << any;
    QTest::newRow("wav: stereo") << wav(wavHeader(2, 16) + QByteArray(8, '\0')) << any;
    QTest::newRow("wav: 8-bit") << wav(wavHeader(1, 8) + QByteArray(8, '\0')) << any;
    QTest::newRow("wav: not RIFF") << wav("ID3\x03 some mp3 data") << any;
    QTest::newRow("wav: no data chunk") << wav(wavHeader(1, 16).chopped(8)) << any;
    // Flash plays MP3 at 11025, 22050 and 44100 Hz only.
    QTest::newRow("mp3 at 48000 Hz") << mp3At(48000) << any;
    QTest::newRow("mp3 at 5512 Hz") << mp3At(5512) << any;
    QTest::newRow("no readings") << Call([] { Readings(Fixtures, QStringLiteral("none.txt")); })
                                 << any;
}

void TestMovieData::refusals()
{
    QFETCH(std::function<void()>, call);
    QFETCH(QString, messagePart);
    try {
        call();
        QFAIL("no error");
    } catch (const MakerError &error) {
        QVERIFY2(error.message().contains(messagePart), qPrintable(error.message()));
    }
}

void TestMovieData::readings_data()
{
    QTest::addColumn<QString>("character"); // none: the tone numbering only
    QTest::addColumn<QString>("pinyin");
    QTest::addColumn<QString>("numbered");
    const auto row = [](const char *name, const char *character, const char *pinyin,
                        const char *numbered) {
        QTest::newRow(name) << QString::fromUtf8(character) << QString::fromUtf8(pinyin)
                            << QString::fromUtf8(numbered);
    };
    row("modern dictionary", "中", "zhōng", "zhong1");
    row("usual of several", "长", "cháng", "chang2");
    // Most frequent in words: 伯伯, 冠军, 湖泊; the neutral zi of 孩子 and
    // the tou of 石头 do not outvote the characters alone.
    row("frequent words: bó", "伯", "bó", "bo2");
    row("frequent words: guàn", "冠", "guàn", "guan4");
    row("frequent words: pō", "泊", "pō", "po1");
    row("neutral in words", "子", "zǐ", "zi3");
    row("neutral in words, tóu", "头", "tóu", "tou2");
    // The checked table: tone sandhi, and a child's words before an adult's.
    row("sandhi: yī", "一", "yī", "yi1");
    row("sandhi: bù", "不", "bù", "bu4");
    row("咳嗽", "咳", "ké", "ke2");
    row("夹子", "夹", "jiā", "jia1");
    row("高兴", "兴", "xìng", "xing4");
    row("种子", "种", "zhǒng", "zhong3");
    row("仔细", "仔", "zǐ", "zi3");
    row("提供", "供", "gōng", "gong1");
    row("漂 by its most frequent word, 漂亮", "漂", "piào", "piao4");
    row("应该", "应", "yīng", "ying1");
    row("切菜", "切", "qiē", "qie1");
    row("爪 alone", "爪", "zhǎo", "zhao3");
    row("量一量", "量", "liáng", "liang2");
    row("弹琴", "弹", "tán", "tan2");
    row("差不多", "差", "chà", "cha4");
    row("累了", "累", "lèi", "lei4");
    row("third, ü", "女", "nǚ", "nü3");
    row("fourth, ü", "绿", "lǜ", "lü4");
    row("neutral", "了", "le", "le5");
    row("capital", "", "Ā", "A1");
}

void TestMovieData::readings()
{
    QFETCH(QString, character);
    QFETCH(QString, pinyin);
    QFETCH(QString, numbered);
    Readings known(QStringLiteral(ZORVINA_READINGS_DATA),
                   QStringLiteral(ZORVINA_READINGS_SUPPLEMENT));
    if (!character.isEmpty())
        QCOMPARE(known.reading(character), pinyin);
    QCOMPARE(toneNumbered(pinyin), numbered);
}

void TestMovieData::checkedReadings_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("problem"); // empty: a good line
    QTest::newRow("good") << QStringLiteral("咳 ké 咳嗽") << QString();
    QTest::newRow("ü and a long reason") << QStringLiteral("绿 lǜ 绿色, 绿叶") << QString();
    QTest::newRow("neutral") << QStringLiteral("了 le 好了") << QString();
    QTest::newRow("no reason") << QStringLiteral("咳 ké")
                               << QStringLiteral("want a character, its reading and why");
    QTest::newRow("two characters")
        << QStringLiteral("咳嗽 ké sou") << QStringLiteral("'咳嗽' is not one character");
    QTest::newRow("tone number") << QStringLiteral("咳 ke2 咳嗽")
                                 << QStringLiteral("'ke2' is not a pinyin syllable");
    QTest::newRow("two tone marks")
        << QStringLiteral("咳 ké́ 咳嗽") << QStringLiteral("'ké́' is not a pinyin syllable");
    QTest::newRow("a character for the reading")
        << QStringLiteral("咳 咳 咳嗽") << QStringLiteral("'咳' is not a pinyin syllable");
}

void TestMovieData::checkedReadings()
{
    QFETCH(QString, line);
    QFETCH(QString, problem);
    const CheckedReading parsed = parseCheckedLine(line);
    QCOMPARE(parsed.problem, problem);
    if (problem.isEmpty()) {
        QCOMPARE(parsed.character, line.section(QLatin1Char(' '), 0, 0));
        QCOMPARE(parsed.pinyin, line.section(QLatin1Char(' '), 1, 1));
    }
}

// The table beside the supplement is read with it: a bad line, or a
// character checked twice, names the file and line and stops the tool.
void TestMovieData::checkedTableFile()
{
    const TestFolder dir;
    const QString supplement = dir.file(QStringLiteral("/readings-supplement.txt"));
    dir.write(QStringLiteral("/readings-supplement.txt"), QByteArray("不 bù\n"));
    const QString json = QStringLiteral(ZORVINA_READINGS_DATA);
    QVERIFY_THROWS_EXCEPTION(MakerError, Readings(json, supplement)); // no table
    dir.write(QStringLiteral("/readings-checked.txt"),
              QStringLiteral("# checked\n\n长 zhǎng 长大\n").toUtf8());
    QCOMPARE(Readings(json, supplement).reading(QStringLiteral("长")), QStringLiteral("zhǎng"));
    for (const QString &bad : {QStringLiteral("长 zhǎng 长大\n长 cháng 长短\n"),
                               QStringLiteral("长 zhǎng 长大\n长 chang2 长短\n")}) {
        dir.write(QStringLiteral("/readings-checked.txt"), bad.toUtf8());
        try {
            Readings(json, supplement);
            QFAIL("a bad table was accepted");
        } catch (const MakerError &error) {
            QVERIFY2(error.message().contains(QStringLiteral("readings-checked.txt:2: ")),
                     qPrintable(error.message()));
        }
    }
}

// A teaching order, and a hanzi.ini read with the program's own reader;
// what the tool then leaves out is named.
void TestMovieData::listFiles()
{
    const TestFolder dir;
    const QString order = dir.file(QStringLiteral("/order.txt"));
    dir.write(QStringLiteral("/order.txt"),
              QStringLiteral("# 一 to 十\n一\n\n二\n  三 \n一\n𠂉\n").toUtf8());
    QCOMPARE(readTeachingOrder(order), (QStringList{QStringLiteral("一"), QStringLiteral("二"),
                                                    QStringLiteral("三"), QStringLiteral("𠂉")}));
    dir.write(QStringLiteral("/order.txt"), QStringLiteral("一a二").toUtf8());
    QVERIFY_THROWS_EXCEPTION(MakerError, readTeachingOrder(order));
    QVERIFY_THROWS_EXCEPTION(MakerError, readTeachingOrder(dir.file(QStringLiteral("/none"))));
    QVERIFY_THROWS_EXCEPTION(MakerError, splitCharacters(QStringLiteral("一/二")));

    const QString ini = dir.file(QStringLiteral("/hanzi.ini"));
    QStringList skipped;
    // 𠀀 is a real character the stroke data does not have.
    dir.writeText(QStringLiteral("/hanzi.ini"), QStringLiteral("一 二一a𠀀\r\n三"));
    QCOMPARE(readHanziIni(ini, RealData, skipped),
             (QStringList{QStringLiteral("一"), QStringLiteral("二")}));
    QCOMPARE(skipped, (QStringList{QStringLiteral("' ' (a space)"),
                                   QStringLiteral("'a' (not a Chinese character)"),
                                   QStringLiteral("'𠀀' (not in the stroke data)")}));
    // UTF-8 without a byte-order mark is not read as UTF-8, by either.
    dir.write(QStringLiteral("/hanzi.ini"), QStringLiteral("一二三").toUtf8());
    QVERIFY_THROWS_EXCEPTION(FileError, readHanziIni(ini, RealData, skipped));
}

// Half a sample at the end of a cut stream is dropped. The frames Flash is
// given are all sound (an Xing/Info frame would be heard as a click), and the
// sample count is what the movie's timing is planned by.
void TestMovieData::wavAndMp3()
{
    const Pcm pcm = parseWav(wavHeader(1, 16) + QByteArray::fromHex("0100FFFF0080FF7F12"));
    QCOMPARE(pcm.sampleRate, 22050);
    QCOMPARE(pcm.samples, QList<qint16>({1, -1, -32768, 32767}));

    Pcm tone{22050, {}};
    for (int i = 0; i < 22050; ++i)
        tone.samples.append(qint16(8000 * std::sin(i * 2 * M_PI * 440 / 22050)));
    const Mp3Sound sound = encodeMp3(tone);
    QCOMPARE(sound.sampleRate, 22050);
    QCOMPARE(sound.sampleCount, quint32(22050));
    QVERIFY(!sound.stereo && !sound.frames.isEmpty());
    QVERIFY(!sound.frames.contains("Xing") && !sound.frames.contains("Info"));
}

void TestMovieData::everySyllableAtOneLevel_data()
{
    QTest::addColumn<QString>("syllable");
    QTest::addColumn<VoiceSource>("source");
    QTest::newRow("level tone") << QStringLiteral("ma1") << VoiceSource::Recording;
    QTest::newRow("quieter recording") << QStringLiteral("shi4") << VoiceSource::Recording;
    QTest::newRow("ü") << QStringLiteral("lü4") << VoiceSource::Recording;
    // The package's mou3.mp3 is a web page: mou2 is moved to the third tone.
    QTest::newRow("damaged, other tones recorded")
        << QStringLiteral("mou3") << VoiceSource::Repitched;
    // Every o*.mp3 is a web page: the synthetic voice stands in.
    QTest::newRow("damaged recordings") << QStringLiteral("o1") << VoiceSource::Espeak;
    QTest::newRow("no recording") << QStringLiteral("zzz1") << VoiceSource::Espeak;
}

void TestMovieData::everySyllableAtOneLevel()
{
    QFETCH(QString, syllable);
    QFETCH(VoiceSource, source);
    const Pronunciation said = pronounce(QStringLiteral(ZORVINA_VOICE_DATA), syllable);
    QCOMPARE(said.source, source);
    QCOMPARE(said.recorded, source != VoiceSource::Espeak);
    QCOMPARE(said.pcm.sampleRate, 22050);
    QVERIFY2(std::abs(voicedLevelDb(said.pcm) - SpeechLevelDb) < 1.0,
             qPrintable(QString::number(voicedLevelDb(said.pcm))));
    // Trimmed to the syllable: under two seconds, starting within 50 ms.
    QVERIFY(said.pcm.samples.size() < 2 * 22050);
    const auto loud = std::find_if(said.pcm.samples.begin(), said.pcm.samples.end(),
                                   [](qint16 s) { return std::abs(s) > 1000; });
    QVERIFY(loud - said.pcm.samples.begin() < 22050 / 20);
    // The same sound every time, for reproducible movies.
    QCOMPARE(pronounce(QStringLiteral(ZORVINA_VOICE_DATA), syllable).pcm.samples, said.pcm.samples);
}

QTEST_GUILESS_MAIN(TestMovieData)
#include "tst_moviedata.moc"
