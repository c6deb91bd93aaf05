// zorvina-moviemaker run as a parent would run it.
#include "speech.h"
#include "swfreader.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
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

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(fileName));
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

Pcm recording(const QString &syllable)
{
    return resampled(
        decodeMp3(readAll(recordingFile(QStringLiteral(ZORVINA_VOICE_DATA), syllable))), 22050);
}

} // namespace

class TestMovieMakerTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void makesMoviesOfCharacters();
    void makesListAndConfig();
    void refusals_data();
    void refusals();
};

void TestMovieMakerTool::makesMoviesOfCharacters()
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("hanzi"));
    const QString cache = dir.filePath(QStringLiteral("made.txt"));
    const Run run = runTool(
        {QStringLiteral("--out"), out, QStringLiteral("--cache"), cache, QStringLiteral("一永⺀")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QStringLiteral("Made 3 of 3")), qPrintable(run.out));
    QCOMPARE(QDir(out).entryList(QDir::Files),
             QStringList(
                 {QStringLiteral("⺀.haz"), QStringLiteral("一.haz"), QStringLiteral("永.haz")}));
    const auto tags = [&](const QString &character, int code) {
        QList<QByteArray> bodies;
        for (const SwfRecord &tag :
             readSwf(readAll(out + QLatin1Char('/') + character + QStringLiteral(".haz"))).tags) {
            if (tag.code == code)
                bodies.append(tag.body);
        }
        return bodies;
    };
    // The radical ⺀ is in the stroke data but has no reading: its movie
    // writes it without pinyin or sound, and the parent is told.
    const QString radical = QStringLiteral("⺀");
    QVERIFY2(run.err.contains(QStringLiteral("no reading (pinyin) is known for ⺀")),
             qPrintable(run.err));
    QVERIFY(tags(radical, SwfTag::DefineSound).isEmpty());
    QVERIFY(tags(radical, SwfTag::StartSound).isEmpty());
    QVERIFY(tags(radical, SwfTag::PlaceObject2).size() > 3);

    // 永 says yǒng from its recording (not another tone's); the movie is small.
    const QByteArray yong = readAll(out + QStringLiteral("/永.haz"));
    QVERIFY(readSwf(yong).compressed && readSwf(yong).frameCount > 100);
    const QList<QByteArray> sounds = tags(QStringLiteral("永"), SwfTag::DefineSound);
    QCOMPARE(sounds.size(), 1);
    const Pcm said = decodeMp3(sounds.first().mid(9)); // after id, format, sample count, seek
    const double same = bestCorrelation(said, recording(QStringLiteral("yong3")));
    const double other = bestCorrelation(said, recording(QStringLiteral("yong1")));
    QVERIFY2(same > 0.9 && other < 0.5, qPrintable(QStringLiteral("%1 %2").arg(same).arg(other)));
    QVERIFY(yong.size() < 40 * 1024);

    // Only the missing movie is made again, and the same.
    QVERIFY(QFile::remove(out + QStringLiteral("/永.haz")));
    const Run again = runTool(
        {QStringLiteral("--out"), out, QStringLiteral("--cache"), cache, QStringLiteral("一永")});
    QCOMPARE(again.exitCode, 0);
    QVERIFY2(again.out.contains(QStringLiteral("Made 1 of 1")) &&
                 again.out.contains(QStringLiteral("1 were up to date")),
             qPrintable(again.out));
    QCOMPARE(readAll(out + QStringLiteral("/永.haz")), yong);
}

void TestMovieMakerTool::makesListAndConfig()
{
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("order.txt"));
    writeAll(list, QStringLiteral("# teaching order\n三\n一\n").toUtf8());
    const QStringList arguments{QStringLiteral("--out"),
                                dir.filePath(QStringLiteral("hanzi")),
                                QStringLiteral("--order"),
                                list,
                                QStringLiteral("--write-list"),
                                dir.filePath(QStringLiteral("hanzi.ini")),
                                QStringLiteral("--write-config"),
                                dir.filePath(QStringLiteral("config.ini")),
                                QStringLiteral("二")};
    QCOMPARE(runTool(arguments).exitCode, 0);
    // 三一二 in GB18030, CR LF; the first of them remembered.
    QCOMPARE(readAll(dir.filePath(QStringLiteral("hanzi.ini"))).toHex(' '),
             QByteArray::fromHex("C8FDD2BBB6FE0D0A").toHex(' '));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("config.ini"))), QByteArray::fromHex("C8FD0D0A"));

    // The child has moved on to 二: a rebuild keeps that.
    writeAll(dir.filePath(QStringLiteral("config.ini")), QByteArray::fromHex("B6FE0D0A"));
    QCOMPARE(runTool(arguments).exitCode, 0);
    QCOMPARE(readAll(dir.filePath(QStringLiteral("config.ini"))), QByteArray::fromHex("B6FE0D0A"));
    // A list as the program reads it: what cannot have a movie is named.
    writeSingleLine(dir.filePath(QStringLiteral("hanzi.ini")), QStringLiteral("三 𠀀一"));
    const Run again =
        runTool({QStringLiteral("--out"), dir.filePath(QStringLiteral("again")),
                 QStringLiteral("--list"), dir.filePath(QStringLiteral("hanzi.ini"))});
    QCOMPARE(again.exitCode, 0);
    QVERIFY2(again.out.contains(QStringLiteral("' ' (a space), '𠀀' (not in the stroke data)")),
             qPrintable(again.out));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("again"))).entryList(QDir::Files),
             (QStringList{QStringLiteral("一.haz"), QStringLiteral("三.haz")}));
}

void TestMovieMakerTool::refusals_data()
{
    QTest::addColumn<QStringList>("arguments"); // "hanzi" and *.ini in a fresh folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("moviesLeft");
    const QString out = QStringLiteral("--out");
    const QString hanzi = QStringLiteral("hanzi");

    // 𠀀 is a real character the stroke data does not have: the other
    // movies are still made whole, the list is not written.
    QTest::newRow("character not in the data")
        << QStringList{out, hanzi, QStringLiteral("一𠀀"), QStringLiteral("--write-list"),
                       QStringLiteral("hanzi.ini")}
        << 1 << QStringLiteral("𠀀 is not in the stroke data")
        << QStringList{QStringLiteral("一.haz")};
    QTest::newRow("Latin letters")
        << QStringList{out, hanzi, QStringLiteral("ab")} << 2
        << QStringLiteral("'a' is not a Chinese character") << QStringList();
    QTest::newRow("nothing to make")
        << QStringList{out, hanzi} << 2 << QStringLiteral("no characters") << QStringList();
    QTest::newRow("missing list") << QStringList{out, hanzi, QStringLiteral("--list"),
                                                 QStringLiteral("nope.ini")}
                                  << 2 << QStringLiteral("nope.ini") << QStringList();
    QTest::newRow("nowhere to put the movies")
        << QStringList{QStringLiteral("一")} << 2 << out << QStringList();
}

void TestMovieMakerTool::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QStringList, moviesLeft);
    QTemporaryDir dir;
    for (QString &argument : arguments) {
        if (argument == QLatin1String("hanzi") || argument.endsWith(QLatin1String(".ini")))
            argument = dir.filePath(argument);
    }
    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("hanzi"))).entryList(QDir::Files), moviesLeft);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("hanzi.ini"))));
}

QTEST_GUILESS_MAIN(TestMovieMakerTool)
#include "tst_moviemakertool.moc"
