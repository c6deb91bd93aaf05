// SPDX-License-Identifier: GPL-3.0-or-later
// The practice data a lesson's movie carries: written by the movie maker,
// read back by the program, refused whole when damaged, and invisible to the
// lesson itself.
#include "characterdata.h"
#include "moviebuilder.h"
#include "practicedata.h"
#include "renderer.h"
#include "speech.h"
#include "stage.h"
#include "swfmovie.h"
#include "textfile.h"

#include <QFile>
#include <QPainter>
#include <QTest>
#include <QtEndian>
#include <cmath>

using practice::PracticeData;

namespace {

const QString RealData = QStringLiteral(ZORVINA_HANZI_DATA);

MovieInput lessonOf(const QString &character)
{
    MovieInput input;
    input.data = loadCharacter(RealData, character);
    QStringList names;
    for (int i = 0; i < input.data.strokes.size(); ++i)
        names.append(QStringLiteral("第%1笔").arg(i + 1));
    Lettering(QStringLiteral(ZORVINA_LABEL_FONT)).label(input, names, int(names.size()));
    Pcm tone{22050, {}};
    for (int i = 0; i < 4410; ++i)
        tone.samples.append(qint16(5000 * std::sin(i * 2 * M_PI * 440 / 22050)));
    input.sound = encodeMp3(tone);
    return input;
}

PracticeData sample()
{
    return practiceData(lessonOf(QStringLiteral("永")), 7);
}

double largestMove(const QPainterPath &a, const QPainterPath &b)
{
    if (a.elementCount() != b.elementCount())
        return 1e9;
    double largest = 0;
    for (int i = 0; i < a.elementCount(); ++i)
        largest = std::max(largest, QLineF(a.elementAt(i), b.elementAt(i)).length());
    return largest;
}

// The movie's tags after the header, uncompressed, as a FWS file.
QByteArray uncompressed(const QByteArray &cws)
{
    QByteArray sized(4, '\0');
    qToBigEndian(qFromLittleEndian<quint32>(cws.constData() + 4) - 8, sized.data());
    QByteArray file = QByteArray("FWS") + cws.mid(3, 5) + qUncompress(sized + cws.mid(8));
    return file;
}

// The same movie without the practice tag, which the maker writes last.
QByteArray withoutPracticeTag(QByteArray fws, qsizetype tagBody)
{
    const qsizetype tagStart = fws.size() - 2 - 6 - tagBody;
    const quint16 header = qFromLittleEndian<quint16>(fws.constData() + tagStart);
    if (header != ((practice::TagCode << 6) | 0x3f))
        return {};
    fws.remove(tagStart, 6 + tagBody);
    qToLittleEndian(quint32(fws.size()), fws.data() + 4);
    return fws;
}

QList<QImage> frames(const QByteArray &file, const QList<int> &wanted)
{
    const swf::ReadResult read = swf::readMovie(file);
    if (read.verdict != swf::ReadResult::Verdict::Native)
        return {};
    swf::Stage stage(read.movie);
    swf::Renderer renderer(read.movie);
    QList<QImage> shown;
    for (int frame = 0; frame <= wanted.last(); ++frame) {
        if (wanted.contains(frame)) {
            QImage image(577, 449, QImage::Format_ARGB32_Premultiplied);
            image.fill(read.movie->background);
            QPainter painter(&image);
            renderer.paint(painter, stage.root(),
                           swf::Renderer::showAll(read.movie->stage, image.rect()));
            shown.append(image);
        }
        stage.advance();
    }
    return shown;
}

} // namespace

class TestPracticeData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsBackWhatWasWritten();
    void refusesDamagedData_data();
    void refusesDamagedData();
    void refusesEveryTruncation();
    void lessonIsTheSameWithTheTag();
    void everyLibraryMovieCarriesIt();
};

void TestPracticeData::readsBackWhatWasWritten()
{
    const PracticeData written = sample();
    const std::optional<PracticeData> read = practice::readPracticeData(writePracticeData(written));
    QVERIFY(read);
    QCOMPARE(read->grid, written.grid);
    QCOMPARE(read->nameBox, written.nameBox);
    QCOMPARE(read->countBox, written.countBox);
    QCOMPARE(read->writingColor, written.writingColor);
    QCOMPARE(read->finishedColor, written.finishedColor);
    QCOMPARE(read->gridColor, written.gridColor);
    QCOMPARE(read->countColor, written.countColor);
    QCOMPARE(read->soundId, quint16(7));
    QCOMPARE(read->strokes.size(), 5);
    for (int i = 0; i < written.strokes.size(); ++i) {
        QCOMPARE(read->strokes[i].name, written.strokes[i].name);
        QCOMPARE(read->strokes[i].median, written.strokes[i].median);
        // Whole units: at most half a unit off in each direction.
        QVERIFY2(largestMove(read->strokes[i].outline, written.strokes[i].outline) <= 0.71,
                 qPrintable(QString::number(i)));
    }
    // The character square lands on the grid.
    QCOMPARE(read->characterToStage().map(QPointF(1024, 1024)), written.grid.bottomRight());
}

void TestPracticeData::refusesDamagedData_data()
{
    QTest::addColumn<QByteArray>("body");
    const QByteArray good = writePracticeData(sample());
    const auto changed = [&](qsizetype at, QByteArray bytes) {
        QByteArray body = good;
        body.replace(at, bytes.size(), bytes);
        return body;
    };
    // Header: magic 3, version 1, three rectangles of 16, four colours of 3,
    // sound 2, stroke count 1; then the first stroke's name length.
    const qsizetype strokeCount = 4 + 48 + 12 + 2;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("other magic") << changed(0, "ZVQ");
    QTest::newRow("later version") << changed(3, QByteArray(1, '\2'));
    QTest::newRow("grid without width") << changed(12, QByteArray(4, '\0'));
    QTest::newRow("grid far away") << changed(4, QByteArray::fromHex("ffffff7f"));
    QTest::newRow("no strokes") << changed(strokeCount, QByteArray(1, '\0'));
    QTest::newRow("too many strokes") << changed(strokeCount, QByteArray(1, char(65)));
    QTest::newRow("more strokes than given") << changed(strokeCount, QByteArray(1, '\6'));
    QTest::newRow("name past the bound") << changed(strokeCount + 1, QByteArray(1, char(200)));
    QTest::newRow("trailing bytes") << good + QByteArray(3, 'x');
    QTest::newRow("past the size bound") << good + QByteArray(practice::Limits::tagBytes, '\0');
    QTest::newRow("words") << QByteArray("ZVP\1 hello, this is no practice data at all");

    // The first stroke's centre line: its point count, then its points.
    const qsizetype name = good.at(strokeCount + 1);
    const qsizetype median = strokeCount + 2 + name;
    QTest::newRow("one-point centre line") << changed(median, QByteArray::fromHex("0100"));
    QTest::newRow("centre line past the bound") << changed(median, QByteArray::fromHex("0102"));
    QTest::newRow("coordinate past the bound") << changed(median + 2, QByteArray::fromHex("0080"));
}

void TestPracticeData::refusesDamagedData()
{
    QFETCH(QByteArray, body);
    QVERIFY(!practice::readPracticeData(body));
}

void TestPracticeData::refusesEveryTruncation()
{
    const QByteArray good = writePracticeData(sample());
    QVERIFY(practice::readPracticeData(good));
    for (qsizetype size = 0; size < good.size(); ++size)
        QVERIFY2(!practice::readPracticeData(good.left(size)), qPrintable(QString::number(size)));
}

// Players skip the tag: the movie with it shows exactly what the movie
// without it shows, frame for frame.
void TestPracticeData::lessonIsTheSameWithTheTag()
{
    const MovieInput input = lessonOf(QStringLiteral("永"));
    const QList<PlannedFrame> plan = planMovie(input);
    const QByteArray withTag = uncompressed(buildMovie(input, plan));
    const QByteArray tag = writePracticeData(practiceData(input, 0));
    // The sound id is the only part the data learns from the movie.
    const swf::ReadResult read = swf::readMovie(withTag);
    QCOMPARE(read.verdict, swf::ReadResult::Verdict::Native);
    const QByteArray carried = read.movie->privateData.value(practice::TagCode);
    QCOMPARE(carried.size(), tag.size());
    const std::optional<PracticeData> data = practice::readPracticeData(carried);
    QVERIFY(data);
    QVERIFY(read.movie->sounds.contains(data->soundId));

    const QByteArray withoutTag = withoutPracticeTag(withTag, tag.size());
    QVERIFY(!withoutTag.isEmpty());
    const swf::ReadResult plain = swf::readMovie(withoutTag);
    QCOMPARE(plain.verdict, swf::ReadResult::Verdict::Native);
    QVERIFY(plain.movie->privateData.isEmpty());

    const QList<int> wanted{0, 10, 40, int(plan.size()) / 2, int(plan.size()) - 1};
    const QList<QImage> a = frames(withTag, wanted);
    const QList<QImage> b = frames(withoutTag, wanted);
    QCOMPARE(a.size(), wanted.size());
    QCOMPARE(b.size(), wanted.size());
    for (int i = 0; i < wanted.size(); ++i)
        QVERIFY2(a[i] == b[i], qPrintable(QStringLiteral("frame %1").arg(wanted[i])));
}

// The default library: every movie plays natively and carries readable
// practice data with every stroke named and the syllable's sound.
void TestPracticeData::everyLibraryMovieCarriesIt()
{
    const QString appDir = QStringLiteral(ZORVINA_APP_DIR);
    const QStringList list = readCharacterList(appDir + QStringLiteral("/hanzi.ini"));
    QVERIFY(list.size() >= 2500);
    int checked = 0;
    for (const QString &character : list) {
        QFile file(appDir + QStringLiteral("/hanzi/") + character + QStringLiteral(".haz"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const swf::ReadResult read = swf::readMovie(file.readAll());
        QVERIFY2(read.verdict == swf::ReadResult::Verdict::Native, qPrintable(character));
        const std::optional<PracticeData> data =
            practice::readPracticeData(read.movie->privateData.value(practice::TagCode));
        QVERIFY2(data, qPrintable(character));
        QCOMPARE(data->strokes.size(), loadCharacter(RealData, character).strokes.size());
        for (const practice::Stroke &stroke : data->strokes)
            QVERIFY2(!stroke.name.isEmpty(), qPrintable(character));
        QVERIFY2(read.movie->sounds.contains(data->soundId), qPrintable(character));
        ++checked;
    }
    QCOMPARE(checked, list.size());
}

QTEST_MAIN(TestPracticeData)
#include "tst_practicedata.moc"
