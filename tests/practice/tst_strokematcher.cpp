// SPDX-License-Identifier: GPL-3.0-or-later
#include "strokematcher.h"

#include "characterdata.h"
#include "textfile.h"

#include <QLineF>
#include <QMap>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

using practice::matchStroke;

namespace {

QString dataDir()
{
    return QStringLiteral(ZORVINA_HANZI_DATA);
}

QPolygonF reversed(const QPolygonF &path)
{
    QPolygonF out;
    std::reverse_copy(path.cbegin(), path.cend(), std::back_inserter(out));
    return out;
}

double lengthOf(const QPolygonF &path)
{
    double length = 0.0;
    for (int i = 1; i < path.size(); ++i)
        length += QLineF(path[i - 1], path[i]).length();
    return length;
}

// The point at distance s along path, and the unit direction there; before
// the start and past the end on along the first or last piece, as a hand
// that starts early or overshoots goes on.
QPointF pointAlong(const QPolygonF &path, double s, QPointF *direction)
{
    *direction = QPointF(1, 0);
    QPointF from = path.first();
    for (int i = 1; i < path.size(); ++i) {
        const double length = QLineF(path[i - 1], path[i]).length();
        if (length <= 0.0)
            continue;
        *direction = (path[i] - path[i - 1]) / length;
        if (s <= length)
            return path[i - 1] + *direction * s;
        s -= length;
        from = path[i];
    }
    return from + *direction * s;
}

// Every point moved by up to amount in each coordinate.
QPolygonF withNoise(QRandomGenerator &random, const QPolygonF &path, double amount)
{
    QPolygonF out;
    for (const QPointF &p : path)
        out.append(p + QPointF((random.generateDouble() * 2 - 1) * amount,
                               (random.generateDouble() * 2 - 1) * amount));
    return out;
}

// The centre line as a young child traces it with a mouse: a slow wobble
// across the line (up to 40 units, at most a quarter of the stroke's length
// for the short ones: a dab does not swing wider than it is long), a few
// units of jitter, the ends overshot or stopped short by up to a tenth, and
// points at the uneven spacing of mouse events.
QPolygonF childWobble(QRandomGenerator &random, const QPolygonF &median)
{
    const double length = lengthOf(median);
    if (length <= 0.0)
        return median;
    const double amplitude = std::min(10.0 + 30.0 * random.generateDouble(), length / 4);
    const double cycles = 0.5 + random.generateDouble();
    const double phase = random.generateDouble() * 2 * M_PI;
    const double from = (random.generateDouble() * 2 - 1) * 0.1 * length;
    const double to = length + (random.generateDouble() * 2 - 1) * 0.1 * length;
    QPolygonF out;
    for (double s = from;; s += 3.0 + 15.0 * random.generateDouble()) {
        s = std::min(s, to);
        QPointF direction;
        const QPointF onLine = pointAlong(median, s, &direction);
        const QPointF normal(-direction.y(), direction.x());
        const double across =
            amplitude * std::sin(2 * M_PI * cycles * (s - from) / (to - from) + phase);
        const QPointF jitter((random.generateDouble() * 2 - 1) * 4,
                             (random.generateDouble() * 2 - 1) * 4);
        out.append(onLine + normal * across + jitter);
        if (s >= to)
            break;
    }
    return out;
}

// The whole centre line moved by up to 40 units and scaled by up to a tenth
// about its middle: a child traces beside the grey outline, not over it.
QPolygonF moved(QRandomGenerator &random, const QPolygonF &path)
{
    QPointF middle;
    for (const QPointF &p : path)
        middle += p;
    middle /= path.size();
    const double angle = random.generateDouble() * 2 * M_PI;
    const QPointF shift = QPointF(std::cos(angle), std::sin(angle)) * 40 * random.generateDouble();
    const double scale = 1 + (random.generateDouble() * 2 - 1) * 0.1;
    QPolygonF out;
    for (const QPointF &p : path)
        out.append(middle + (p - middle) * scale + shift);
    return out;
}

// Strokes at least this long lose their end when only half is drawn; for
// those shorter than ShortStroke (dots, ticks) a dab over the middle part of
// the stroke is a fair try.
constexpr double LongStroke = 250.0;
constexpr double ShortStroke = 200.0;

// The part of path from the share from of its length to the share to.
QPolygonF part(const QPolygonF &path, double from, double to)
{
    QPolygonF out;
    QPointF direction;
    for (int k = 0; k <= 16; ++k)
        out.append(pointAlong(path, lengthOf(path) * (from + (to - from) * k / 16), &direction));
    return out;
}

// The most frequent keys of counts, most first, as "key count, ...".
QString mostFrequent(const QMap<QString, int> &counts)
{
    QList<QPair<int, QString>> list;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        list.append({it.value(), it.key()});
    std::sort(list.begin(), list.end(), std::greater<>());
    QStringList parts;
    for (int i = 0; i < std::min(8, int(list.size())); ++i)
        parts.append(QStringLiteral("%1 %2").arg(list[i].second).arg(list[i].first));
    return parts.join(QStringLiteral(", "));
}

// A tally of how often one kind of path was judged as it should be, with the
// exceptions by character and by reason.
struct Rate
{
    explicit Rate(bool shouldBeAccepted = true) : shouldAccept(shouldBeAccepted) {}

    bool shouldAccept;
    int right = 0;
    int total = 0;
    QMap<QString, int> byCharacter;
    QMap<QString, int> byReason;

    void count(const practice::StrokeMatch &match, const QString &character)
    {
        ++total;
        if (match.accepted == shouldAccept) {
            ++right;
            return;
        }
        ++byCharacter[character];
        ++byReason[match.accepted ? QStringLiteral("accepted") : match.reason];
    }
    double percent() const { return total ? 100.0 * right / total : 0.0; }
    // Reports the rate, for the record, and whether it is at least bound.
    bool holds(const char *what, double bound) const
    {
        qInfo("%s: %d of %d (%.3f %%, at least %.2f %% expected); exceptions: %s; why: %s", what,
              right, total, percent(), bound, qUtf8Printable(mostFrequent(byCharacter)),
              qUtf8Printable(mostFrequent(byReason)));
        return total > 0 && percent() >= bound;
    }
};

} // namespace

class TestStrokeMatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void handMade_data();
    void handMade();
    void degenerate_data();
    void degenerate();
    void wholeList();
};

void TestStrokeMatcher::handMade_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("stroke");
    QTest::addColumn<QPolygonF>("drawn");
    QTest::addColumn<QString>("reason"); // why it is refused; empty when accepted

    // 永 0 is the dot: 428,76 → 539,159.
    QTest::newRow("dot dabbed") << "永" << 0 << QPolygonF{{440, 90}, {480, 115}, {515, 140}}
                                << QString();
    QTest::newRow("dot dabbed short")
        << "永" << 0 << QPolygonF{{450, 95}, {470, 110}, {495, 125}} << QString();
    QTest::newRow("dot upwards") << "永" << 0 << QPolygonF{{515, 140}, {480, 115}, {440, 90}}
                                 << QStringLiteral("wrong direction");
    QTest::newRow("dot tap") << "永" << 0 << QPolygonF{{470, 100}} << QStringLiteral("too short");
    QTest::newRow("dot tap of a few units")
        << "永" << 0 << QPolygonF{{470, 100}, {473, 102}, {471, 104}}
        << QStringLiteral("too short");
    QTest::newRow("dot far away") << "永" << 0 << QPolygonF{{440, 600}, {515, 650}}
                                  << QStringLiteral("starts too far");
    // 永 1, 横折钩: 309,321 → 508,319 → 500,841 → 355,822.
    QTest::newRow("hook traced roughly")
        << "永" << 1 << QPolygonF{{300, 330}, {400, 310}, {490, 300}, {520, 420},
                                  {510, 600}, {495, 820}, {430, 850}, {370, 810}}
        << QString();
    QTest::newRow("hook without its hook")
        << "永" << 1
        << QPolygonF{{300, 330}, {400, 310}, {490, 300}, {520, 420}, {510, 600}, {500, 840}}
        << QString();
    QTest::newRow("hook, the bar only")
        << "永" << 1 << QPolygonF{{300, 330}, {400, 310}, {500, 310}}
        << QStringLiteral("ends too far");
    // 心 1, 卧钩: 306,427 → 471,685 → 748,695 → 691,507.
    QTest::newRow("lying hook") << "心" << 1
                                << QPolygonF{{310, 440}, {360, 570}, {450, 680}, {600, 720},
                                             {760, 690}, {780, 640}, {700, 520}}
                                << QString();
    // 九 1, 横折弯钩: 153,428 → 638,340 → 576,698 → 801,857 → 946,633.
    QTest::newRow("bent hook") << "九" << 1 << QPolygonF{{160, 440}, {400, 380}, {630, 350},
                                                         {600, 500}, {590, 700}, {650, 830},
                                                         {850, 850}, {930, 780}, {940, 650}}
                               << QString();
    // 乙: one stroke of many turns.
    QTest::newRow("乙 traced") << "乙" << 0
                               << QPolygonF{{250, 210}, {420, 200}, {580, 180}, {450, 350},
                                            {300, 540}, {260, 720}, {360, 820}, {650, 830},
                                            {840, 760}, {850, 600}}
                               << QString();
    // 人 0 撇: 483,164 → 72,805; 人 1 捺: 474,423 → 986,810.
    QTest::newRow("long left sweep")
        << "人" << 0 << QPolygonF{{490, 180}, {460, 350}, {330, 590}, {90, 790}} << QString();
    QTest::newRow("long right sweep")
        << "人" << 1 << QPolygonF{{470, 440}, {600, 590}, {760, 750}, {960, 800}} << QString();
    QTest::newRow("sweep straight down")
        << "人" << 0 << QPolygonF{{490, 180}, {490, 500}, {490, 800}}
        << QStringLiteral("ends too far");
    QTest::newRow("right sweep first")
        << "人" << 0 << QPolygonF{{470, 440}, {600, 590}, {760, 750}, {960, 800}}
        << QStringLiteral("starts too far");
    // 三 2, the long bottom bar: 127,748 → 955,726.
    QTest::newRow("half a bar") << "三" << 2 << QPolygonF{{130, 750}, {350, 740}, {540, 730}}
                                << QStringLiteral("ends too far");
    QTest::newRow("bar overshot") << "三" << 2 << QPolygonF{{90, 760}, {500, 730}, {1000, 720}}
                                  << QString();
    QTest::newRow("middle bar for bottom")
        << "三" << 2 << QPolygonF{{331, 493}, {628, 457}, {700, 468}}
        << QStringLiteral("starts too far");
    QTest::newRow("bar beside the line")
        << "三" << 2 << QPolygonF{{127, 900}, {500, 880}, {955, 880}}
        << QStringLiteral("strays from the stroke");
    QTest::newRow("scribble over the bar")
        << "三" << 2 << QPolygonF{{130, 750}, {300, 650}, {200, 800}, {500, 650},
                                  {400, 820}, {700, 650}, {600, 800}, {950, 720}}
        << QStringLiteral("too long");
    QTest::newRow("bar drawn off the square")
        << "三" << 2 << QPolygonF{{1500, 750}, {2300, 730}} << QStringLiteral("starts too far");
}

void TestStrokeMatcher::handMade()
{
    QFETCH(QString, character);
    QFETCH(int, stroke);
    QFETCH(QPolygonF, drawn);
    QFETCH(QString, reason);

    const CharacterData data = loadCharacter(dataDir(), character);
    const practice::StrokeMatch match = matchStroke(drawn, data.medians, stroke);
    QCOMPARE(match.reason, reason);
    QCOMPARE(match.accepted, reason.isEmpty());
}

void TestStrokeMatcher::degenerate_data()
{
    const QList<QPolygonF> bars{QPolygonF{{100, 500}, {900, 500}},
                                QPolygonF{{500, 100}, {500, 900}}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    QPolygonF many;
    for (int i = 0; i < 100000; ++i)
        many.append(QPointF(100 + 800.0 * i / 99999, 500 + (i % 2 ? 1 : -1)));
    QPolygonF manyInPlace(100000, QPointF(500, 500));
    // A slow hand: an event every fifth of a unit, each trembling by up to
    // 1.5 units; the trembling must not count as length.
    QPolygonF trembling;
    QRandomGenerator random(7);
    for (double x = 100; x <= 900; x += 0.2)
        trembling.append(QPointF(x, 500 + (random.generateDouble() * 2 - 1) * 1.5));

    QTest::addColumn<QList<QPolygonF>>("medians");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QPolygonF>("drawn");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("empty path") << bars << 0 << QPolygonF() << false;
    QTest::newRow("one point") << bars << 0 << QPolygonF{{500, 500}} << false;
    QTest::newRow("same point twice") << bars << 0 << QPolygonF{{500, 500}, {500, 500}} << false;
    QTest::newRow("NaN") << bars << 0 << QPolygonF{{100, 500}, {nan, 500}, {900, 500}} << false;
    QTest::newRow("infinite") << bars << 0 << QPolygonF{{100, 500}, {infinity, 500}} << false;
    QTest::newRow("huge") << bars << 0 << QPolygonF{{100, 500}, {1e300, -1e300}} << false;
    QTest::newRow("100,000 points") << bars << 0 << many << true;
    QTest::newRow("slow trembling hand") << bars << 0 << trembling << true;
    QTest::newRow("100,000 points in place") << bars << 0 << manyInPlace << false;
    QTest::newRow("expected past the end") << bars << 2 << bars[0] << false;
    QTest::newRow("expected negative") << bars << -1 << bars[0] << false;
    QTest::newRow("no strokes") << QList<QPolygonF>() << 0 << bars[0] << false;
    QTest::newRow("empty centre line") << QList<QPolygonF>{QPolygonF()} << 0 << bars[0] << false;
    QTest::newRow("one-point centre line")
        << QList<QPolygonF>{QPolygonF{{100, 500}}} << 0 << bars[0] << false;
    QTest::newRow("damaged other line")
        << QList<QPolygonF>{bars[0], QPolygonF{{nan, nan}, {100, 500}}} << 0 << bars[0] << true;
}

void TestStrokeMatcher::degenerate()
{
    QFETCH(QList<QPolygonF>, medians);
    QFETCH(int, expected);
    QFETCH(QPolygonF, drawn);
    QFETCH(bool, accepted);

    const practice::StrokeMatch match = matchStroke(drawn, medians, expected);
    QCOMPARE(match.accepted, accepted);
    QCOMPARE(match.reason.isEmpty(), accepted);
}

// Every stroke of every character of the default list, drawn as it should
// be and as it should not.
// Every stroke of every character of the default list, drawn as it should
// be and as it should not.
void TestStrokeMatcher::wholeList()
{
    const QStringList characters = readCharacterList(QStringLiteral(ZORVINA_APP_DIR "/hanzi.ini"));
    QVERIFY(characters.size() >= 2500);
    QRandomGenerator random(20261207);
    Rate asIs, noisy, wobbly, offset, dabs;
    Rate reverse(false), reverseWobbly(false), halves(false), others(false), othersWobbly(false);
    for (const QString &character : characters) {
        const CharacterData data = loadCharacter(dataDir(), character);
        const QList<QPolygonF> &medians = data.medians;
        const auto judge = [&](Rate &rate, const QPolygonF &drawn, int i) {
            rate.count(matchStroke(drawn, medians, i), character);
        };
        for (int i = 0; i < medians.size(); ++i) {
            const QPolygonF &line = medians[i];
            judge(asIs, line, i);
            judge(noisy, withNoise(random, line, 6), i);
            judge(wobbly, childWobble(random, line), i);
            judge(offset, childWobble(random, moved(random, line)), i);
            judge(reverse, reversed(line), i);
            judge(reverseWobbly, childWobble(random, reversed(line)), i);
            if (lengthOf(line) < ShortStroke)
                judge(dabs, withNoise(random, part(line, 0.1, 0.7), 4), i);
            if (lengthOf(line) >= LongStroke)
                judge(halves, part(line, 0, 0.5), i);
            for (int j = 0; j < medians.size(); ++j) {
                if (j == i)
                    continue;
                judge(others, medians[j], i);
                judge(othersWobbly, childWobble(random, medians[j]), i);
            }
        }
    }
    // Each bound sits a little under the rate measured, so that a change
    // for the worse shows; every rate is reported before any fails.
    int failing = 0;
    failing += !asIs.holds("centre line accepted", 100.0);
    failing += !noisy.holds("with noise accepted", 99.9);
    failing += !wobbly.holds("child's wobble accepted", 99.9);
    failing += !offset.holds("wobble moved and resized accepted", 99.5);
    failing += !dabs.holds("short stroke dabbed accepted", 99.9);
    failing += !reverse.holds("reversed refused", 99.9);
    failing += !reverseWobbly.holds("reversed wobble refused", 99.9);
    failing += !halves.holds("first half of a long stroke refused", 98.0);
    failing += !others.holds("other strokes refused", 99.99);
    failing += !othersWobbly.holds("other strokes' wobble refused", 99.99);
    QCOMPARE(failing, 0);
}

QTEST_GUILESS_MAIN(TestStrokeMatcher)
#include "tst_strokematcher.moc"
