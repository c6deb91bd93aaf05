// The movie builder: the frame plan, the stroke reveal, and the movie file
// read back and painted by a reference renderer.
#include "characterdata.h"
#include "frameplan.h"
#include "moviebuilder.h"
#include "speech.h"
#include "strokereference.h"
#include "strokereveal.h"
#include "swfraster.h"
#include "swfreader.h"

#include <QTest>

namespace {

const QString Fixtures = QStringLiteral(ZORVINA_TEST_DATA "/moviemaker");
const QString RealData = QStringLiteral(ZORVINA_HANZI_DATA);

QString dataDirFor(const QString &character)
{
    return character == QStringLiteral("十") ? Fixtures : RealData;
}

// Half a second of a tone stands in for speech: these tests are about pictures.
Mp3Sound testSound()
{
    Pcm pcm;
    pcm.sampleRate = 22050;
    for (int i = 0; i < 11025; ++i)
        pcm.samples.append(qint16(6000 * std::sin(i * 2 * M_PI * 330 / 22050)));
    return encodeMp3(pcm);
}

MovieInput inputFor(const QString &character)
{
    MovieInput input;
    input.data = loadCharacter(dataDirFor(character), character);
    input.pinyinOutline =
        pinyinOutline(QStringLiteral("pīn"), pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT)));
    input.sound = testSound();
    return input;
}

QImage referenceFor(const QString &character, int onlyStroke = -1)
{
    return referenceStrokes(dataDirFor(character), character, onlyStroke);
}

} // namespace

class TestMovieMaker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void planFollowsStrokeOrder_data();
    void planFollowsStrokeOrder();
    void planTimingOfFixture();
    void revealFollowsCentreLine_data();
    void revealFollowsCentreLine();
    void brushFitsTheStroke();
    void revealGrowsAlongEveryStroke_data();
    void revealGrowsAlongEveryStroke();
    void movieMatchesPlan_data();
    void movieMatchesPlan();
    void finishedCharacterCoversOutlines_data();
    void finishedCharacterCoversOutlines();
    void earlyFrameShowsOnlyStartOfFirstStroke();
    void stillStopsAtItsFrame();
    void sameInputSameBytes();
    void cubicsBecomeCloseQuadratics();
    void pinyinIsCentredInItsBand();
};

void TestMovieMaker::planFollowsStrokeOrder_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("strokes");
    QTest::newRow("one stroke") << QStringLiteral("一") << 1;
    QTest::newRow("fixture") << QStringLiteral("十") << 2;
    QTest::newRow("five strokes") << QStringLiteral("永") << 5;
    QTest::newRow("seventeen strokes") << QStringLiteral("赢") << 17;
}

void TestMovieMaker::planFollowsStrokeOrder()
{
    QFETCH(QString, character);
    QFETCH(int, strokes);
    const CharacterData data = loadCharacter(dataDirFor(character), character);
    QCOMPARE(data.strokes.size(), strokes);
    const Timing timing;
    const int soundFrames = 17;
    const QList<PlannedFrame> plan = planFrames(data.medians, soundFrames, timing);

    int at = 0;
    for (; at < timing.leadInFrames; ++at)
        QVERIFY(plan[at].stroke == -1 && plan[at].finishedStrokes == 0 && !plan[at].showPinyin);
    for (int stroke = 0; stroke < strokes; ++stroke) {
        const int start = at;
        double previous = 0.0;
        for (; at < plan.size() && plan[at].stroke == stroke; ++at) {
            QVERIFY(plan[at].reveal > previous);
            QCOMPARE(plan[at].finishedStrokes, stroke);
            QVERIFY(!plan[at].showPinyin && !plan[at].startSound);
            previous = plan[at].reveal;
        }
        QCOMPARE(previous, 1.0);
        QVERIFY2(at - start >= 12 && at - start <= 24, "half a second to a second a stroke");
        for (int pause = 0; pause < timing.pauseFrames; ++pause, ++at) {
            QCOMPARE(plan[at].stroke, -1);
            QCOMPARE(plan[at].finishedStrokes, stroke + 1);
        }
    }
    // Complete: the pinyin shows and the sound starts once, then a hold.
    QVERIFY(plan[at].startSound && plan[at].showPinyin);
    QCOMPARE(plan.size() - at, soundFrames + timing.holdFrames);
    for (++at; at < plan.size(); ++at) {
        QVERIFY(plan[at].showPinyin && !plan[at].startSound && plan[at].stroke == -1);
        QCOMPARE(plan[at].finishedStrokes, strokes);
    }
}

// 十's strokes are 560 and 660 units long: 18.7 and 22 frames at 30 units a
// frame, so 19 and 22 frames.
void TestMovieMaker::planTimingOfFixture()
{
    const CharacterData data = loadCharacter(Fixtures, QStringLiteral("十"));
    const QList<PlannedFrame> plan = planFrames(data.medians, 10);
    QCOMPARE(plan.size(), 12 + 19 + 6 + 22 + 6 + 10 + 48);
    QCOMPARE(firstFrameOfStroke(plan, 0), 12);
    QCOMPARE(firstFrameOfStroke(plan, 1), 12 + 19 + 6);
    QCOMPARE(plan[12].reveal, 1.0 / 19);
    QCOMPARE(plan[12 + 19 + 6].reveal, 1.0 / 22);
}

void TestMovieMaker::revealFollowsCentreLine_data()
{
    QTest::addColumn<int>("stroke");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QRectF>("expected");
    // On the stage one data unit is 360/1024 px and the grid starts at
    // (108, 80); the brush radius of 28 px is 79.6 units.
    const double unit = 360.0 / 1024.0;
    // Stroke 1 written left to right: after a quarter of its 560 units the
    // brush is at x 360 and has revealed from the outline's left end (200) to
    // 360 + 79.6.
    QTest::newRow("horizontal, left to right")
        << 0 << 0.25
        << QRectF(QPointF(108 + 200 * unit, 80 + 360 * unit),
                  QPointF(108 + (360 + 28 / unit) * unit, 80 + 440 * unit));
    // Stroke 2 written top to bottom (top-down y 120 to 780): halfway the
    // brush is at y 450 and has revealed from the outline's top, the curve
    // peaking at 807.5 (y 92.5 from the top), to 450 + 79.6.
    QTest::newRow("vertical, top to bottom")
        << 1 << 0.5
        << QRectF(QPointF(108 + 460 * unit, 80 + 92.5 * unit),
                  QPointF(108 + 540 * unit, 80 + (450 + 28 / unit) * unit));
}

void TestMovieMaker::revealFollowsCentreLine()
{
    QFETCH(int, stroke);
    QFETCH(double, fraction);
    QFETCH(QRectF, expected);
    const CharacterData data = loadCharacter(Fixtures, QStringLiteral("十"));
    const QTransform toStage = MovieLayout::characterToStage();
    const QList<QPolygonF> part =
        revealedPart(toStage.map(data.strokes[stroke]), toStage.map(data.medians[stroke]), fraction,
                     MovieLayout::BrushRadius);
    QRectF bounds;
    for (const QPolygonF &polygon : part)
        bounds |= polygon.boundingRect();
    const double tolerance = 0.3;
    QVERIFY2(std::abs(bounds.left() - expected.left()) < tolerance &&
                 std::abs(bounds.right() - expected.right()) < tolerance &&
                 std::abs(bounds.top() - expected.top()) < tolerance &&
                 std::abs(bounds.bottom() - expected.bottom()) < tolerance,
             qPrintable(QStringLiteral("revealed %1,%2 %3x%4")
                            .arg(bounds.x())
                            .arg(bounds.y())
                            .arg(bounds.width())
                            .arg(bounds.height())));
}

// 十's horizontal stroke is 600 x 80 units around a 560-unit centre line:
// 5932.9 px² over 196.9 px is a mean width of 30.1 px; three quarters of it
// is 22.6 px. A dot as wide as it is long gets no more than the largest brush.
void TestMovieMaker::brushFitsTheStroke()
{
    const CharacterData data = loadCharacter(Fixtures, QStringLiteral("十"));
    const QTransform toStage = MovieLayout::characterToStage();
    QVERIFY(
        std::abs(brushRadiusFor(toStage.map(data.strokes[0]), toStage.map(data.medians[0]), 28.0) -
                 22.6) < 0.05);
    QPainterPath dot;
    dot.addRect(0, 0, 60, 60);
    QCOMPARE(brushRadiusFor(dot, QPolygonF({QPointF(10, 10), QPointF(50, 50)}), 28.0), 28.0);
    QCOMPARE(brushRadiusFor(dot, QPolygonF({QPointF(10, 10)}), 28.0), 28.0);
}

void TestMovieMaker::revealGrowsAlongEveryStroke_data()
{
    QTest::addColumn<QString>("character");
    QTest::newRow("永") << QStringLiteral("永");
    QTest::newRow("赢") << QStringLiteral("赢");
}

// For every stroke of a real character: what is revealed grows frame by
// frame, starts at the centre line's first point and not its last, and ends
// as the whole outline.
void TestMovieMaker::revealGrowsAlongEveryStroke()
{
    QFETCH(QString, character);
    const CharacterData data = loadCharacter(RealData, character);
    const QTransform toStage = MovieLayout::characterToStage();
    for (int stroke = 0; stroke < data.strokes.size(); ++stroke) {
        const QPainterPath outline = toStage.map(data.strokes[stroke]);
        const QPolygonF median = toStage.map(data.medians[stroke]);
        double previousArea = 0.0;
        for (double fraction : {0.1, 0.4, 0.7, 0.999}) {
            QPainterPath revealed;
            const double radius = brushRadiusFor(outline, median, MovieLayout::BrushRadius);
            for (const QPolygonF &polygon : revealedPart(outline, median, fraction, radius))
                revealed.addPolygon(polygon);
            const QRectF box = revealed.boundingRect();
            const double area = box.width() * box.height();
            QVERIFY2(area >= previousArea, qPrintable(QStringLiteral("stroke %1").arg(stroke)));
            previousArea = area;
            if (fraction == 0.1) {
                QVERIFY(revealed.intersects(QRectF(median.first() - QPointF(2, 2), QSizeF(4, 4))));
                const bool longStroke = QLineF(median.first(), median.last()).length() > 70;
                if (longStroke)
                    QVERIFY2(!revealed.contains(median.last()),
                             qPrintable(QStringLiteral("stroke %1 starts at its end").arg(stroke)));
            }
        }
        // Nearly all of the outline by the end of the centre line.
        const QRectF whole = outline.boundingRect();
        QVERIFY(previousArea > 0.8 * whole.width() * whole.height());
    }
}

void TestMovieMaker::movieMatchesPlan_data()
{
    planFollowsStrokeOrder_data();
}

// The movie file read back: header, and for every frame the objects shown
// are those the plan asks for, in the right colours.
void TestMovieMaker::movieMatchesPlan()
{
    QFETCH(QString, character);
    QFETCH(int, strokes);
    const MovieInput input = inputFor(character);
    const QList<PlannedFrame> plan = planMovie(input);
    const QByteArray file = buildMovie(input, plan);

    const SwfMovie movie = readSwf(file);
    QVERIFY(movie.compressed);
    QCOMPARE(movie.version, 10);
    QCOMPARE(movie.frameTwips, QRect(QPoint(0, 0), QPoint(577 * 20, 449 * 20)));
    QCOMPARE(movie.frameRate, 24.0);
    QCOMPARE(movie.frameCount, plan.size());
    QCOMPARE(movie.tags.first().code, int(SwfTag::FileAttributes));

    const SwfMovieReplay replay(file);
    QCOMPARE(replay.frameCount(), plan.size());
    int soundStarts = 0;
    for (int i = 0; i < plan.size(); ++i) {
        const SwfFrameContent &frame = replay.frame(i);
        QVERIFY(frame.displayList.contains(1)); // the grid, always
        QCOMPARE(frame.displayList.contains(2), plan[i].showPinyin);
        for (int stroke = 0; stroke < strokes; ++stroke) {
            const bool shown = frame.displayList.contains(10 + stroke);
            const bool finished = stroke < plan[i].finishedStrokes;
            if (finished) {
                QVERIFY(shown);
                QCOMPARE(replay.shapeColor(frame.displayList[10 + stroke].characterId),
                         QColor(38, 38, 38));
            } else if (stroke == plan[i].stroke && plan[i].reveal > 0.3) {
                QVERIFY(shown);
                QCOMPARE(replay.shapeColor(frame.displayList[10 + stroke].characterId),
                         QColor(230, 57, 40));
            } else if (stroke != plan[i].stroke) {
                QVERIFY2(!shown,
                         qPrintable(QStringLiteral("frame %1 stroke %2").arg(i).arg(stroke)));
            }
        }
        for (int id : frame.startedSounds)
            QVERIFY(replay.isSound(id));
        QCOMPARE(!frame.startedSounds.isEmpty(), plan[i].startSound);
        soundStarts += int(frame.startedSounds.size());
        QVERIFY(!frame.stops); // the movie loops
    }
    QCOMPARE(soundStarts, 1);
}

void TestMovieMaker::finishedCharacterCoversOutlines_data()
{
    QTest::addColumn<QString>("character");
    QTest::newRow("一") << QStringLiteral("一");
    QTest::newRow("十 fixture") << QStringLiteral("十");
    QTest::newRow("永") << QStringLiteral("永");
    QTest::newRow("赢") << QStringLiteral("赢");
}

void TestMovieMaker::finishedCharacterCoversOutlines()
{
    QFETCH(QString, character);
    const MovieInput input = inputFor(character);
    const QList<PlannedFrame> plan = planMovie(input);
    const SwfMovieReplay replay(buildMovie(input, plan));
    const QList<QPoint> drawn = gridPixelsWhere(replay.render(plan.size() - 1), isInk);
    const QList<QPoint> expected = gridPixelsWhere(referenceFor(character), isInk);
    QVERIFY(expected.size() > 500);
    const double iou = intersectionOverUnion(drawn, expected);
    QVERIFY2(iou > 0.95, qPrintable(QString::number(iou)));
}

// 大's first stroke is the long horizontal: a frame early in writing it shows
// only writing-coloured pixels inside that stroke, at its start.
void TestMovieMaker::earlyFrameShowsOnlyStartOfFirstStroke()
{
    const MovieInput input = inputFor(QStringLiteral("大"));
    const QList<PlannedFrame> plan = planMovie(input);
    const SwfMovieReplay replay(buildMovie(input, plan));
    const int first = firstFrameOfStroke(plan, 0);

    QVERIFY(gridPixelsWhere(replay.render(first - 1), isWriting).isEmpty());
    const int early = first + 3;
    QVERIFY(plan[early].stroke == 0 && plan[early].reveal < 0.3);
    const QList<QPoint> written = gridPixelsWhere(replay.render(early), isWriting);
    const QImage firstStroke = referenceFor(QStringLiteral("大"), 0);
    const QList<QPoint> wholeStroke = gridPixelsWhere(firstStroke, isInk);
    QVERIFY(written.size() > 20);
    QVERIFY(written.size() < wholeStroke.size() / 2);
    const QTransform toStage = MovieLayout::characterToStage();
    const QPointF start = toStage.map(input.data.medians[0].first());
    const QPointF end = toStage.map(input.data.medians[0].last());
    for (const QPoint &p : written) {
        // Inside the outline, give or take the edge's antialiasing.
        bool inside = false;
        for (int y = p.y() - 1; y <= p.y() + 1 && !inside; ++y)
            for (int x = p.x() - 1; x <= p.x() + 1 && !inside; ++x)
                inside = isInk(firstStroke.pixelColor(x, y));
        QVERIFY2(inside, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        QVERIFY(QLineF(p, start).length() < QLineF(p, end).length() / 2);
    }
}

void TestMovieMaker::stillStopsAtItsFrame()
{
    const MovieInput input = inputFor(QStringLiteral("十"));
    const QList<PlannedFrame> plan = planMovie(input);
    const SwfMovieReplay whole(buildMovie(input, plan));
    for (int frame : {20, int(plan.size()) - 1}) {
        const SwfMovieReplay still(buildMovie(input, plan, frame));
        QCOMPARE(still.frameCount(), frame + 1);
        QVERIFY(still.frame(frame).stops);
        QVERIFY(!still.frame(frame - 1).stops);
        QCOMPARE(still.render(frame), whole.render(frame));
    }
}

void TestMovieMaker::sameInputSameBytes()
{
    const MovieInput input = inputFor(QStringLiteral("永"));
    QCOMPARE(buildMovie(input, planMovie(input)),
             buildMovie(inputFor(QStringLiteral("永")), planMovie(input)));
}

// Qt keeps curves as cubics; the movie has only quadratics. A circle made of
// cubics must come out within a twentieth of a pixel.
void TestMovieMaker::cubicsBecomeCloseQuadratics()
{
    QPainterPath circle;
    circle.addEllipse(QPointF(200, 200), 150, 150);
    const ShapePath converted = toShapePath(circle);
    QPointF pen;
    int quads = 0;
    for (const ShapePath::Segment &segment : converted.segments()) {
        if (segment.type == ShapePath::Segment::Type::Quad) {
            ++quads;
            for (double t = 0.0; t <= 1.0; t += 0.125) {
                const QPointF p = (1 - t) * (1 - t) * pen + 2 * t * (1 - t) * segment.control +
                                  t * t * segment.end;
                QVERIFY(std::abs(QLineF(QPointF(200, 200), p).length() - 150) < 0.05);
            }
        }
        pen = segment.end;
    }
    QVERIFY(quads >= 8);
    QCOMPARE(converted.segments().last().end, converted.segments().first().end); // closed
}

void TestMovieMaker::pinyinIsCentredInItsBand()
{
    const QPainterPath text =
        pinyinOutline(QStringLiteral("zhuāng"), pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT)));
    const QRectF bounds = text.boundingRect();
    QVERIFY(MovieLayout::PinyinBand.contains(bounds));
    QVERIFY(bounds.height() > 40); // big enough for a child to see
    QVERIFY(std::abs(bounds.center().x() - MovieLayout::PinyinBand.center().x()) < 0.5);
}

QTEST_MAIN(TestMovieMaker)
#include "tst_moviemaker.moc"
