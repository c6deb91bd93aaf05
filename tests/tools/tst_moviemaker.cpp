// The movie builder: the frame plan, the stroke reveal, and the movie file
// read back. How a player paints the movies is checked by tst_moviesinplayer.
#include "characterdata.h"
#include "frameplan.h"
#include "moviebuilder.h"
#include "readings.h"
#include "speech.h"
#include "strokenames.h"
#include "strokereference.h"
#include "strokereveal.h"
#include "swfreader.h"
#include "swfreplay.h"
#include "textfile.h"

#include <QPainter>
#include <QRegularExpression>
#include <QSet>
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

} // namespace

class TestMovieMaker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void movieUnfoldsStrokeByStroke_data();
    void movieUnfoldsStrokeByStroke();
    void revealGrowsAlongEveryStroke();
    void stillStopsAtItsFrame();
    void cubicsBecomeCloseQuadratics();
    void strokeNamesAndCounts_data();
    void strokeNamesAndCounts();
    void nothingOverlapsOnTheDefaultList();
};

void TestMovieMaker::movieUnfoldsStrokeByStroke_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("strokes");
    QTest::newRow("one stroke") << QStringLiteral("一") << 1;
    QTest::newRow("fixture") << QStringLiteral("十") << 2;
    QTest::newRow("five strokes") << QStringLiteral("永") << 5;
    QTest::newRow("seventeen strokes") << QStringLiteral("赢") << 17;
}

// The movie read back, frame by frame: what a viewer sees (shapes by colour
// and place) is what the plan asks for, and the plan writes the strokes in
// order, each over half a second to a second.
void TestMovieMaker::movieUnfoldsStrokeByStroke()
{
    QFETCH(QString, character);
    QFETCH(int, strokes);
    const MovieInput input = inputFor(character);
    QCOMPARE(input.data.strokes.size(), strokes);
    const QList<PlannedFrame> plan = planMovie(input);
    const QByteArray file = buildMovie(input, plan);
    const Timing timing;
    QCOMPARE(readSwf(file).frameRate, double(timing.framesPerSecond));

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
            finished += inGrid && shown == color(MovieColors::Finished);
            writing += inGrid && shown == color(MovieColors::Writing);
            pinyin +=
                MovieLayout::PinyinBand.contains(bounds) && shown == color(MovieColors::Pinyin);
        }
        const QByteArray where = QByteArray::number(i);
        QVERIFY2(finished == plan[i].finishedStrokes, where);
        QVERIFY2(writing == (plan[i].stroke >= 0) || (writing == 0 && plan[i].reveal < 0.3), where);
        QVERIFY2(pinyin == plan[i].showPinyin, where);
        QVERIFY(std::all_of(frame.startedSounds.begin(), frame.startedSounds.end(),
                            [&](int id) { return replay.isSound(id); }));
        QCOMPARE(!frame.startedSounds.isEmpty(), plan[i].startSound);
        soundStarts += int(frame.startedSounds.size());
        QVERIFY(!frame.stops); // the movie loops
    }
    QCOMPARE(soundStarts, 1);

    // The empty grid first; each stroke in turn, the brush always moving on,
    // then a pause; the pinyin and the sound last, and the finished character
    // held until the sound (half a second here) is over.
    int at = timing.leadInFrames;
    QCOMPARE(firstFrameOfStroke(plan, 0), at);
    QSet<int> strokeFrames;
    for (int stroke = 0; stroke < strokes; ++stroke) {
        const int start = at;
        for (double previous = 0.0; plan[at].stroke == stroke; previous = plan[at++].reveal)
            QVERIFY(plan[at].reveal > previous);
        QCOMPARE(plan[at - 1].reveal, 1.0);
        QVERIFY2(at - start >= 12 && at - start <= 24, "half a second to a second a stroke");
        strokeFrames.insert(at - start);
        for (const int end = at + timing.pauseFrames; at < end; ++at)
            QVERIFY(plan[at].stroke == -1 && !plan[at].showPinyin);
    }
    QVERIFY2(strokes < 5 || strokeFrames.size() > 1, "longer strokes take longer");
    QVERIFY(plan[at].showPinyin && plan[at].startSound);
    QCOMPARE(plan.size() - at, 12 + timing.holdFrames);
}

// For every stroke of real characters: what is revealed grows frame by
// frame, starts at the centre line's first point and not its last, and ends
// as the whole outline.
void TestMovieMaker::revealGrowsAlongEveryStroke()
{
    QList<QPair<QPainterPath, QPolygonF>> strokes;
    const QTransform toStage = MovieLayout::characterToStage();
    for (const QString &character : {QStringLiteral("永"), QStringLiteral("赢")}) {
        const CharacterData data = loadCharacter(RealData, character);
        for (int i = 0; i < data.strokes.size(); ++i)
            strokes.append({toStage.map(data.strokes[i]), toStage.map(data.medians[i])});
    }
    for (int stroke = 0; stroke < strokes.size(); ++stroke) {
        const auto &[outline, median] = strokes[stroke];
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

// A still shows what the whole movie shows at that frame, and stays there.
void TestMovieMaker::stillStopsAtItsFrame()
{
    const MovieInput input = inputFor(QStringLiteral("十"));
    const QList<PlannedFrame> plan = planMovie(input);
    const SwfMovieReplay whole(buildMovie(input, plan));
    const auto shown = [](const SwfMovieReplay &replay, int frame) {
        QList<QRectF> shapes;
        for (const SwfFrameContent::Object &object : replay.frame(frame).displayList)
            shapes.append(replay.shapeFill(object.characterId).boundingRect());
        return shapes;
    };
    for (int frame : {20, int(plan.size()) - 1}) {
        const SwfMovieReplay still(buildMovie(input, plan, frame));
        QCOMPARE(still.frameCount(), frame + 1);
        QVERIFY(still.frame(frame).stops);
        QVERIFY(!still.frame(frame - 1).stops);
        QCOMPARE(shown(still, frame), shown(whole, frame));
    }
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
        for (double t = 0.0; segment.type == ShapePath::Segment::Type::Quad && t <= 1.0;
             t += 0.125) {
            const QPointF p =
                (1 - t) * (1 - t) * pen + 2 * t * (1 - t) * segment.control + t * t * segment.end;
            QVERIFY(std::abs(QLineF(QPointF(200, 200), p).length() - 150) < 0.05);
        }
        quads += segment.type == ShapePath::Segment::Type::Quad;
        pen = segment.end;
    }
    QVERIFY(quads >= 8);
    QCOMPARE(converted.segments().last().end, converted.segments().first().end); // closed
}

void TestMovieMaker::strokeNamesAndCounts_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("names"); // one a stroke, separated by spaces; "-": none
    QTest::newRow("十") << QStringLiteral("十") << QStringLiteral("横 竖");
    QTest::newRow("人") << QStringLiteral("人") << QStringLiteral("撇 捺");
    QTest::newRow("大") << QStringLiteral("大") << QStringLiteral("横 撇 捺");
    QTest::newRow("口") << QStringLiteral("口") << QStringLiteral("竖 横折 横");
    // 横撇 and 横钩 share one letter in the data: the shape decides, or
    // only the count shows (你's hook is neither short nor long enough).
    QTest::newRow("又") << QStringLiteral("又") << QStringLiteral("横撇 捺");
    QTest::newRow("写") << QStringLiteral("写") << QStringLiteral("点 横钩 横 竖折折钩 横");
    QTest::newRow("你") << QStringLiteral("你") << QStringLiteral("撇 竖 撇 - 竖钩 撇 点");
}

// While a stroke is written and in the pause after it, the movie shows its
// name and running count; with the pinyin, the total.
void TestMovieMaker::strokeNamesAndCounts()
{
    QFETCH(QString, character);
    QFETCH(QString, names);
    QStringList expected = names.split(QLatin1Char(' '));
    expected.replaceInStrings(QRegularExpression(QStringLiteral("^-$")), QString());
    MovieInput input = inputFor(character);
    QCOMPARE(StrokeNames(QStringLiteral(ZORVINA_STROKE_NAMES)).names(character, input.data.medians),
             expected);
    const int strokes = int(expected.size());
    Lettering(QStringLiteral(ZORVINA_LABEL_FONT)).label(input, expected, strokes);
    const QList<PlannedFrame> plan = planMovie(input);
    const SwfMovieReplay replay(buildMovie(input, plan));

    const auto shows = [&](int frame, const QRectF &box, const Label &label) {
        const QPainterPath shown = shownIn(replay, frame, box);
        return label.text.isEmpty() ? shown.isEmpty() : overlap(shown, label.outline) > 0.9;
    };
    for (int stroke = 0; stroke < strokes; ++stroke) {
        QCOMPARE(input.strokeCounts[stroke].text, QStringLiteral("第%1画").arg(stroke + 1));
        int endOfPause = 0;
        for (int i = 0; i < plan.size(); ++i)
            endOfPause =
                plan[i].stroke == -1 && plan[i].finishedStrokes == stroke + 1 && !plan[i].showPinyin
                    ? i
                    : endOfPause;
        for (int frame : {firstFrameOfStroke(plan, stroke), endOfPause}) {
            const QByteArray where = QByteArray::number(frame);
            QVERIFY2(shows(frame, MovieLayout::StrokeNameBox, input.strokeNames[stroke]), where);
            QVERIFY2(shows(frame, MovieLayout::StrokeCountBox, input.strokeCounts[stroke]), where);
        }
    }
    QCOMPARE(input.total.text, QStringLiteral("共%1画").arg(strokes));
    QVERIFY(shownIn(replay, int(plan.size()) - 1, MovieLayout::StrokeNameBox).isEmpty());
    QVERIFY(shows(int(plan.size()) - 1, MovieLayout::StrokeCountBox, input.total));
}

// Grid, pinyin, stroke names and counts keep to their places for every
// character the program lists; the pinyin is centred and big enough for a
// child to see.
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
    double tallestPinyin = 0.0;
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
        QVERIFY2(pinyin.isEmpty() || (MovieLayout::PinyinBand.contains(pinyinBox) &&
                                      std::abs(pinyinBox.center().x() -
                                               MovieLayout::PinyinBand.center().x()) < 0.5),
                 qPrintable(where));
        tallestPinyin = std::max(tallestPinyin, pinyinBox.height());
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
    QVERIFY(tallestPinyin > 40);
    QVERIFY(!MovieLayout::PinyinBand.intersects(MovieLayout::Grid));
}

QTEST_MAIN(TestMovieMaker)
#include "tst_moviemaker.moc"
