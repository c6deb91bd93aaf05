// SPDX-License-Identifier: GPL-3.0-or-later
#include "characterdata.h"
#include "moviebuilder.h"
#include "practicearea.h"
#include "practicesession.h"
#include "renderer.h"
#include "soundsink.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

namespace {

constexpr quint16 SyllableId = 7;
const QRectF Stage(0, 0, 577 * 20, 449 * 20);
const QColor Background(255, 250, 238);

struct Lesson
{
    practice::PracticeData data;
    std::shared_ptr<swf::Movie> movie;
};

// The character as the movie maker lays out its lesson, with the syllable
// in the movie.
Lesson lesson(const QString &character)
{
    MovieInput input;
    input.data = loadCharacter(QStringLiteral(ZORVINA_HANZI_DATA), character);
    input.strokeNames.fill(Label{QStringLiteral("横折钩"), {}}, input.data.strokes.size());
    Lesson made;
    made.data = practiceData(input, SyllableId);
    made.movie = std::make_shared<swf::Movie>();
    made.movie->stage = Stage;
    made.movie->background = Background;
    made.movie->kinds.insert(SyllableId, swf::CharacterKind::Sound);
    made.movie->sounds.insert(SyllableId, std::make_shared<const swf::Sound>());
    return made;
}

class RecordingSink : public swf::SoundSink
{
public:
    void startSound(quint16 soundId, const std::shared_ptr<const swf::Sound> &sound,
                    const swf::SoundStart &) override
    {
        started.append(soundId);
        sounds.append(sound);
    }
    void stopAllSounds() override { ++stops; }
    void streamBlock(const void *, const swf::StreamHead &, const QByteArray &) override {}
    void streamStopped(const void *) override {}
    double streamPosition(const void *) const override { return -1; }

    QList<quint16> started;
    QList<std::shared_ptr<const swf::Sound>> sounds;
    int stops = 0;
};

// The points a hand passes through along path (character units), a few
// pixels apart.
QList<QPoint> along(const PracticeArea &area, const QPolygonF &path)
{
    QList<QPoint> points{area.toWidget(path.first()).toPoint()};
    for (int i = 1; i < path.size(); ++i) {
        const QPointF from = area.toWidget(path[i - 1]);
        const QPointF to = area.toWidget(path[i]);
        const int steps = std::max(1, int(std::ceil(QLineF(from, to).length() / 5)));
        for (int step = 1; step <= steps; ++step)
            points.append((from + (to - from) * step / steps).toPoint());
    }
    return points;
}

void drag(PracticeArea &area, const QPolygonF &path, Qt::MouseButton button = Qt::LeftButton)
{
    const QList<QPoint> points = along(area, path);
    QTest::mousePress(&area, button, {}, points.first());
    for (int i = 1; i < points.size(); ++i)
        QTest::mouseMove(&area, points[i]);
    QTest::mouseRelease(&area, button, {}, points.last());
}

QPolygonF reversed(QPolygonF path)
{
    std::reverse(path.begin(), path.end());
    return path;
}

bool near(QColor a, QColor b, int tolerance = 24)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Closer to a than to b.
bool nearer(QColor c, QColor a, QColor b)
{
    const auto distance = [&](QColor to) {
        return std::abs(c.red() - to.red()) + std::abs(c.green() - to.green()) +
               std::abs(c.blue() - to.blue());
    };
    return distance(a) < distance(b);
}

bool isGrey(QColor c)
{
    const int high = std::max({c.red(), c.green(), c.blue()});
    const int low = std::min({c.red(), c.green(), c.blue()});
    return high - low <= 10 && low >= 180 && high <= 240;
}

bool isDark(QColor c)
{
    return std::max({c.red(), c.green(), c.blue()}) < 80;
}

bool isColourful(QColor c)
{
    return c.hsvSaturation() > 120 && c.value() > 120;
}

// Where the outlines of strokes lie in a widget of size, by the lesson's own
// transform: the movie's stage shown whole and centred.
QImage coverage(const practice::PracticeData &data, const QList<int> &strokes, QSize size)
{
    QImage mask(size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    painter.setTransform(data.characterToStage() *
                         swf::Renderer::showAll(Stage, QRectF(QPointF(), QSizeF(size))));
    for (int stroke : strokes)
        painter.fillPath(data.strokes[stroke].outline, Qt::black);
    return mask;
}

QList<int> allStrokes(const practice::PracticeData &data)
{
    QList<int> strokes;
    for (int i = 0; i < data.strokes.size(); ++i)
        strokes.append(i);
    return strokes;
}

// How well the pixels of picture that pass test cover mask's inside.
template <typename Test> double overlap(const QImage &picture, const QImage &mask, Test test)
{
    int both = 0, either = 0;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            const bool inside = qAlpha(mask.pixel(x, y)) > 128;
            const bool passes = test(picture.pixelColor(x, y));
            both += inside && passes;
            either += inside || passes;
        }
    }
    return either ? double(both) / either : 0;
}

template <typename Test> int count(const QImage &picture, const QRect &area, Test test)
{
    int n = 0;
    const QRect inside = area & picture.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            n += test(picture.pixelColor(x, y));
    return n;
}

QImage picture(PracticeArea &area)
{
    return area.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRect onWidget(const PracticeArea &area, const QRectF &stageTwips)
{
    return swf::Renderer::showAll(Stage, QRectF(area.rect())).mapRect(stageTwips).toRect();
}

} // namespace

class PracticeAreaTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PracticeArea> shown(const Lesson &practised, QSize size = QSize(577, 449))
    {
        auto area = std::make_unique<PracticeArea>(&m_sink);
        area->setRewardTime(50);
        area->resize(size);
        area->show();
        if (!QTest::qWaitForWindowExposed(area.get()))
            qWarning("The practice area was not shown");
        area->start(practised.data, practised.movie);
        return area;
    }

    RecordingSink m_sink;

private Q_SLOTS:
    void init() { m_sink = RecordingSink(); }

    void writesEveryStroke_data()
    {
        QTest::addColumn<QString>("character");
        for (const char *c : {"一", "人", "大", "马", "我", "永"})
            QTest::newRow(c) << QString::fromUtf8(c);
    }

    void writesEveryStroke()
    {
        QFETCH(QString, character);
        const Lesson practised = lesson(character);
        const auto area = shown(practised);
        QSignalSpy written(area.get(), &PracticeArea::strokeWritten);
        QSignalSpy missed(area.get(), &PracticeArea::missed);
        QSignalSpy characterWritten(area.get(), &PracticeArea::characterWritten);
        QSignalSpy finished(area.get(), &PracticeArea::finished);
        const int strokes = int(practised.data.strokes.size());
        for (int i = 0; i < strokes; ++i) {
            drag(*area, practised.data.strokes[i].median);
            QCOMPARE(written.size(), i + 1);
            QCOMPARE(written.last().first().toInt(), i);
            QCOMPARE(characterWritten.size(), i + 1 == strokes ? 1 : 0);
        }
        QCOMPARE(missed.size(), 0);
        QCOMPARE(area->session()->rightFirstTime(), strokes);
        QVERIFY(area->session()->isFinished());
        QCOMPARE(m_sink.started, QList<quint16>{SyllableId});
        QCOMPARE(m_sink.sounds.first(), practised.movie->sounds.value(SyllableId));
        QCOMPARE(finished.size(), 0);
        QTRY_COMPARE(finished.size(), 1);
        // Once written, more drawing changes nothing.
        drag(*area, practised.data.strokes[0].median);
        QCOMPARE(written.size(), strokes);
        QCOMPARE(missed.size(), 0);
        QTRY_VERIFY(!area->isAnimating());
        QCOMPARE(finished.size(), 1);
    }

    void wrongStrokeShowsHint_data()
    {
        QTest::addColumn<QString>("character");
        QTest::addColumn<int>(
            "drawn"); // the stroke drawn instead of the first; -1 the first reversed
        QTest::newRow("大 reversed") << QStringLiteral("大") << -1;
        QTest::newRow("大 its third") << QStringLiteral("大") << 2;
        QTest::newRow("永 reversed") << QStringLiteral("永") << -1;
        QTest::newRow("十 its second") << QStringLiteral("十") << 1;
    }

    void wrongStrokeShowsHint()
    {
        QFETCH(QString, character);
        QFETCH(int, drawn);
        const Lesson practised = lesson(character);
        const auto area = shown(practised);
        QSignalSpy written(area.get(), &PracticeArea::strokeWritten);
        QSignalSpy missed(area.get(), &PracticeArea::missed);
        const QPolygonF &first = practised.data.strokes[0].median;
        const QPoint start = area->toWidget(first.first()).toPoint();
        const QColor before = picture(*area).pixelColor(start);
        QVERIFY(!near(before, practised.data.writingColor));

        drag(*area, drawn < 0 ? reversed(first) : practised.data.strokes[drawn].median);
        QCOMPARE(missed.size(), 1);
        QCOMPARE(missed.first().first().toInt(), 0);
        QCOMPARE(written.size(), 0);
        QCOMPARE(area->session()->currentStroke(), 0);
        QVERIFY(area->isAnimating());

        // The start shows, pulsing; the ink is gone and nothing is drawn in.
        const QImage hinted = picture(*area);
        QVERIFY(near(hinted.pixelColor(start), practised.data.writingColor));
        const QRect grid = onWidget(*area, practised.data.grid);
        QCOMPARE(count(hinted, grid, isDark), 0);
        const int dot =
            int(std::ceil(area->toWidget(QPointF(60, 0)).x() - area->toWidget(QPointF(0, 0)).x()));
        QImage withoutDot = hinted;
        QPainter(&withoutDot)
            .fillRect(QRect(start, start).adjusted(-dot, -dot, dot, dot), Qt::white);
        QCOMPARE(count(withoutDot, grid,
                       [&](QColor c) { return near(c, practised.data.writingColor, 8); }),
                 0);
        const QRect around = QRect(start, start).adjusted(-dot, -dot, dot, dot);
        const QImage pulsing = hinted.copy(around);
        QTRY_VERIFY(picture(*area).copy(around) != pulsing);
        // The pulse ends and no frames are drawn while the hint stays.
        QTRY_VERIFY_WITH_TIMEOUT(!area->isAnimating(), 5000);
        QVERIFY(near(picture(*area).pixelColor(start), practised.data.writingColor));

        // The right stroke now is written, but not right the first time.
        drag(*area, first);
        QCOMPARE(written.size(), 1);
        QCOMPARE(area->session()->rightFirstTime(), 0);
        QVERIFY(!near(picture(*area).pixelColor(start), practised.data.writingColor));
    }

    void thirdMissWritesTheStroke()
    {
        const Lesson practised = lesson(QStringLiteral("大"));
        const auto area = shown(practised);
        QSignalSpy written(area.get(), &PracticeArea::strokeWritten);
        QSignalSpy missed(area.get(), &PracticeArea::missed);
        const QPolygonF &first = practised.data.strokes[0].median;
        for (int i = 0; i < practice::PracticeSession::MissesBeforeShown; ++i)
            drag(*area, reversed(first));
        QCOMPARE(missed.size(), practice::PracticeSession::MissesBeforeShown);
        QCOMPARE(written.size(), 0);
        QVERIFY(area->isAnimating());

        // While it writes itself the child's strokes are not taken.
        drag(*area, practised.data.strokes[1].median);
        QCOMPARE(missed.size(), practice::PracticeSession::MissesBeforeShown);
        QCOMPARE(written.size(), 0);
        const QImage one = coverage(practised.data, {0}, area->size());
        QTRY_VERIFY(overlap(picture(*area), one,
                            [&](QColor c) { return near(c, practised.data.writingColor); }) > 0.1);

        QTRY_COMPARE_WITH_TIMEOUT(written.size(), 1, 5000);
        QCOMPARE(written.first().first().toInt(), 0);
        QVERIFY(overlap(picture(*area), one, isDark) > 0.9);
        drag(*area, practised.data.strokes[1].median);
        QCOMPARE(written.size(), 2);
        drag(*area, practised.data.strokes[2].median);
        QCOMPARE(written.size(), 3);
        QCOMPARE(area->session()->rightFirstTime(), 2);
        QVERIFY(area->session()->isFinished());
    }

    // The grid and the grey character lie where the lesson shows them, at
    // any size of the area.
    void drawsWhereTheLessonDoes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("the stage's size") << QSize(577, 449);
        QTest::newRow("wide") << QSize(900, 449);
        QTest::newRow("tall") << QSize(577, 760);
        QTest::newRow("small") << QSize(300, 240);
    }

    void drawsWhereTheLessonDoes()
    {
        QFETCH(QSize, size);
        const Lesson practised = lesson(QStringLiteral("永"));
        const auto area = shown(practised, size);
        QCOMPARE(area->size(), size);
        const QImage shot = picture(*area);
        const QTransform show = swf::Renderer::showAll(Stage, QRectF(area->rect()));
        const double scale = show.m11() * 20;
        const QRectF grid = show.mapRect(practised.data.grid);
        const QColor gridColor = practised.data.gridColor;
        // The square's sides, a stage pixel inside the grid.
        for (double along : {0.2, 0.4, 0.8}) {
            const QPointF onSides[] = {{grid.left() + scale, grid.top() + along * grid.height()},
                                       {grid.right() - scale, grid.top() + along * grid.height()},
                                       {grid.left() + along * grid.width(), grid.top() + scale},
                                       {grid.left() + along * grid.width(), grid.bottom() - scale}};
            for (QPointF p : onSides)
                QVERIFY2(nearer(shot.pixelColor(int(p.x()), int(p.y())), gridColor, Background),
                         qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
        }
        // Outside it the movie's background, to the widget's edges.
        QCOMPARE(shot.pixelColor((grid.topLeft() - QPointF(6, 6) * scale).toPoint()), Background);
        QCOMPARE(shot.pixelColor(0, 0), Background);
        QCOMPARE(shot.pixelColor(size.width() - 1, size.height() - 1), Background);
        QVERIFY(overlap(shot, coverage(practised.data, allStrokes(practised.data), size), isGrey) >
                0.85);
        QCOMPARE(area->toWidget(QPointF(512, 512)),
                 show.map(practised.data.characterToStage().map(QPointF(512, 512))));
    }

    void colours()
    {
        const Lesson practised = lesson(QStringLiteral("大"));
        const auto area = shown(practised);
        const QSize size = area->size();
        const QRect nameBox = onWidget(*area, practised.data.nameBox);
        const QRect countBox = onWidget(*area, practised.data.countBox);
        const auto writing = [&](QColor c) { return near(c, practised.data.writingColor, 8); };
        const auto counting = [&](QColor c) { return near(c, practised.data.countColor, 8); };
        QCOMPARE(count(picture(*area), nameBox, writing), 0);

        drag(*area, practised.data.strokes[0].median);
        QImage shot = picture(*area);
        QVERIFY(overlap(shot, coverage(practised.data, {0}, size), isDark) > 0.9);
        QVERIFY(overlap(shot, coverage(practised.data, {1, 2}, size), isGrey) > 0.8);
        QVERIFY(count(shot, nameBox, writing) > 100);
        QVERIFY(count(shot, countBox, counting) > 50);

        drag(*area, practised.data.strokes[1].median);
        drag(*area, practised.data.strokes[2].median);
        QVERIFY(area->session()->isFinished());
        shot = picture(*area);
        const QImage all = coverage(practised.data, allStrokes(practised.data), size);
        QVERIFY(overlap(shot, all, isColourful) > 0.85);
        QCOMPARE(count(shot, onWidget(*area, practised.data.grid), isDark), 0);
        // Each stroke has a colour of its own.
        QSet<QRgb> strokeColours;
        for (int i = 0; i < 3; ++i) {
            const QPolygonF &median = practised.data.strokes[i].median;
            strokeColours.insert(shot.pixel(area->toWidget(median[median.size() / 2]).toPoint()));
        }
        QCOMPARE(strokeColours.size(), 3);
        // The star and the count of strokes right the first time.
        const QColor star(255, 196, 36);
        QTRY_VERIFY(count(picture(*area), nameBox, [&](QColor c) { return near(c, star, 8); }) >
                    400);
        QVERIFY(count(picture(*area), countBox, counting) > 50);
    }

    void syllable_data()
    {
        QTest::addColumn<quint16>("soundId");
        QTest::addColumn<bool>("inMovie");
        QTest::addColumn<bool>("said");
        QTest::newRow("in the movie") << SyllableId << true << true;
        QTest::newRow("not in the movie") << quint16(SyllableId + 1) << false << false;
        QTest::newRow("none") << quint16(0) << false << false;
    }

    void syllable()
    {
        QFETCH(quint16, soundId);
        QFETCH(bool, said);
        Lesson practised = lesson(QStringLiteral("一"));
        practised.data.soundId = soundId;
        const auto area = shown(practised);
        const int rewardMs = 300;
        area->setRewardTime(rewardMs);
        QSignalSpy characterWritten(area.get(), &PracticeArea::characterWritten);
        QSignalSpy finished(area.get(), &PracticeArea::finished);
        QElapsedTimer clock;
        qint64 finishedAt = -1;
        connect(area.get(), &PracticeArea::characterWritten, this, [&] { clock.start(); });
        connect(area.get(), &PracticeArea::finished, this, [&] { finishedAt = clock.elapsed(); });
        drag(*area, practised.data.strokes[0].median);
        QCOMPARE(characterWritten.size(), 1);
        QCOMPARE(m_sink.started, said ? QList<quint16>{soundId} : QList<quint16>());
        QTRY_COMPARE(finished.size(), 1);
        // The reward shows for its time (a coarse timer may end 5 % early).
        QVERIFY2(finishedAt >= rewardMs * 0.9, qPrintable(QString::number(finishedAt)));
        area->stop();
        QCOMPARE(m_sink.stops, 1);
    }

    void stopEndsEverything()
    {
        const Lesson practised = lesson(QStringLiteral("大"));
        const auto area = shown(practised);
        QSignalSpy written(area.get(), &PracticeArea::strokeWritten);
        QSignalSpy missed(area.get(), &PracticeArea::missed);
        for (int i = 0; i < practice::PracticeSession::MissesBeforeShown; ++i)
            drag(*area, reversed(practised.data.strokes[0].median));
        QVERIFY(area->isAnimating());
        QTest::mousePress(area.get(), Qt::LeftButton, {}, QPoint(200, 200));
        area->stop();
        QVERIFY(!area->isActive());
        QVERIFY(!area->session());
        QVERIFY(!area->isAnimating());
        QCOMPARE(m_sink.stops, 1);
        QCOMPARE(count(picture(*area), area->rect(), isGrey), 0);

        QTest::mouseMove(area.get(), QPoint(250, 250));
        QTest::mouseRelease(area.get(), Qt::LeftButton, {}, QPoint(250, 250));
        drag(*area, practised.data.strokes[1].median);
        area->stop();
        QCOMPARE(m_sink.stops, 1);
        QCOMPARE(written.size(), 0);
        QCOMPARE(missed.size(), practice::PracticeSession::MissesBeforeShown);

        // Practice starts afresh.
        area->start(practised.data, practised.movie);
        drag(*area, practised.data.strokes[0].median);
        QCOMPARE(written.size(), 1);
        QCOMPARE(area->session()->rightFirstTime(), 1);
    }

    // A receiver may end the practice, or start another, from any signal:
    // nothing more of the old one comes.
    void endedFromASignal_data()
    {
        QTest::addColumn<bool>("onStroke");
        QTest::addColumn<bool>("restart");
        QTest::newRow("stopped on the last stroke") << true << false;
        QTest::newRow("stopped on the character") << false << false;
        QTest::newRow("another started on the last stroke") << true << true;
    }

    void endedFromASignal()
    {
        QFETCH(bool, onStroke);
        QFETCH(bool, restart);
        const Lesson practised = lesson(QStringLiteral("人"));
        const Lesson next = lesson(QStringLiteral("大"));
        const auto area = shown(practised);
        area->setRewardTime(0);
        QSignalSpy characterWritten(area.get(), &PracticeArea::characterWritten);
        QSignalSpy finished(area.get(), &PracticeArea::finished);
        drag(*area, practised.data.strokes[0].median);
        PracticeArea *receiver = area.get();
        const auto end = [&] {
            if (restart)
                receiver->start(next.data, next.movie);
            else
                receiver->stop();
        };
        if (onStroke)
            connect(receiver, &PracticeArea::strokeWritten, receiver, end);
        else
            connect(receiver, &PracticeArea::characterWritten, receiver, end);
        drag(*area, practised.data.strokes[1].median);
        QCOMPARE(characterWritten.size(), onStroke ? 0 : 1);
        QCOMPARE(area->isActive(), restart);
        QVERIFY(!area->isAnimating());
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 0);
        QCOMPARE(m_sink.started.size(), onStroke ? 0 : 1);
        if (restart) {
            QCOMPARE(area->session()->strokeCount(), 3);
            QCOMPARE(area->session()->currentStroke(), 0);
            QCOMPARE(count(picture(*area), onWidget(*area, next.data.grid), isDark), 0);
        }
    }

    void strayInputIsIgnored()
    {
        const Lesson practised = lesson(QStringLiteral("大"));
        const auto area = shown(practised);
        QSignalSpy written(area.get(), &PracticeArea::strokeWritten);
        QSignalSpy missed(area.get(), &PracticeArea::missed);
        const QPolygonF &first = practised.data.strokes[0].median;
        const QImage before = picture(*area);
        drag(*area, first, Qt::RightButton);
        QTest::mouseRelease(area.get(), Qt::LeftButton, {}, area->toWidget(first.last()).toPoint());
        QTest::mouseMove(area.get(), QPoint(100, 100));
        QCOMPARE(written.size(), 0);
        QCOMPARE(missed.size(), 0);
        QCOMPARE(picture(*area), before);
        // A right button pressed in the middle of a stroke does not end it.
        const QList<QPoint> points = along(*area, first);
        QTest::mousePress(area.get(), Qt::LeftButton, {}, points.first());
        for (int i = 1; i < points.size(); ++i) {
            QTest::mouseMove(area.get(), points[i]);
            if (i == points.size() / 2) {
                QTest::mousePress(area.get(), Qt::RightButton, {}, points[i]);
                QTest::mouseRelease(area.get(), Qt::RightButton, {}, points[i]);
            }
        }
        QTest::mouseRelease(area.get(), Qt::LeftButton, {}, points.last());
        QCOMPARE(written.size(), 1);
        QCOMPARE(missed.size(), 0);
    }

    void inkFollowsThePointer()
    {
        const Lesson practised = lesson(QStringLiteral("一"));
        const auto area = shown(practised);
        const QPoint from = area->toWidget(QPointF(150, 900)).toPoint();
        const QPoint to = area->toWidget(QPointF(800, 900)).toPoint();
        const auto inked = [&](QPoint p) {
            return near(picture(*area).pixelColor(p), practised.data.writingColor, 8);
        };
        QVERIFY(!inked(from));
        QTest::mousePress(area.get(), Qt::LeftButton, {}, from);
        QVERIFY(inked(from));
        QTest::mouseMove(area.get(), (from + to) / 2);
        QTest::mouseMove(area.get(), to);
        QVERIFY(inked((from + to) / 2));
        QVERIFY(inked(to));
        // About a twelfth of the grid wide.
        const int width =
            count(picture(*area), QRect((from + to) / 2, QSize(1, 100)).translated(0, -50),
                  [&](QColor c) { return near(c, practised.data.writingColor, 8); });
        const int grid = onWidget(*area, practised.data.grid).width();
        QVERIFY2(width > grid / 16 && width < grid / 9, qPrintable(QString::number(width)));
    }

    void resizeWhilePractising()
    {
        const Lesson practised = lesson(QStringLiteral("马"));
        const auto area = shown(practised);
        QSignalSpy written(area.get(), &PracticeArea::strokeWritten);
        drag(*area, practised.data.strokes[0].median);
        // A stroke is begun at one size and ended at another.
        const QPolygonF &second = practised.data.strokes[1].median;
        const QList<QPoint> before = along(*area, second);
        QTest::mousePress(area.get(), Qt::LeftButton, {}, before.first());
        for (int i = 1; i < before.size() / 2; ++i)
            QTest::mouseMove(area.get(), before[i]);
        area->resize(820, 600);
        QTRY_COMPARE(area->size(), QSize(820, 600));
        const QList<QPoint> after = along(*area, second);
        for (int i = after.size() / 2; i < after.size(); ++i)
            QTest::mouseMove(area.get(), after[i]);
        QTest::mouseRelease(area.get(), Qt::LeftButton, {}, after.last());
        QCOMPARE(written.size(), 2);
        const QImage shot = picture(*area);
        QVERIFY(overlap(shot, coverage(practised.data, {0, 1}, area->size()), isDark) > 0.9);
        QVERIFY(overlap(shot, coverage(practised.data, {2}, area->size()), isGrey) > 0.8);
        area->resize(0, 0);
        drag(*area, practised.data.strokes[2].median);
        area->resize(577, 449);
        drag(*area, practised.data.strokes[2].median);
        QCOMPARE(written.size(), 3);
    }

    void nothingToPractise_data()
    {
        QTest::addColumn<bool>("withMovie");
        QTest::newRow("no strokes") << true;
        QTest::newRow("no movie") << false;
    }

    void nothingToPractise()
    {
        QFETCH(bool, withMovie);
        Lesson practised = lesson(QStringLiteral("大"));
        const auto area = shown(practised);
        drag(*area, practised.data.strokes[0].median);
        if (withMovie)
            practised.data.strokes.clear();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Writing practice")));
        area->start(practised.data, withMovie ? practised.movie : nullptr);
        QVERIFY(!area->isActive());
        QVERIFY(!area->isAnimating());
        QSignalSpy written(area.get(), &PracticeArea::strokeWritten);
        QSignalSpy missed(area.get(), &PracticeArea::missed);
        drag(*area, lesson(QStringLiteral("大")).data.strokes[0].median);
        QCOMPARE(written.size() + missed.size(), 0);
        QCOMPARE(count(picture(*area), area->rect(), isDark), 0);
    }
};

QTEST_MAIN(PracticeAreaTest)
#include "tst_practicearea.moc"
