// SPDX-License-Identifier: GPL-3.0-or-later
// The movie area decides per movie which player plays it: the native one for
// what it understands, the web player, started on first need, for the rest.
#include "moviearea.h"
#include "nativeplayer.h"
#include "practicearea.h"
#include "practicedata.h"
#include "practicesession.h"
#include "swfwriter.h"
#include "testfolder.h"
#include "webengineenvironment.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QStackedLayout>
#include <QTest>
#include <QtEndian>

namespace {

// The web engine starts slowly on a loaded machine.
constexpr int webTimeoutMs = 60000;

QByteArray squareMovie(Rgba colour)
{
    SwfWriter movie({QSize(100, 80), 12.0});
    ShapePath square;
    square.moveTo({10, 10});
    square.lineTo({90, 10});
    square.lineTo({90, 70});
    square.lineTo({10, 70});
    square.close();
    movie.placeObject(1, movie.defineShape({{{square, colour}}}));
    movie.showFrame();
    return movie.finish(SwfWriter::Compression::None);
}

// The movie with one more tag before its end, and its length mended.
QByteArray withTag(QByteArray movie, int code, const QByteArray &body)
{
    movie.chop(2); // the End tag
    QByteArray header(2, '\0');
    qToLittleEndian<quint16>(quint16(code << 6 | 0x3f), header.data());
    QByteArray length(4, '\0');
    qToLittleEndian<quint32>(quint32(body.size()), length.data());
    movie += header + length + body + QByteArray(2, '\0');
    qToLittleEndian<quint32>(quint32(movie.size()), movie.data() + 4);
    return movie;
}

} // namespace

class TestMovieArea : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesThePlayerPerMovie();
    void offersPracticeForMoviesThatCarryIt();
};

void TestMovieArea::choosesThePlayerPerMovie()
{
    TestFolder dir;
    dir.link(QStringLiteral("/ruffle"), QStringLiteral(ZORVINA_APP_DIR "/ruffle"));
    const auto stage = [&](const QString &name, const QByteArray &bytes) {
        dir.write(QStringLiteral("/Work/") + name, bytes);
        return dir.file(QStringLiteral("/Work/") + name);
    };
    const QString red = stage(QStringLiteral("红.swf"), squareMovie({200, 0, 0}));
    const QString blue = stage(QStringLiteral("蓝.swf"), squareMovie({0, 0, 200}));
    // A video stream is nothing the native player plays.
    const QString video = stage(QStringLiteral("影.swf"),
                                withTag(squareMovie({0, 150, 0}), 60, QByteArray(10, '\1')));
    const QString text = stage(QStringLiteral("字.swf"), "not a movie at all");

    MovieArea area(dir.folder(), QStringLiteral(ZORVINA_APP_DIR "/zorvina-webplayer.so"));
    area.resize(200, 160);
    area.show();
    QSignalSpy shown(&area, &MovieArea::movieShown);
    QSignalSpy failed(&area, &MovieArea::loadFailed);
    const auto colourAtCentre = [&] {
        return area.grab().toImage().pixelColor(area.width() / 2, area.height() / 2);
    };

    area.LoadMovie(0, red);
    QTRY_COMPARE(shown.count(), 1);
    QCOMPARE(shown.takeFirst().at(0).toString(), red);
    QCOMPARE(colourAtCentre(), QColor(200, 0, 0));

    // What nobody can play leaves the movie shown as it was, and starts nothing.
    for (const QString &bad : {text, dir.file(QStringLiteral("/Work/无.swf")),
                               dir.file(QStringLiteral("/hanzi/红.swf"))}) {
        area.LoadMovie(0, bad);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.takeFirst().at(0).toString(), bad);
    }
    QVERIFY(!area.webPlayer());
    QCOMPARE(colourAtCentre(), QColor(200, 0, 0));

    area.LoadMovie(0, video);
    QVERIFY(area.webPlayer());
    QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, webTimeoutMs);
    QCOMPARE(shown.takeFirst().at(0).toString(), video);
    auto *layout = area.findChild<QStackedLayout *>();
    QCOMPARE(layout->currentWidget(), area.webPlayer());
    QVERIFY(!area.nativePlayer()->hasMovie());

    // Back to a movie of its own: the native player shows it at once, and
    // the web player keeps nothing playing behind it.
    QSignalSpy webShown(area.webPlayer(), SIGNAL(movieShown(QString)));
    area.LoadMovie(0, blue);
    QTRY_COMPARE(shown.count(), 1);
    QCOMPARE(shown.takeFirst().at(0).toString(), blue);
    QCOMPARE(layout->currentWidget(), area.nativePlayer());
    QCOMPARE(colourAtCentre(), QColor(0, 0, 200));
    QTRY_COMPARE_WITH_TIMEOUT(webShown.count(), 1, webTimeoutMs);
    QCOMPARE(webShown.at(0).at(0).toString(), QString());
    QCOMPARE(shown.count(), 0);
    QCOMPARE(layout->currentWidget(), area.nativePlayer());
}

// Practice comes with the movie: offered while a movie carrying readable
// practice data plays, over when anything else is loaded or it ends.
void TestMovieArea::offersPracticeForMoviesThatCarryIt()
{
    TestFolder dir;
    const auto stage = [&](const QString &name, const QByteArray &bytes) {
        dir.write(QStringLiteral("/Work/") + name, bytes);
        return dir.file(QStringLiteral("/Work/") + name);
    };
    const auto library = [&](const QString &character) {
        QFile file(QStringLiteral(ZORVINA_APP_DIR "/hanzi/") + character + QStringLiteral(".haz"));
        return stage(character + QStringLiteral(".swf"),
                     file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    };
    const QString one = library(QStringLiteral("一"));
    const QString person = library(QStringLiteral("人"));
    const QString plain = stage(QStringLiteral("方.swf"), squareMovie({200, 0, 0}));
    const QString damaged =
        stage(QStringLiteral("坏.swf"), withTag(squareMovie({0, 0, 200}), practice::TagCode,
                                                QByteArray("ZVP\1 not the data it claims")));
    const QString missing = dir.file(QStringLiteral("/Work/无.swf"));

    MovieArea area(dir.folder(), QStringLiteral(ZORVINA_APP_DIR "/zorvina-webplayer.so"));
    area.resize(577, 449);
    area.show();
    QSignalSpy shown(&area, &MovieArea::movieShown);
    QSignalSpy changed(&area, &MovieArea::practiceChanged);
    const auto changes = [&] {
        QList<bool> said;
        for (const QList<QVariant> &args : std::as_const(changed))
            said.append(args.at(0).toBool());
        changed.clear();
        return said;
    };
    auto *layout = area.findChild<QStackedLayout *>();
    const auto lessonPlays = [&] {
        return !area.isPractising() && layout->currentWidget() == area.nativePlayer() &&
               area.nativePlayer()->hasMovie();
    };

    for (const QString &path : {plain, damaged}) {
        area.LoadMovie(0, path);
        QTRY_COMPARE(shown.count(), 1);
        shown.clear();
        QVERIFY2(!area.canPractise(), qPrintable(path));
        area.setPractising(true);
        QVERIFY(lessonPlays());
    }
    QVERIFY(!area.practiceArea());
    QCOMPARE(changes(), QList<bool>());

    area.LoadMovie(0, one);
    QVERIFY(area.canPractise());
    area.setPractising(true);
    QVERIFY(area.isPractising());
    QCOMPARE(layout->currentWidget(), area.practiceArea());
    QVERIFY(area.practiceArea()->isActive());
    QCOMPARE(area.practiceArea()->session()->strokeCount(), 1);
    // The lesson is silent and still while the child writes.
    QVERIFY(!area.nativePlayer()->hasMovie());
    area.setPractising(true);
    area.setPractising(false);
    QVERIFY(lessonPlays());
    QVERIFY(!area.practiceArea()->isActive());
    QCOMPARE(changes(), (QList<bool>{true, false}));

    // Another character ends practice; its own practice is offered.
    area.setPractising(true);
    area.LoadMovie(0, person);
    QVERIFY(lessonPlays());
    QVERIFY(area.canPractise());
    area.setPractising(true);
    QCOMPARE(area.practiceArea()->session()->strokeCount(), 2);

    // The practice's own end brings the lesson back.
    Q_EMIT area.practiceArea()->finished();
    QVERIFY(lessonPlays());
    QCOMPARE(changes(), (QList<bool>{true, false, true, false}));

    // A movie that cannot load leaves the last lesson playing, without practice.
    area.setPractising(true);
    QSignalSpy failed(&area, &MovieArea::loadFailed);
    area.LoadMovie(0, missing);
    QCOMPARE(failed.count(), 1);
    QVERIFY(lessonPlays());
    QVERIFY(!area.canPractise());
    QCOMPARE(changes(), (QList<bool>{true, false}));
}

int main(int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    TestMovieArea test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_moviearea.moc"
