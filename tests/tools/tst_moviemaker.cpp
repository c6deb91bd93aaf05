// SPDX-License-Identifier: GPL-3.0-or-later
// The movie builder: the frame plan, the stroke reveal, and the movie file
// read back. How a player paints the movies is checked by tst_moviesinplayer.
#include "characterdata.h"
#include "frameplan.h"
#include "moviebuilder.h"
#include "readings.h"
#include "speech.h"
#include "stagepixels.h"
#include "strokenames.h"
#include "swfreader.h"
#include "textfile.h"

#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

const QString Fixtures = QStringLiteral(ZORVINA_TEST_DATA "/moviemaker");
const QString RealData = QStringLiteral(ZORVINA_HANZI_DATA);

// What a viewer sees at one depth: a shape's filled area in stage pixels and
// its colour.
using Shown = QPair<QPainterPath, QColor>;

struct Frame
{
    QMap<int, Shown> shown;  // by depth
    QList<bool> soundStarts; // one a sound started: is the started id a sound?
    bool stops = false;
};

int firstU16(const QByteArray &body)
{
    return quint8(body[0]) | quint8(body[1]) << 8;
}

// A movie's frames, replayed from its tags as a Flash player would.
QList<Frame> replay(const QByteArray &file)
{
    QHash<int, Shown> shapes;
    QSet<int> sounds;
    QList<Frame> frames;
    Frame current;
    for (const SwfRecord &tag : readSwf(file).tags) {
        if (tag.code == SwfTag::DefineShape3) {
            const SwfShape shape = decodeShape(tag.body);
            QPainterPath fill;
            for (const SwfShapeFigure &figure : shape.figures) {
                if (!figure.fillStyle0 && !figure.fillStyle1)
                    continue;
                fill.moveTo(QPointF(figure.start) / 20);
                for (const SwfShapeEdge &edge : figure.edges) {
                    if (edge.curved)
                        fill.quadTo(QPointF(edge.control) / 20, QPointF(edge.end) / 20);
                    else
                        fill.lineTo(QPointF(edge.end) / 20);
                }
            }
            const Rgba c = shape.fills.value(0);
            shapes.insert(shape.id, {fill, QColor(c.r, c.g, c.b)});
        } else if (tag.code == SwfTag::DefineSound) {
            sounds.insert(firstU16(tag.body));
        } else if (tag.code == SwfTag::PlaceObject2) {
            const SwfPlacement placed = decodePlacement(tag.body);
            if (placed.characterId != 0)
                current.shown[placed.depth] = shapes.value(placed.characterId);
        } else if (tag.code == SwfTag::RemoveObject2) {
            current.shown.remove(firstU16(tag.body));
        } else if (tag.code == SwfTag::StartSound) {
            current.soundStarts.append(sounds.contains(firstU16(tag.body)));
        } else if (tag.code == SwfTag::DoAction) {
            current.stops = tag.body.contains('\x07');
        } else if (tag.code == SwfTag::ShowFrame) {
            frames.append(current);
            current.soundStarts.clear();
            current.stops = false;
        }
    }
    return frames;
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

} // namespace

class TestMovieMaker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void movieUnfoldsStrokeByStroke_data();
    void movieUnfoldsStrokeByStroke();
    void finishedCharacterIsSaidTwice_data();
    void finishedCharacterIsSaidTwice();
    void cubicsBecomeCloseQuadratics();
    void nothingOverlapsOnTheDefaultList();
};

void TestMovieMaker::movieUnfoldsStrokeByStroke_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("names"); // one a stroke, separated by spaces; "-": none
    QTest::newRow("一") << QStringLiteral("一") << QStringLiteral("横");
    QTest::newRow("十, the fixture") << QStringLiteral("十") << QStringLiteral("横 竖");
    QTest::newRow("人") << QStringLiteral("人") << QStringLiteral("撇 捺");
    QTest::newRow("大") << QStringLiteral("大") << QStringLiteral("横 撇 捺");
    QTest::newRow("口") << QStringLiteral("口") << QStringLiteral("竖 横折 横");
    // 横撇 and 横钩 share one letter in the data: the shape decides.
    QTest::newRow("又") << QStringLiteral("又") << QStringLiteral("横撇 捺");
    QTest::newRow("写") << QStringLiteral("写") << QStringLiteral("点 横钩 横 竖折折钩 横");
    QTest::newRow("你") << QStringLiteral("你") << QStringLiteral("撇 竖 撇 横钩 竖钩 撇 点");
    QTest::newRow("永") << QStringLiteral("永") << QStringLiteral("点 横折钩 横撇 撇 捺");
    QTest::newRow("赢")
        << QStringLiteral("赢")
        << QStringLiteral("点 横 竖折 竖 横折 横 撇 横折钩 横 横 竖 横折 撇 点 撇 横折弯钩 点");
}

// The movie read back, frame by frame: what a viewer sees (shapes by colour
// and place) is what the plan asks for, and the plan writes the strokes in
// order, each over half a second to a second, under its name and count.
void TestMovieMaker::movieUnfoldsStrokeByStroke()
{
    QFETCH(QString, character);
    QFETCH(QString, names);
    QStringList expected = names.split(QLatin1Char(' '));
    expected.replaceInStrings(QRegularExpression(QStringLiteral("^-$")), QString());
    const int strokes = int(expected.size());
    MovieInput input;
    input.data = loadCharacter(character == QStringLiteral("十") ? Fixtures : RealData, character);
    const StrokeNames strokeNames(QStringLiteral(ZORVINA_STROKE_NAMES),
                                  QStringLiteral(ZORVINA_DECOMPOSITION),
                                  QStringLiteral(ZORVINA_CHECKED_NAMES));
    QCOMPARE(strokeNames.names(character, input.data.medians), expected);
    Lettering(QStringLiteral(ZORVINA_LABEL_FONT)).label(input, expected, strokes);
    input.pinyinOutline =
        pinyinOutline(QStringLiteral("pīn"), pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT)));
    // Half a second of a tone stands in for speech: this is about pictures.
    Pcm tone{22050, {}};
    for (int i = 0; i < 11025; ++i)
        tone.samples.append(qint16(6000 * std::sin(i * 2 * M_PI * 330 / 22050)));
    input.sound = encodeMp3(tone);
    const QList<PlannedFrame> plan = planMovie(input);
    const QByteArray file = buildMovie(input, plan);
    const Timing timing;
    QCOMPARE(readSwf(file).frameRate, double(timing.framesPerSecond));

    const QList<Frame> movie = replay(file);
    QCOMPARE(movie.size(), plan.size());
    const auto color = [](Rgba c) { return QColor(c.r, c.g, c.b); };
    int soundStarts = 0;
    for (int i = 0; i < plan.size(); ++i) {
        int finished = 0;
        int writing = 0;
        int pinyin = 0;
        for (const auto &[fill, shown] : movie[i].shown) {
            const QRectF bounds = fill.boundingRect();
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
        QCOMPARE(movie[i].soundStarts, plan[i].startSound ? QList<bool>{true} : QList<bool>());
        soundStarts += int(movie[i].soundStarts.size());
        QVERIFY(!movie[i].stops); // the movie loops
    }
    QCOMPARE(soundStarts, 2);

    // The shape shown inside box in this frame (give or take the movie's
    // rounding), of the given colour or any.
    const auto shownIn = [&](int frame, const QRectF &box, const QColor &only = QColor()) {
        QPainterPath found;
        for (const auto &[fill, shown] : movie[frame].shown) {
            if ((!only.isValid() || shown == only) &&
                box.adjusted(-1, -1, 1, 1).contains(fill.boundingRect()))
                found = fill;
        }
        return found;
    };
    const auto shows = [&](int frame, const QRectF &box, const Label &label) {
        const QPainterPath shown = shownIn(frame, box);
        return label.text.isEmpty() ? shown.isEmpty() : overlap(shown, label.outline) > 0.9;
    };
    // The empty grid first; each stroke in turn, then a pause, its name and
    // count shown throughout; the pinyin, the sound and the total last, and
    // the finished character held until the sound (half a second here) is
    // over. What is revealed of a stroke grows frame by frame, from the
    // centre line's first point, not its last, to nearly all of the outline.
    const QTransform toStage = MovieLayout::characterToStage();
    int at = timing.leadInFrames;
    QCOMPARE(plan[at - 1].stroke, -1);
    QSet<int> strokeFrames;
    for (int stroke = 0; stroke < strokes; ++stroke) {
        const QPolygonF median = toStage.map(input.data.medians[stroke]);
        const QRectF whole = toStage.map(input.data.strokes[stroke]).boundingRect();
        const int start = at;
        double area = 0.0;
        for (double previous = 0.0; plan[at].stroke == stroke; previous = plan[at++].reveal) {
            const QByteArray where = QByteArray::number(at);
            QVERIFY2(plan[at].reveal > previous, where);
            if (plan[at].reveal == 1.0)
                continue; // the whole outline from now on
            const QPainterPath written =
                shownIn(at, MovieLayout::Grid, color(MovieColors::Writing));
            const QRectF box = written.boundingRect();
            const double before = std::exchange(area, box.width() * box.height());
            QVERIFY2(area >= before, where);
            if (before == 0.0 && area > 0.0) {
                QVERIFY2(written.intersects(QRectF(median.first() - QPointF(2, 2), QSizeF(4, 4))),
                         where);
                QVERIFY2(QLineF(median.first(), median.last()).length() < 70 ||
                             !written.contains(median.last()),
                         where);
            }
        }
        QCOMPARE(plan[at - 1].reveal, 1.0);
        QVERIFY(area > 0.8 * whole.width() * whole.height());
        QVERIFY2(at - start >= 12 && at - start <= 24, "half a second to a second a stroke");
        strokeFrames.insert(at - start);
        for (const int end = at + timing.pauseFrames; at < end; ++at)
            QVERIFY(plan[at].stroke == -1 && !plan[at].showPinyin);
        QCOMPARE(input.strokeCounts[stroke].text, QStringLiteral("第%1画").arg(stroke + 1));
        for (int frame : {start, at - 1}) {
            const QByteArray where = QByteArray::number(frame);
            QVERIFY2(shows(frame, MovieLayout::StrokeNameBox, input.strokeNames[stroke]), where);
            QVERIFY2(shows(frame, MovieLayout::StrokeCountBox, input.strokeCounts[stroke]), where);
        }
    }
    QVERIFY2(strokes < 5 || strokeFrames.size() > 1, "longer strokes take longer");
    // Said twice, half a second apart, on a character held five seconds.
    QVERIFY(plan[at].showPinyin && plan[at].startSound);
    QVERIFY(plan[at + 12 + timing.sayAgainFrames].startSound);
    QCOMPARE(plan.size() - at, timing.finishedFrames);
    QCOMPARE(input.total.text, QStringLiteral("共%1画").arg(strokes));
    QVERIFY(shows(int(plan.size()) - 1, MovieLayout::StrokeNameBox, Label()));
    QVERIFY(shows(int(plan.size()) - 1, MovieLayout::StrokeCountBox, input.total));

    // A still shows what the whole movie shows at that frame, and stays there.
    for (int frame : {20, int(plan.size()) - 1}) {
        const QList<Frame> still = replay(buildMovie(input, plan, frame));
        QCOMPARE(still.size(), frame + 1);
        QVERIFY(still[frame].stops && !still[frame - 1].stops);
        QVERIFY(still[frame].shown == movie[frame].shown);
    }
}

void TestMovieMaker::finishedCharacterIsSaidTwice_data()
{
    QTest::addColumn<int>("soundFrames");
    QTest::addColumn<QList<int>>("starts"); // frames after the last pause
    QTest::addColumn<int>("finishedFrames");
    // 24 fps: 0.5 s between the sayings, 5 s in all, or 1 s after a long
    // syllable's second saying.
    QTest::newRow("no sound") << 0 << QList<int>{0} << 120;
    QTest::newRow("short syllable") << 20 << QList<int>{0, 32} << 120;
    QTest::newRow("just fits") << 42 << QList<int>{0, 54} << 120;
    QTest::newRow("long syllable") << 48 << QList<int>{0, 60} << 132;
}

void TestMovieMaker::finishedCharacterIsSaidTwice()
{
    QFETCH(int, soundFrames);
    QFETCH(QList<int>, starts);
    QFETCH(int, finishedFrames);
    const QList<QPolygonF> medians{QPolygonF({QPointF(0, 0), QPointF(300, 0)}),
                                   QPolygonF({QPointF(0, 0), QPointF(0, 900)})};
    const QList<PlannedFrame> plan = planFrames(medians, soundFrames);
    // 0.5 s lead-in, 12 frames (the least a stroke takes) and 24 of writing,
    // each followed by 0.5 s.
    const int finished = 12 + 12 + 12 + 24 + 12;
    QCOMPARE(plan.size(), finished + finishedFrames);
    QCOMPARE(plan[finished - 1].finishedStrokes, 2);
    QVERIFY(!plan[finished - 1].showPinyin);
    QList<int> found;
    for (int i = 0; i < plan.size(); ++i) {
        if (plan[i].startSound)
            found.append(i - finished);
        if (i >= finished)
            QVERIFY(plan[i].showPinyin && plan[i].finishedStrokes == 2 && plan[i].stroke < 0);
    }
    QCOMPARE(found, starts);
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

// Grid, pinyin, stroke names and counts keep to their places for every
// character the program lists; the pinyin is centred and big enough for a
// child to see.
void TestMovieMaker::nothingOverlapsOnTheDefaultList()
{
    const QStringList list = readCharacterList(QStringLiteral(ZORVINA_APP_DIR "/hanzi.ini"));
    QVERIFY(list.size() >= 2500);
    Readings readings(QStringLiteral(ZORVINA_READINGS_DATA),
                      QStringLiteral(ZORVINA_READINGS_SUPPLEMENT));
    const StrokeNames strokeNames(QStringLiteral(ZORVINA_STROKE_NAMES),
                                  QStringLiteral(ZORVINA_DECOMPOSITION),
                                  QStringLiteral(ZORVINA_CHECKED_NAMES));
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
