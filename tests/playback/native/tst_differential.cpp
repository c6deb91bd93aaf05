// SPDX-License-Identifier: GPL-3.0-or-later
// The native player against the web player (Ruffle), still by still: every
// feature movie the native player should play reads as native and looks
// like Ruffle's picture of it, the rest is left to Ruffle; a sample of the
// character library looks the same in both. Also checks the cutting of
// stills the comparison rests on.
#include "featuremovies.h"
#include "stillcompare.h"
#include "swferror.h"
#include "swfmovie.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTest>
#include <memory>

namespace {

Q_CONSTRUCTOR_FUNCTION(prepareWebEngineProcess)

const QString Library = QStringLiteral(ZORVINA_APP_DIR "/hanzi");

// Faults of the native player this comparison found that are not fixed yet.
// Their rows fail as expected; once fixed they pass unexpectedly, which
// fails the test until the entry goes.
const QHash<QString, QString> KnownFaults = {
    {QStringLiteral("text-glyph-fill-sides"),
     QStringLiteral("glyph outlines are filled by winding, whatever side of an edge their fill "
                    "is on (swfshapes.cpp, glyphPath)")},
};

const QList<FeatureMovie> &features()
{
    static const QList<FeatureMovie> movies = featureMovies();
    return movies;
}

QString verdictName(swf::ReadResult::Verdict verdict)
{
    switch (verdict) {
    case swf::ReadResult::Verdict::Native:
        return QStringLiteral("native");
    case swf::ReadResult::Verdict::Unsupported:
        return QStringLiteral("unsupported");
    case swf::ReadResult::Verdict::NotAMovie:
        break;
    }
    return QStringLiteral("not a movie");
}

// Where the pictures of a failed comparison go, for a person to look at.
QString keepPictures(const QString &name, int frame, const QImage &web, const QImage &native,
                     const stills::Difference &difference)
{
    const QString dir = QDir::temp().filePath(QStringLiteral("zorvina-differential"));
    QDir().mkpath(dir);
    const QString base = QStringLiteral("%1/%2-frame%3").arg(dir, name).arg(frame);
    web.save(base + QStringLiteral("-web.png"));
    native.save(base + QStringLiteral("-native.png"));
    difference.picture.save(base + QStringLiteral("-diff.png"));
    return base;
}

} // namespace

class TestDifferential : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void stillsStopOnTheirFrame_data();
    void stillsStopOnTheirFrame();
    void stillsRefuseWhatTheyCannotCut_data();
    void stillsRefuseWhatTheyCannotCut();
    void featureMoviesGoToTheirPlayer_data();
    void featureMoviesGoToTheirPlayer();
    void featureStillsLookLikeTheWebPlayers_data();
    void featureStillsLookLikeTheWebPlayers();
    void libraryStillsLookLikeTheWebPlayers_data();
    void libraryStillsLookLikeTheWebPlayers();

private:
    void compareStill();

    std::unique_ptr<stills::WebStills> m_web;
    const stills::Tolerance m_tolerance;
};

void TestDifferential::initTestCase()
{
    m_web = std::make_unique<stills::WebStills>(QStringLiteral(ZORVINA_APP_DIR "/ruffle"));
    QVERIFY(m_web->isValid());
}

void TestDifferential::stillsStopOnTheirFrame_data()
{
    QTest::addColumn<QByteArray>("movie");
    QTest::addColumn<int>("frame");
    for (const FeatureMovie &m : features()) {
        if (m.name == QLatin1String("sound-stream") ||
            m.name.startsWith(QLatin1String("compressed")) || m.name == QLatin1String("morph2")) {
            for (int frame : QSet<int>{1, m.frames.last()})
                QTest::addRow("%s at %d", qPrintable(m.name), frame) << m.bytes << frame;
        }
    }
}

// The still keeps the frames up to its own, read by the native reader (not
// the writer's), and its last frame ends in a stop; the compression stays.
void TestDifferential::stillsStopOnTheirFrame()
{
    QFETCH(QByteArray, movie);
    QFETCH(int, frame);
    const QByteArray still = stillAt(movie, frame);
    QCOMPARE(still.left(3), movie.left(3));
    const swf::ReadResult read = swf::readMovie(still);
    QCOMPARE(verdictName(read.verdict), QStringLiteral("native"));
    QCOMPARE(int(read.movie->root.frames.size()), frame);
    const swf::Frame &last = read.movie->root.frames.last();
    QVERIFY(!last.actions.isEmpty());
    QVERIFY(last.actions.last().startsWith('\x07')); // stop
    const swf::ReadResult whole = swf::readMovie(movie);
    for (int i = 0; i < frame; ++i)
        QCOMPARE(read.movie->root.frames[i].commands.size(),
                 whole.movie->root.frames[i].commands.size());

    const QByteArray faster = withFrameRate(still, 90);
    const swf::ReadResult fast = swf::readMovie(faster);
    QCOMPARE(fast.movie->frameRate, 90.0);
    QCOMPARE(int(fast.movie->root.frames.size()), frame);
}

void TestDifferential::stillsRefuseWhatTheyCannotCut_data()
{
    QTest::addColumn<QByteArray>("movie");
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("reason");
    const QByteArray plain = features().first().bytes; // one frame, uncompressed
    QByteArray cut = plain;
    cut.chop(10);
    QByteArray zlib = stillAt(features()[2].bytes, 1);
    zlib[0] = 'C';
    QTest::newRow("frame past the end") << plain << 2 << QStringLiteral("has 1 frames, not 2");
    QTest::newRow("frame 0") << plain << 0 << QStringLiteral("frame 0 does not exist");
    QTest::newRow("not a movie") << QByteArray("PK\x03\x04 not a movie at all") << 1
                                 << QStringLiteral("not a Flash movie");
    QTest::newRow("short") << QByteArray("FWS") << 1 << QStringLiteral("not a movie");
    QTest::newRow("cut short") << cut << 1 << QStringLiteral("cut short");
    QTest::newRow("damaged zlib") << zlib << 1 << QStringLiteral("zlib data is damaged");
}

void TestDifferential::stillsRefuseWhatTheyCannotCut()
{
    QFETCH(QByteArray, movie);
    QFETCH(int, frame);
    QFETCH(QString, reason);
    try {
        stillAt(movie, frame);
        QFAIL("a movie that cannot be cut was cut");
    } catch (const SwfError &e) {
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
}

void TestDifferential::featureMoviesGoToTheirPlayer_data()
{
    QTest::addColumn<QByteArray>("movie");
    QTest::addColumn<QString>("verdict");
    for (const FeatureMovie &m : features())
        QTest::newRow(qPrintable(m.name))
            << m.bytes << (m.native ? QStringLiteral("native") : QStringLiteral("unsupported"));
}

void TestDifferential::featureMoviesGoToTheirPlayer()
{
    QFETCH(QByteArray, movie);
    QFETCH(QString, verdict);
    const swf::ReadResult read = swf::readMovie(movie);
    QVERIFY2(verdictName(read.verdict) == verdict, qPrintable(read.reason));
    QCOMPARE(read.reason.isEmpty(), verdict == QLatin1String("native"));
}

void TestDifferential::featureStillsLookLikeTheWebPlayers_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QByteArray>("still");
    QTest::addColumn<int>("frame");
    for (const FeatureMovie &m : features()) {
        // Movies the web player draws unlike Flash prove nothing here; they
        // are listed with the reason in featuremovies.cpp.
        if (!m.native || !m.webReference)
            continue;
        for (int frame : m.frames) {
            const int count = int(swf::readMovie(m.bytes).movie->root.frames.size());
            frame = std::min(frame, count);
            QTest::addRow("%s at %d", qPrintable(m.name), frame)
                << m.name << (m.wholeMovie ? m.bytes : stillAt(m.bytes, frame)) << frame;
        }
    }
}

void TestDifferential::featureStillsLookLikeTheWebPlayers()
{
    compareStill();
}

// Ten characters from all over the library, each at its start, a little way
// in and finished.
void TestDifferential::libraryStillsLookLikeTheWebPlayers_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QByteArray>("still");
    QTest::addColumn<int>("frame");
    if (!QFileInfo(Library).isDir())
        QSKIP("no character library: build the program first");
    QStringList library =
        QDir(Library).entryList({QStringLiteral("*.haz")}, QDir::Files, QDir::Name);
    for (int i = 0; i < 10 && !library.isEmpty(); ++i) {
        const QString name = library[int(qint64(i) * library.size() / 10)];
        QFile file(Library + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray movie = file.readAll();
        const int count = stills::frameCount(movie);
        QVERIFY2(count > 10, qPrintable(name));
        for (int frame : {1, 10, count})
            QTest::addRow("library %s at %d", qPrintable(name), frame)
                << QFileInfo(name).completeBaseName() << stillAt(movie, frame) << frame;
    }
}

void TestDifferential::libraryStillsLookLikeTheWebPlayers()
{
    compareStill();
}

// The row's still, natively and in the web player.
void TestDifferential::compareStill()
{
    QFETCH(QString, movie);
    QFETCH(QByteArray, still);
    QFETCH(int, frame);
    const QSize size = stills::stageSize(still);
    QVERIFY(!size.isEmpty());
    QString error;
    const QImage native = stills::nativePicture(still, frame - 1, size, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // A quicker clock shows the same frame sooner.
    const double rate = 120;
    const QImage web = m_web->show(
        withFrameRate(still, rate), size, int((frame - 1) * 1000 / rate),
        [&](const QImage &picture) {
            return m_tolerance.accepts(stills::compare(picture, native, m_tolerance.channel));
        },
        30000, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const stills::Difference difference = stills::compare(web, native, m_tolerance.channel);
    const bool alike = m_tolerance.accepts(difference);
    const QString pictures =
        alike ? QString() : keepPictures(movie, frame, web, native, difference);
    if (KnownFaults.contains(movie))
        QEXPECT_FAIL("", qPrintable(KnownFaults.value(movie)), Continue);
    QVERIFY2(alike, qPrintable(QStringLiteral("%1% of the pixels differ by more than %2 (largest "
                                              "%3); the pictures are %4-*.png")
                                   .arg(100 * difference.fractionPast(), 0, 'f', 3)
                                   .arg(m_tolerance.channel)
                                   .arg(difference.largest)
                                   .arg(pictures)));
}

QTEST_MAIN(TestDifferential)
#include "tst_differential.moc"
