// Character movies in the real player (Ruffle in Qt WebEngine): what it draws
// must be the data's strokes, checked against Qt's own painting of them.
#include "characterdata.h"
#include "frameplan.h"
#include "moviebuilder.h"
#include "strokereference.h"
#include "testfolder.h"
#include "webengineplayer.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QLineF>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

Q_CONSTRUCTOR_FUNCTION(prepareWebEngineProcess)

// The web engine starts slowly on a loaded machine.
constexpr int timeoutMs = 60000;

const QString Data = QStringLiteral(ZORVINA_HANZI_DATA);

bool isPinyin(const QColor &c)
{
    return c.blue() > 150 && c.red() < 90;
}

} // namespace

class TestMoviesInPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void finishedCharacterMatchesItsOutlines_data();
    void finishedCharacterMatchesItsOutlines();
    void earlyFrameShowsTheFirstStrokesBeginning();

private:
    // Writes a still of the character's movie stopped at frame (-1: the
    // last) and waits until the player shows it. The movie has no sound:
    // these checks are about the picture, and a test should not speak.
    void showStill(const QString &character, int frame);
    QImage picture() const { return m_player->grab().toImage(); }

    TestFolder m_app;
    std::unique_ptr<WebEnginePlayer> m_player;
    MovieInput m_input;
    QList<PlannedFrame> m_plan;
};

void TestMoviesInPlayer::initTestCase()
{
    m_app.link(QStringLiteral("/ruffle"), QStringLiteral(ZORVINA_APP_DIR "/ruffle"));
    m_player = std::make_unique<WebEnginePlayer>(m_app.folder());
    m_player->resize(MovieLayout::Stage);
    m_player->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_player.get()));
}

void TestMoviesInPlayer::showStill(const QString &character, int frame)
{
    m_input = MovieInput();
    m_input.data = loadCharacter(Data, character);
    m_input.pinyinOutline =
        pinyinOutline(QStringLiteral("pīn"), pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT)));
    m_plan = planMovie(m_input);
    const QString movie = QStringLiteral("/Work/") + character + QStringLiteral(".swf");
    m_app.write(movie, buildMovie(m_input, m_plan, frame < 0 ? int(m_plan.size()) - 1 : frame));
    QSignalSpy shown(m_player.get(), &WebEnginePlayer::movieShown);
    m_player->LoadMovie(0, m_app.file(movie));
    QVERIFY(shown.wait(timeoutMs));
}

void TestMoviesInPlayer::finishedCharacterMatchesItsOutlines_data()
{
    QTest::addColumn<QString>("character");
    QTest::newRow("one stroke") << QStringLiteral("一");
    QTest::newRow("five strokes") << QStringLiteral("永");
    QTest::newRow("seventeen strokes") << QStringLiteral("赢");
}

void TestMoviesInPlayer::finishedCharacterMatchesItsOutlines()
{
    QFETCH(QString, character);
    showStill(character, -1);
    const QList<QPoint> expected = gridPixelsWhere(referenceStrokes(Data, character), isInk);
    QVERIFY(expected.size() > 500);
    // The player reaches the still's frame a moment after showing the first.
    double iou = 0.0;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (iou = intersectionOverUnion(gridPixelsWhere(picture(), isInk), expected)) >= 0.9,
        qPrintable(QStringLiteral("overlap %1").arg(iou)), timeoutMs);
    // The pinyin comes a moment after the last stroke, above the grid.
    QTRY_VERIFY_WITH_TIMEOUT(
        !gridPixelsWhere(picture(), isPinyin, MovieLayout::PinyinBand.toRect()).isEmpty(),
        timeoutMs);
    QVERIFY(intersectionOverUnion(gridPixelsWhere(picture(), isInk), expected) >= 0.9);
}

// 大 starts with its long horizontal stroke, written left to right: a few
// frames in, the player shows only the writing colour, only inside that
// stroke, and only at its start.
void TestMoviesInPlayer::earlyFrameShowsTheFirstStrokesBeginning()
{
    const QString character = QStringLiteral("大");
    const int early = Timing().leadInFrames + 3;
    showStill(character, early);
    QVERIFY(m_plan[early].stroke == 0 && m_plan[early].reveal < 0.3);
    QTRY_VERIFY_WITH_TIMEOUT(gridPixelsWhere(picture(), isInk).isEmpty(), timeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(gridPixelsWhere(picture(), isWriting).size() > 20, timeoutMs);

    const QList<QPoint> written = gridPixelsWhere(picture(), isWriting);
    const QImage stroke = referenceStrokes(Data, character, 0);
    const QTransform toStage = MovieLayout::characterToStage();
    const QPointF start = toStage.map(m_input.data.medians[0].first());
    const QPointF end = toStage.map(m_input.data.medians[0].last());
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
