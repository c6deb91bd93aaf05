// Character movies in the real player (Ruffle in Qt WebEngine): what it draws
// must be the data's strokes, checked against Qt's own painting of them.
#include "appfolder.h"
#include "characterdata.h"
#include "frameplan.h"
#include "moviebuilder.h"
#include "strokereference.h"
#include "webengineplayer.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QFile>
#include <QLineF>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

Q_CONSTRUCTOR_FUNCTION(prepareWebEngineProcess)

// The web engine starts slowly on a loaded machine.
constexpr int timeoutMs = 60000;

const QString Data = QStringLiteral(ZORVINA_HANZI_DATA);

bool pinyinShown(const QImage &picture)
{
    for (int y = 0; y < int(MovieLayout::PinyinBand.bottom()); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.blue() > 150 && c.red() < 90)
                return true;
        }
    }
    return false;
}

} // namespace

class TestMoviesInPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void finishedCharacterMatchesItsOutlines_data();
    void finishedCharacterMatchesItsOutlines();
    void earlyFrameShowsTheFirstStrokesBeginning();

private:
    // Plans the character's movie, without sound: these checks are about the
    // picture, and a test should not speak.
    void prepare(const QString &character);
    // Writes a still of the movie stopped at frame and waits until the player
    // shows it.
    void showStill(int frame);
    QImage picture() const { return m_player->grab().toImage(); }

    std::unique_ptr<QTemporaryDir> m_app;
    std::unique_ptr<WebEnginePlayer> m_player;
    MovieInput m_input;
    QList<PlannedFrame> m_plan;
};

void TestMoviesInPlayer::init()
{
    m_app = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_app->path()).mkdir(QStringLiteral("Work")));
    QVERIFY(QFile::link(QStringLiteral(ZORVINA_APP_DIR "/ruffle"),
                        m_app->filePath(QStringLiteral("ruffle"))));
    m_player = std::make_unique<WebEnginePlayer>(AppFolder(m_app->path()));
    m_player->resize(MovieLayout::Stage);
    m_player->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_player.get()));
}

void TestMoviesInPlayer::cleanup()
{
    m_player.reset();
    m_app.reset();
}

void TestMoviesInPlayer::prepare(const QString &character)
{
    m_input = MovieInput();
    m_input.data = loadCharacter(Data, character);
    m_input.pinyinOutline =
        pinyinOutline(QStringLiteral("pīn"), pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT)));
    m_plan = planMovie(m_input);
}

void TestMoviesInPlayer::showStill(int frame)
{
    const QString path =
        m_app->filePath(QStringLiteral("Work/") + m_input.data.character + QStringLiteral(".swf"));
    QFile file(path);
    const QByteArray movie = buildMovie(m_input, m_plan, frame);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(movie) == movie.size());
    file.close();

    QSignalSpy shown(m_player.get(), &WebEnginePlayer::movieShown);
    m_player->LoadMovie(0, path);
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
    prepare(character);
    showStill(int(m_plan.size()) - 1);
    const QList<QPoint> expected = gridPixelsWhere(referenceStrokes(Data, character), isInk);
    QVERIFY(expected.size() > 500);
    // The player reaches the still's frame a moment after showing the first.
    double iou = 0.0;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (iou = intersectionOverUnion(gridPixelsWhere(picture(), isInk), expected)) >= 0.9,
        qPrintable(QStringLiteral("overlap %1").arg(iou)), timeoutMs);
    // The pinyin comes a moment after the last stroke, above the grid.
    QTRY_VERIFY_WITH_TIMEOUT(pinyinShown(picture()), timeoutMs);
    QVERIFY(intersectionOverUnion(gridPixelsWhere(picture(), isInk), expected) >= 0.9);
}

// 大 starts with its long horizontal stroke, written left to right: a few
// frames in, the player shows only the writing colour, only inside that
// stroke, and only at its start.
void TestMoviesInPlayer::earlyFrameShowsTheFirstStrokesBeginning()
{
    const QString character = QStringLiteral("大");
    prepare(character);
    const int early = firstFrameOfStroke(m_plan, 0) + 3;
    QVERIFY(m_plan[early].reveal < 0.3);
    showStill(early);
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
