// SPDX-License-Identifier: GPL-3.0-or-later
#include "practicesession.h"

#include "characterdata.h"

#include <QTest>

#include <algorithm>
#include <iterator>

using practice::PracticeSession;
using Outcome = PracticeSession::Outcome;

namespace {

// The three horizontal strokes of 三, top to bottom, as the data gives them.
QList<QPolygonF> threeStrokes()
{
    return {QPolygonF{{300, 250}, {724, 250}}, QPolygonF{{350, 500}, {674, 500}},
            QPolygonF{{200, 780}, {824, 780}}};
}

// 'A' accepted, 'M' missed, 'W' written for the child, 'I' ignored.
QString letters(const QList<Outcome> &outcomes)
{
    QString text;
    for (Outcome outcome : outcomes) {
        switch (outcome) {
        case Outcome::Accepted:
            text += QLatin1Char('A');
            break;
        case Outcome::Missed:
            text += QLatin1Char('M');
            break;
        case Outcome::WrittenForChild:
            text += QLatin1Char('W');
            break;
        case Outcome::Ignored:
            text += QLatin1Char('I');
            break;
        }
    }
    return text;
}

} // namespace

class TestPracticeSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void submissions_data();
    void submissions();
    void realCharacter();
    void noStrokes();
};

void TestPracticeSession::submissions_data()
{
    // tries: 'g' the expected stroke's centre line, 'r' it reversed, 'x' a
    // path far off the square, 'n' the next stroke's line (wrong order).
    QTest::addColumn<QString>("tries");
    QTest::addColumn<QString>("outcomes");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("misses");
    QTest::addColumn<int>("rightFirstTime");

    QTest::newRow("nothing yet") << ""
                                 << "" << 0 << 0 << 0;
    QTest::newRow("all right") << "ggg"
                               << "AAA" << 3 << 0 << 3;
    QTest::newRow("after finishing") << "gggg"
                                     << "AAAI" << 3 << 0 << 3;
    QTest::newRow("one miss") << "x"
                              << "M" << 0 << 1 << 0;
    QTest::newRow("miss then right") << "rg"
                                     << "MA" << 1 << 0 << 0;
    QTest::newRow("misses reset on next") << "xgg"
                                          << "MAA" << 2 << 0 << 1;
    QTest::newRow("written for child") << "xrn"
                                       << "MMW" << 1 << 0 << 0;
    QTest::newRow("written then right") << "xxxg"
                                        << "MMWA" << 2 << 0 << 1;
    QTest::newRow("all written for child") << "xxxxxxxxxg"
                                           << "MMWMMWMMWI" << 3 << 0 << 0;
    QTest::newRow("two misses, right") << "xxgxgg"
                                       << "MMAMAA" << 3 << 0 << 1;
    QTest::newRow("wrong order") << "n"
                                 << "M" << 0 << 1 << 0;
}

void TestPracticeSession::submissions()
{
    QFETCH(QString, tries);
    QFETCH(QString, outcomes);
    QFETCH(int, current);
    QFETCH(int, misses);
    QFETCH(int, rightFirstTime);

    const QList<QPolygonF> medians = threeStrokes();
    PracticeSession session(medians);
    QCOMPARE(session.strokeCount(), 3);
    QList<Outcome> got;
    for (QChar c : tries) {
        const int at = std::min(session.currentStroke(), int(medians.size()) - 1);
        QPolygonF path;
        if (c == QLatin1Char('g'))
            path = medians[at];
        else if (c == QLatin1Char('r'))
            std::reverse_copy(medians[at].cbegin(), medians[at].cend(), std::back_inserter(path));
        else if (c == QLatin1Char('n'))
            path = medians[(at + 1) % medians.size()];
        else
            path = QPolygonF{{5000, 5000}, {5400, 5000}};
        got.append(session.submit(path));
    }
    QCOMPARE(letters(got), outcomes);
    QCOMPARE(session.currentStroke(), current);
    QCOMPARE(session.missesOnCurrent(), misses);
    QCOMPARE(session.rightFirstTime(), rightFirstTime);
    QCOMPARE(session.isFinished(), current == 3);
}

// A whole character from the data, written along its own centre lines.
void TestPracticeSession::realCharacter()
{
    const CharacterData data =
        loadCharacter(QStringLiteral(ZORVINA_HANZI_DATA), QStringLiteral("永"));
    PracticeSession session(data.medians);
    QCOMPARE(session.strokeCount(), int(data.medians.size()));
    // The last stroke first is the wrong order.
    QCOMPARE(session.submit(data.medians.last()), Outcome::Missed);
    for (const QPolygonF &median : data.medians)
        QCOMPARE(session.submit(median), Outcome::Accepted);
    QVERIFY(session.isFinished());
    QCOMPARE(session.rightFirstTime(), int(data.medians.size()) - 1);
}

void TestPracticeSession::noStrokes()
{
    PracticeSession session({});
    QVERIFY(session.isFinished());
    QCOMPARE(session.submit(QPolygonF{{0, 0}, {100, 0}}), Outcome::Ignored);
    QCOMPARE(session.currentStroke(), 0);
    QCOMPARE(session.rightFirstTime(), 0);
}

QTEST_GUILESS_MAIN(TestPracticeSession)
#include "tst_practicesession.moc"
