// SPDX-License-Identifier: GPL-3.0-or-later
// zorvina-moviemaker run as a parent would run it.
#include "fileops.h"
#include "speech.h"
#include "swfreader.h"
#include "testfolder.h"

#include <QProcess>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(ZORVINA_MOVIEMAKER), arguments);
    if (!tool.waitForFinished(120000))
        qFatal("zorvina-moviemaker did not finish");
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

// The best normalised correlation of b's samples with a's, over shifts of up
// to a fifth of a second: near 1 when a is b re-encoded.
double bestCorrelation(const Pcm &a, const Pcm &b)
{
    double best = 0.0;
    const int maxShift = a.sampleRate / 5;
    for (int shift = -maxShift; shift <= maxShift; shift += 2) {
        double ab = 0, aa = 0, bb = 0;
        for (qsizetype i = std::max(0, -shift);
             i < a.samples.size() && i + shift < b.samples.size(); ++i) {
            const double x = a.samples[i];
            const double y = b.samples[i + shift];
            ab += x * y;
            aa += x * x;
            bb += y * y;
        }
        if (aa > 0 && bb > 0)
            best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

// The arguments, split at spaces, with the hanzi folder and every file name
// taken to be in dir.
QStringList argumentsIn(const TestFolder &dir, const QString &line)
{
    QStringList arguments = line.split(QLatin1Char(' '));
    for (QString &argument : arguments) {
        if (argument == QLatin1String("hanzi") || argument.contains(QLatin1Char('.')))
            argument = dir.file(QLatin1Char('/') + argument);
    }
    return arguments;
}

Pcm recording(const QString &syllable)
{
    return resampled(decodeMp3(readRegularFile(
                         recordingFile(QStringLiteral(ZORVINA_VOICE_DATA), syllable), 1 << 20)),
                     22050);
}

} // namespace

class TestMovieMakerTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void makesMoviesListAndConfig();
    void refusals_data();
    void refusals();
    void explains_data();
    void explains();
};

// A first run makes the movies, the list and the remembered character; a
// second one, after the child has moved on and a movie was lost, makes only
// what is missing or new, the same as before, and keeps the child's place.
void TestMovieMakerTool::makesMoviesListAndConfig()
{
    const TestFolder dir;
    dir.write(QStringLiteral("/order.txt"), QStringLiteral("# teaching order\n三\n一\n").toUtf8());
    const QStringList arguments =
        argumentsIn(dir, QStringLiteral("--out hanzi --cache made.txt --order order.txt "
                                        "--write-list hanzi.ini --write-config config.ini 永⺀"));
    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QStringLiteral("Made 4 of 4")), qPrintable(run.out));
    // ⺀ has no letters in the stroke-type data: its shape names its strokes.
    QVERIFY2(run.out.contains(QStringLiteral("Summary: 4 movies, 0 strokes without a name, "
                                             "voices not recordings: none")),
             qPrintable(run.out));
    QCOMPARE(dir.files(QStringLiteral("/hanzi")),
             (QStringList{QStringLiteral("⺀.haz"), QStringLiteral("一.haz"),
                          QStringLiteral("三.haz"), QStringLiteral("永.haz")}));
    // The teaching order first, in GB18030 with CR LF; the first remembered.
    QCOMPARE(dir.read(QStringLiteral("/hanzi.ini")).toHex(' '),
             QByteArray::fromHex("C8FD D2BB D3C0 8138FD38 0D0A").toHex(' '));
    QCOMPARE(dir.read(QStringLiteral("/config.ini")), QByteArray::fromHex("C8FD0D0A"));
    const auto tags = [&](const QString &character, int code) {
        QList<QByteArray> bodies;
        for (const SwfRecord &tag :
             readSwf(dir.read(QStringLiteral("/hanzi/") + character + QStringLiteral(".haz")))
                 .tags) {
            if (tag.code == code)
                bodies.append(tag.body);
        }
        return bodies;
    };
    // The radical ⺀ is in the stroke data but has no reading: its movie
    // writes it without pinyin or sound, and the parent is told.
    QVERIFY2(run.err.contains(QStringLiteral("no reading (pinyin) is known for ⺀")),
             qPrintable(run.err));
    QVERIFY(tags(QStringLiteral("⺀"), SwfTag::DefineSound).isEmpty());
    QVERIFY(tags(QStringLiteral("⺀"), SwfTag::PlaceObject2).size() > 3);

    // 永 says yǒng from its recording (not another tone's); the movie is small.
    const QByteArray yong = dir.read(QStringLiteral("/hanzi/永.haz"));
    QVERIFY(readSwf(yong).compressed && readSwf(yong).frameCount > 100);
    const QList<QByteArray> sounds = tags(QStringLiteral("永"), SwfTag::DefineSound);
    QCOMPARE(sounds.size(), 1);
    const Pcm said = decodeMp3(sounds.first().mid(9)); // after id, format, sample count, seek
    const double same = bestCorrelation(said, recording(QStringLiteral("yong3")));
    const double other = bestCorrelation(said, recording(QStringLiteral("yong1")));
    QVERIFY2(same > 0.9 && other < 0.5, qPrintable(QStringLiteral("%1 %2").arg(same).arg(other)));
    QVERIFY(yong.size() < 40 * 1024);

    // The child has moved on to 一, 永's movie was lost, and a list as the
    // program reads it adds 二; what cannot have a movie is named.
    dir.writeText(QStringLiteral("/config.ini"), QStringLiteral("一\r\n"));
    QVERIFY(QFile::remove(dir.file(QStringLiteral("/hanzi/永.haz"))));
    dir.writeText(QStringLiteral("/more.ini"), QStringLiteral("二 𠀀"));
    const Run again = runTool(arguments + argumentsIn(dir, QStringLiteral("--list more.ini")));
    QCOMPARE(again.exitCode, 0);
    QVERIFY2(again.out.contains(QStringLiteral("Made 2 of 2")) &&
                 again.out.contains(QStringLiteral("3 were up to date")) &&
                 again.out.contains(QStringLiteral("' ' (a space), '𠀀' (not in the stroke data)")),
             qPrintable(again.out));
    QCOMPARE(dir.read(QStringLiteral("/hanzi/永.haz")), yong);
    QVERIFY(dir.exists(QStringLiteral("/hanzi/二.haz")));
    QCOMPARE(dir.read(QStringLiteral("/config.ini")), QByteArray::fromHex("D2BB0D0A"));
}

void TestMovieMakerTool::refusals_data()
{
    QTest::addColumn<QString>("arguments"); // in a fresh folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("moviesLeft");
    // 𠀀 is a real character the stroke data does not have: the other
    // movies are still made whole, the list is not written.
    QTest::newRow("character not in the data")
        << QStringLiteral("--out hanzi 一𠀀 --write-list hanzi.ini") << 1
        << QStringLiteral("𠀀 is not in the stroke data") << QStringList{QStringLiteral("一.haz")};
    QTest::newRow("Latin letters")
        << QStringLiteral("--out hanzi ab") << 2 << QStringLiteral("'a' is not a Chinese character")
        << QStringList();
    QTest::newRow("nothing to make")
        << QStringLiteral("--out hanzi") << 2 << QStringLiteral("no characters") << QStringList();
    QTest::newRow("missing list") << QStringLiteral("--out hanzi --list nope.ini") << 2
                                  << QStringLiteral("nope.ini") << QStringList();
    QTest::newRow("nowhere to put the movies")
        << QStringLiteral("一") << 2 << QStringLiteral("--out") << QStringList();
}

void TestMovieMakerTool::refusals()
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QStringList, moviesLeft);
    const TestFolder dir;
    const Run run = runTool(argumentsIn(dir, arguments));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(dir.files(QStringLiteral("/hanzi")), moviesLeft);
    QVERIFY(!dir.exists(QStringLiteral("/hanzi.ini")));
}

void TestMovieMakerTool::explains_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // expected on standard output, in this order
    QTest::newRow("山, 竖折 by its shape")
        << QStringLiteral("山") << 0
        << QStringList{QStringLiteral("山  reading: shān  voice: recording"),
                       QStringLiteral("  1 竖 (data letter)"),
                       QStringLiteral("  2 竖折 (centre line)"),
                       QStringLiteral("  3 竖 (data letter)")};
    QTest::newRow("马, 提 by the checked table, and 风 by its parts")
        << QStringLiteral("马风") << 0
        << QStringList{QStringLiteral("  3 提 (checked table)"),
                       QStringLiteral("风  reading: fēng"),
                       QStringLiteral("  2 横斜钩 (components)")};
    QTest::newRow("not in the data, the rest still explained")
        << QStringLiteral("𠀀一") << 1
        << QStringList{QStringLiteral("一  reading: yī"), QStringLiteral("  1 横 (data letter)")};
    QTest::newRow("Latin letters") << QStringLiteral("ab") << 2 << QStringList();
}

void TestMovieMakerTool::explains()
{
    QFETCH(QString, characters);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    const Run run = runTool({QStringLiteral("--explain"), characters});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err.contains(QStringLiteral("zorvina-moviemaker:")), exitCode != 0);
    qsizetype at = 0;
    for (const QString &line : lines) {
        at = run.out.indexOf(line, at);
        QVERIFY2(at >= 0, qPrintable(line + QStringLiteral(" not in\n") + run.out));
    }
}

QTEST_GUILESS_MAIN(TestMovieMakerTool)
#include "tst_moviemakertool.moc"
