// The movie builder: the frame plan, the stroke reveal, and the movie file
// read back and painted by a reference renderer.
#include "characterdata.h"
#include "frameplan.h"
#include "moviebuilder.h"
#include "readings.h"
#include "speech.h"
#include "strokenames.h"
#include "strokereference.h"
#include "strokereveal.h"
#include "swfraster.h"
#include "swfreader.h"
#include "textfile.h"

#include <QPainter>
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

// How much two filled outlines cover the same pixels of the stage.
double overlap(const QPainterPath &a, const QPainterPath &b)
{
    const auto pixels = [](const QPainterPath &path) {
        QImage image(MovieLayout::Stage, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.fillPath(path, Qt::black);
        painter.end();
        return gridPixelsWhere(image, isInk, image.rect());
    };
    return intersectionOverUnion(pixels(a), pixels(b));
}

// The outline shown inside box in this frame (give or take the movie's
// rounding), or an empty path.
QPainterPath shownIn(const SwfMovieReplay &replay, int frame, const QRectF &box)
{
    for (const SwfFrameContent::Object &object : replay.frame(frame).displayList) {
        const QPainterPath fill = replay.shapeFill(object.characterId);
        if (box.adjusted(-1, -1, 1, 1).contains(fill.boundingRect()))
            return fill;
    }
    return QPainterPath();
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
    void strokeNamesAndCounts_data();
    void strokeNamesAndCounts();
    void nothingOverlapsOnTheDefaultList();
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

// 十's strokes are 560 and 660 units long: at 20 units a frame 28 frames and
// 33, cut to the longest stroke time of 30.
void TestMovieMaker::planTimingOfFixture()
{
    Timing timing;
    timing.leadInFrames = 5;
    timing.unitsPerFrame = 20;
    timing.minStrokeFrames = 10;
    timing.maxStrokeFrames = 30;
    timing.pauseFrames = 3;
    timing.holdFrames = 7;
    const CharacterData data = loadCharacter(Fixtures, QStringLiteral("十"));
    const QList<PlannedFrame> plan = planFrames(data.medians, 10, timing);
    QCOMPARE(plan.size(), 86);
    QCOMPARE(firstFrameOfStroke(plan, 0), 5);
    QCOMPARE(firstFrameOfStroke(plan, 1), 36);
    QCOMPARE(plan[5].reveal, 1.0 / 28);
    QCOMPARE(plan[36].reveal, 1.0 / 30);
}

void TestMovieMaker::revealFollowsCentreLine_data()
{
    QTest::addColumn<int>("stroke");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QRectF>("expected");
    // In data units (1024 to the grid's 360 px), the brush radius of 28 px
    // is 79.6 units. Stroke 1 written left to right: after a quarter of its
    // 560 units the brush is at x 360 and has revealed from the outline's
    // left end (200) to 360 + 79.6.
    const double brush = 28 * 1024.0 / 360;
    QTest::newRow("horizontal, left to right")
        << 0 << 0.25 << QRectF(QPointF(200, 360), QPointF(360 + brush, 440));
    // Stroke 2 written top to bottom (top-down y 120 to 780): halfway the
    // brush is at y 450 and has revealed from the outline's top, the curve
    // peaking at 807.5 (y 92.5 from the top), to 450 + 79.6.
    QTest::newRow("vertical, top to bottom")
        << 1 << 0.5 << QRectF(QPointF(460, 92.5), QPointF(540, 450 + brush));
}

void TestMovieMaker::revealFollowsCentreLine()
{
    QFETCH(int, stroke);
    QFETCH(double, fraction);
    QFETCH(QRectF, expected);
    const CharacterData data = loadCharacter(Fixtures, QStringLiteral("十"));
    const QTransform toStage = MovieLayout::characterToStage();
    expected = toStage.mapRect(expected);
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

// The movie file read back: header, and for every frame what a viewer sees
// (shapes by colour and place) is what the plan asks for.
void TestMovieMaker::movieMatchesPlan()
{
    QFETCH(QString, character);
    QFETCH(int, strokes);
    const MovieInput input = inputFor(character);
    const QList<PlannedFrame> plan = planMovie(input);
    const QByteArray file = buildMovie(input, plan);

    const SwfMovie movie = readSwf(file);
    QVERIFY(movie.compressed);
    QCOMPARE(movie.frameTwips, QRect(QPoint(0, 0), QPoint(577 * 20, 449 * 20)));
    QCOMPARE(movie.frameRate, 24.0);
    QCOMPARE(movie.tags.first().code, int(SwfTag::FileAttributes));

    const SwfMovieReplay replay(file);
    QCOMPARE(replay.frameCount(), plan.size());
    const auto color = [](Rgba c) { return QColor(c.r, c.g, c.b); };
    int soundStarts = 0;
    for (int i = 0; i < plan.size(); ++i) {
        const SwfFrameContent &frame = replay.frame(i);
        int finished = 0;
        int writing = 0;
        int pinyin = 0;
        for (const SwfFrameContent::Object &object : frame.displayList) {
            const QRectF bounds = replay.shapeFill(object.characterId).boundingRect();
            const QColor shown = replay.shapeColor(object.characterId);
            const bool inGrid = MovieLayout::Grid.contains(bounds);
            finished += inGrid && shown == color(MovieColors::Finished) ? 1 : 0;
            writing += inGrid && shown == color(MovieColors::Writing) ? 1 : 0;
            pinyin +=
                MovieLayout::PinyinBand.contains(bounds) && shown == color(MovieColors::Pinyin) ? 1
                                                                                                : 0;
        }
        const QString where = QStringLiteral("frame %1").arg(i);
        QVERIFY2(finished == plan[i].finishedStrokes, qPrintable(where));
        QVERIFY2(writing <= (plan[i].stroke >= 0 ? 1 : 0), qPrintable(where));
        if (plan[i].reveal > 0.3)
            QVERIFY2(writing == 1, qPrintable(where));
        QCOMPARE(pinyin, plan[i].showPinyin ? 1 : 0);
        for (int id : frame.startedSounds)
            QVERIFY(replay.isSound(id));
        QCOMPARE(!frame.startedSounds.isEmpty(), plan[i].startSound);
        soundStarts += int(frame.startedSounds.size());
        QVERIFY(!frame.stops); // the movie loops
    }
    QCOMPARE(plan.last().finishedStrokes, strokes);
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

void TestMovieMaker::strokeNamesAndCounts_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("十") << QStringLiteral("十")
                        << QStringList{QStringLiteral("横"), QStringLiteral("竖")};
    QTest::newRow("人") << QStringLiteral("人")
                        << QStringList{QStringLiteral("撇"), QStringLiteral("捺")};
    QTest::newRow("大") << QStringLiteral("大")
                        << QStringList{QStringLiteral("横"), QStringLiteral("撇"),
                                       QStringLiteral("捺")};
    QTest::newRow("口") << QStringLiteral("口")
                        << QStringList{QStringLiteral("竖"), QStringLiteral("横折"),
                                       QStringLiteral("横")};
    // 横撇 and 横钩 share one letter in the data: the shape decides, or
    // only the count shows (你's hook is neither short nor long enough).
    QTest::newRow("又") << QStringLiteral("又")
                        << QStringList{QStringLiteral("横撇"), QStringLiteral("捺")};
    QTest::newRow("写") << QStringLiteral("写")
                        << QStringList{QStringLiteral("点"), QStringLiteral("横钩"),
                                       QStringLiteral("横"), QStringLiteral("竖折折钩"),
                                       QStringLiteral("横")};
    QTest::newRow("你") << QStringLiteral("你")
                        << QStringList{QStringLiteral("撇"),   QStringLiteral("竖"),
                                       QStringLiteral("撇"),   QString(),
                                       QStringLiteral("竖钩"), QStringLiteral("撇"),
                                       QStringLiteral("点")};
}

// While a stroke is written and in the pause after it, the movie shows its
// name and running count; with the pinyin, the total.
void TestMovieMaker::strokeNamesAndCounts()
{
    QFETCH(QString, character);
    QFETCH(QStringList, names);
    MovieInput input = inputFor(character);
    QCOMPARE(StrokeNames(QStringLiteral(ZORVINA_STROKE_NAMES)).names(character, input.data.medians),
             names);
    Lettering lettering(QStringLiteral(ZORVINA_LABEL_FONT));
    lettering.label(input, names, int(names.size()));
    const QList<PlannedFrame> plan = planMovie(input);
    const SwfMovieReplay replay(buildMovie(input, plan));

    const Label total = input.total;
    QVERIFY(total.text == QStringLiteral("共%1画").arg(names.size()));
    for (int stroke = 0; stroke < names.size(); ++stroke) {
        const QString count = QStringLiteral("第%1画").arg(stroke + 1);
        QCOMPARE(input.strokeCounts[stroke].text, count);
        for (int frame :
             {firstFrameOfStroke(plan, stroke), firstFrameOfStroke(plan, stroke + 1) - 1}) {
            if (frame < 0) // after the last stroke: its pause
                frame = int(std::find_if(plan.begin(), plan.end(),
                                         [](const PlannedFrame &f) { return f.showPinyin; }) -
                            plan.begin()) -
                        1;
            const QPainterPath name = shownIn(replay, frame, MovieLayout::StrokeNameBox);
            if (names[stroke].isEmpty())
                QVERIFY(name.isEmpty());
            else
                QVERIFY2(overlap(name, input.strokeNames[stroke].outline) > 0.9,
                         qPrintable(names[stroke]));
            QVERIFY2(overlap(shownIn(replay, frame, MovieLayout::StrokeCountBox),
                             input.strokeCounts[stroke].outline) > 0.9,
                     qPrintable(count));
        }
    }
    QVERIFY(shownIn(replay, int(plan.size()) - 1, MovieLayout::StrokeNameBox).isEmpty());
    QVERIFY(overlap(shownIn(replay, int(plan.size()) - 1, MovieLayout::StrokeCountBox),
                    total.outline) > 0.9);
}

// Grid, pinyin, stroke names and counts keep to their places for every
// character the program lists.
void TestMovieMaker::nothingOverlapsOnTheDefaultList()
{
    const QStringList list = readCharacterList(QStringLiteral(ZORVINA_APP_DIR "/hanzi.ini"));
    QVERIFY(list.size() >= 2500);
    Readings readings(QStringLiteral(ZORVINA_READINGS_DATA),
                      QStringLiteral(ZORVINA_READINGS_SUPPLEMENT));
    const StrokeNames strokeNames(QStringLiteral(ZORVINA_STROKE_NAMES));
    const QFont font = pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT));
    Lettering lettering(QStringLiteral(ZORVINA_LABEL_FONT));
    const QRectF stage(QPointF(0, 0), MovieLayout::Stage);
    for (const QString &character : list) {
        MovieInput input;
        input.data = loadCharacter(RealData, character);
        const int strokes = int(input.data.strokes.size());
        const QStringList names = strokeNames.names(character, input.data.medians);
        lettering.label(input, names.size() == strokes ? names : QStringList(), strokes);
        const QString pinyin = readings.reading(character);
        const QRectF pinyinBox =
            pinyin.isEmpty() ? QRectF() : pinyinOutline(pinyin, font).boundingRect();
        QList<QRectF> labels{input.total.outline.boundingRect()};
        for (const Label &label : input.strokeNames + input.strokeCounts) {
            if (!label.text.isEmpty())
                labels.append(label.outline.boundingRect());
        }
        const QString where = character + QLatin1Char(' ') + pinyin;
        QVERIFY2(MovieLayout::PinyinBand.contains(pinyinBox) || pinyin.isEmpty(),
                 qPrintable(where));
        for (const QRectF &label : labels) {
            QVERIFY2(stage.contains(label) && !label.intersects(MovieLayout::Grid) &&
                         !label.intersects(pinyinBox),
                     qPrintable(where));
        }
        for (int i = 0; i < input.strokeNames.size(); ++i)
            QVERIFY2(!input.strokeNames[i].outline.boundingRect().intersects(
                         input.strokeCounts[i].outline.boundingRect()),
                     qPrintable(where));
    }
    QVERIFY(!MovieLayout::PinyinBand.intersects(MovieLayout::Grid));
}

QTEST_MAIN(TestMovieMaker)
#include "tst_moviemaker.moc"
