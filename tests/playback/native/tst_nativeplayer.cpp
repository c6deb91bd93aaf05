// SPDX-License-Identifier: GPL-3.0-or-later
// The native player's widget: its clock, its painting and its menu, on
// movies the SWF writer makes.
#include "nativeplayer.h"
#include "stage.h"
#include "swfmovie.h"
#include "swfwriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr double frameRate = 12;

// A triangle that moves right by 10 pixels a frame, over `frames` frames.
std::shared_ptr<const swf::Movie> movingTriangle(int frames)
{
    SwfWriter movie({QSize(100, 80), frameRate});
    movie.setBackgroundColor({255, 250, 240});
    ShapePath triangle;
    triangle.moveTo({0, 10});
    triangle.lineTo({40, 70});
    triangle.lineTo({0, 70});
    triangle.close();
    const quint16 id = movie.defineShape({{{triangle, Rgba{20, 20, 160}}}});
    movie.placeObject(1, id);
    movie.showFrame();
    for (int i = 1; i < frames; ++i) {
        movie.moveObject(1, Matrix::translation({10.0 * i, 0}));
        movie.showFrame();
    }
    const swf::ReadResult read = swf::readMovie(movie.finish(SwfWriter::Compression::Zlib));
    if (read.verdict != swf::ReadResult::Verdict::Native)
        qFatal("the test movie does not play natively: %s", qPrintable(read.reason));
    return read.movie;
}

QAction *menuItem(QMenu *menu, const char *name)
{
    auto *action = menu->findChild<QAction *>(QLatin1String(name));
    if (!action)
        qFatal("no menu item %s", name);
    return action;
}

// Pixels that are neither the background nor the triangle: the soft edge.
int edgePixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != QColor(255, 250, 240) && c != QColor(20, 20, 160))
                ++count;
        }
    }
    return count;
}

} // namespace

class TestNativePlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void playsAtTheMoviesRate();
    void menuDrivesTheMovie();
    void qualityTurnsSmoothingOff();
};

void TestNativePlayer::playsAtTheMoviesRate()
{
    NativePlayer player;
    player.resize(200, 160);
    player.show();
    QSignalSpy shown(&player, &NativePlayer::movieShown);
    QElapsedTimer clock;
    clock.start();
    player.play(movingTriangle(4));
    QTRY_COMPARE(shown.count(), 1);
    // Shown "show all": the 100x80 stage doubled, the background everywhere.
    const QImage first = player.grab().toImage();
    QCOMPARE(first.pixelColor(199, 0), QColor(255, 250, 240));
    QCOMPARE(first.pixelColor(10, 130), QColor(20, 20, 160));

    QTRY_COMPARE(player.stage()->currentFrame(), 3);
    // Never faster than the movie's rate, whatever the timer does.
    QVERIFY(clock.elapsed() >= 3 * 1000 / frameRate - 5);
    QTRY_VERIFY(player.grab().toImage().pixelColor(70, 130) == QColor(20, 20, 160));
    // It loops: the first frame comes round again, and the signal does not.
    QTRY_COMPARE(player.stage()->currentFrame(), 0);
    QCOMPARE(shown.count(), 1);

    player.play(movingTriangle(2));
    QTRY_COMPARE(shown.count(), 2);
    player.clear();
    QVERIFY(!player.hasMovie());
    QTRY_COMPARE(player.grab().toImage().pixelColor(10, 130), QColor(Qt::white));
}

void TestNativePlayer::menuDrivesTheMovie()
{
    NativePlayer player;
    QMenu *empty = player.createMenu();
    // Without a movie nothing in the menu can do anything.
    for (const char *name : {"play", "loop", "rewind", "forward", "back"})
        QVERIFY(!menuItem(empty, name)->isEnabled());

    player.play(movingTriangle(5));
    const swf::Stage *stage = player.stage();
    struct Step
    {
        const char *item;
        int frame;
        bool playing;
    };
    const Step steps[] = {{"rewind", 0, false}, {"forward", 1, false}, {"forward", 2, false},
                          {"back", 1, false},   {"rewind", 0, false}, {"back", 0, false}};
    for (const Step &step : steps) {
        menuItem(player.createMenu(), step.item)->trigger();
        QCOMPARE(stage->currentFrame(), step.frame);
        QCOMPARE(stage->isPlaying(), step.playing);
    }
    QMenu *menu = player.createMenu();
    QVERIFY(!menuItem(menu, "play")->isChecked());
    QVERIFY(menuItem(menu, "loop")->isChecked());
    menuItem(menu, "loop")->trigger();
    menuItem(menu, "play")->trigger();
    QVERIFY(stage->isPlaying());
    // Without looping the movie stops on its last frame.
    QTRY_COMPARE(stage->currentFrame(), 4);
    QTRY_VERIFY(!stage->isPlaying());
    QVERIFY(!menuItem(player.createMenu(), "loop")->isChecked());
}

void TestNativePlayer::qualityTurnsSmoothingOff()
{
    NativePlayer player;
    player.resize(200, 160);
    player.show();
    player.play(movingTriangle(1));
    QTRY_VERIFY(edgePixels(player.grab().toImage()) > 20);
    auto *quality = player.createMenu()->findChild<QMenu *>(QStringLiteral("quality"));
    const QList<QAction *> levels = quality->actions();
    QCOMPARE(levels.size(), 2);
    levels.first()->trigger();
    QCOMPARE(player.quality(), NativePlayer::Quality::Low);
    QTRY_COMPARE(edgePixels(player.grab().toImage()), 0);
    QVERIFY(player.createMenu()->findChild<QMenu *>(QStringLiteral("quality"))->actions().first()->isChecked());
}

QTEST_MAIN(TestNativePlayer)
#include "tst_nativeplayer.moc"
