// SPDX-License-Identifier: GPL-3.0-or-later
// Character movies in the real player (Ruffle in Qt WebEngine): what it draws
// must be the data's strokes, checked against Qt's own painting of them.
#include "characterdata.h"
#include "frameplan.h"
#include "moviebuilder.h"
#include "stagepixels.h"
#include "testfolder.h"
#include "webengineplayer.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineF>
#include <QPainter>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTest>

namespace {

Q_CONSTRUCTOR_FUNCTION(prepareWebEngineProcess)

// The web engine starts slowly on a loaded machine.
constexpr int timeoutMs = 60000;

const QString Data = QStringLiteral(ZORVINA_HANZI_DATA);

// What a character's strokes should look like on the stage, painted straight
// from the data file by Qt's SVG renderer: independent of the movie maker's
// own reading of the outlines. White background, black strokes.
QImage referenceStrokes(const QString &dataDir, const QString &character, int onlyStroke = -1)
{
    QFile file(dataDir + QLatin1Char('/') + character + QStringLiteral(".json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no data for the reference");
    const QJsonArray strokes =
        QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("strokes")).toArray();
    // The data's y points up from -124 to 900.
    QString svg = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 1024 1024'>"
                                 "<g transform='scale(1,-1) translate(0,-900)'>");
    for (int i = 0; i < strokes.size(); ++i) {
        if (onlyStroke < 0 || onlyStroke == i)
            svg += QStringLiteral("<path fill='black' d='%1'/>").arg(strokes[i].toString());
    }
    svg += QStringLiteral("</g></svg>");
    QSvgRenderer renderer(svg.toUtf8());
    QImage image(MovieLayout::Stage, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, MovieLayout::Grid);
    return image;
}

} // namespace

class TestMoviesInPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stillsShowTheStrokesOfTheData();
};

void TestMoviesInPlayer::stillsShowTheStrokesOfTheData()
{
    TestFolder app;
    app.link(QStringLiteral("/ruffle"), QStringLiteral(ZORVINA_APP_DIR "/ruffle"));
    WebEnginePlayer player(app.folder());
    player.resize(MovieLayout::Stage);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    const auto picture = [&] { return player.grab().toImage(); };
    const auto isPinyin = [](const QColor &c) { return c.blue() > 150 && c.red() < 90; };
    // The stroke being written: bright red.
    const auto isWriting = [](const QColor &c) {
        return c.red() > 150 && c.green() < 120 && c.blue() < 120;
    };
    // Writes a still of the character's movie stopped at frame (-1: the last)
    // and lets the player show it. The movie has no sound: these checks are
    // about the picture, and a test should not speak.
    MovieInput input;
    const auto showStill = [&](const QString &character, int frame) {
        input = MovieInput();
        input.data = loadCharacter(Data, character);
        input.pinyinOutline =
            pinyinOutline(QStringLiteral("pīn"), pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT)));
        const QList<PlannedFrame> plan = planMovie(input);
        const QString movie = QStringLiteral("/Work/") + character + QStringLiteral(".swf");
        app.write(movie, buildMovie(input, plan, frame < 0 ? int(plan.size()) - 1 : frame));
        QSignalSpy shown(&player, &WebEnginePlayer::movieShown);
        player.LoadMovie(0, app.file(movie));
        return shown.wait(timeoutMs);
    };

    // The finished character is the data's outlines, the pinyin above the
    // grid a moment after the last stroke.
    for (const QString &character :
         {QStringLiteral("一"), QStringLiteral("永"), QStringLiteral("赢")}) {
        QVERIFY(showStill(character, -1));
        const QList<QPoint> expected = gridPixelsWhere(referenceStrokes(Data, character), isInk);
        QVERIFY(expected.size() > 500);
        // The player reaches the still's frame a moment after showing the first.
        double iou = 0.0;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (iou = intersectionOverUnion(gridPixelsWhere(picture(), isInk), expected)) >= 0.9,
            qPrintable(QStringLiteral("%1: overlap %2").arg(character).arg(iou)), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            !gridPixelsWhere(picture(), isPinyin, MovieLayout::PinyinBand.toRect()).isEmpty(),
            timeoutMs);
        QVERIFY(intersectionOverUnion(gridPixelsWhere(picture(), isInk), expected) >= 0.9);
    }

    // 大 starts with its long horizontal stroke, written left to right: a few
    // frames in, the player shows only the writing colour, only inside that
    // stroke, and only at its start.
    const QString character = QStringLiteral("大");
    QVERIFY(showStill(character, Timing().leadInFrames + 3));
    QTRY_VERIFY_WITH_TIMEOUT(gridPixelsWhere(picture(), isInk).isEmpty(), timeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(gridPixelsWhere(picture(), isWriting).size() > 20, timeoutMs);
    const QList<QPoint> written = gridPixelsWhere(picture(), isWriting);
    const QImage stroke = referenceStrokes(Data, character, 0);
    const QTransform toStage = MovieLayout::characterToStage();
    const QPointF start = toStage.map(input.data.medians[0].first());
    const QPointF end = toStage.map(input.data.medians[0].last());
    QVERIFY(written.size() < gridPixelsWhere(stroke, isInk).size() / 2);
    for (const QPoint &p : written) {
        bool inside = false; // give or take the edge's antialiasing
        for (int y = p.y() - 1; y <= p.y() + 1 && !inside; ++y)
            for (int x = p.x() - 1; x <= p.x() + 1 && !inside; ++x)
                inside = isInk(stroke.pixelColor(x, y));
        QVERIFY2(inside, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        QVERIFY(QLineF(p, start).length() < QLineF(p, end).length() / 2);
    }
}

QTEST_MAIN(TestMoviesInPlayer)
#include "tst_moviesinplayer.moc"
