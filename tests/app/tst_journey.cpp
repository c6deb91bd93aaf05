// SPDX-License-Identifier: GPL-3.0-or-later
// A child's session with the real movie area: start on the remembered
// character, step with the keyboard and the buttons, write a character,
// search, close. The library's movies all play natively: the web engine
// never starts.
#include "moviearea.h"
#include "nativeplayer.h"
#include "practicearea.h"
#include "practicesession.h"
#include "swfmovie.h"
#include "webengineenvironment.h"
#include "windowfixture.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// The centre lines of a staged movie's strokes, as its practice data has them.
QList<QPolygonF> centreLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const swf::ReadResult read = swf::readMovie(file.readAll());
    if (!read.movie)
        return {};
    const auto data = practice::readPracticeData(read.movie->privateData.value(practice::TagCode));
    QList<QPolygonF> lines;
    for (const practice::Stroke &stroke : data ? data->strokes : QList<practice::Stroke>())
        lines.append(stroke.median);
    return lines;
}

// A drag along a line of the character square, as a hand draws it.
void drag(PracticeArea *area, const QPolygonF &line)
{
    const auto at = [&](QPointF p) { return area->toWidget(p).toPoint(); };
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, at(line.first()));
    for (int i = 1; i < line.size(); ++i) {
        for (int step = 1; step <= 4; ++step) {
            QMouseEvent move(
                QEvent::MouseMove, at(line[i - 1] + (line[i] - line[i - 1]) * step / 4.0),
                area->mapToGlobal(at(line[i])), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(area, &move);
        }
    }
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, at(line.last()));
}

} // namespace

class TestJourney : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void journey();
};

void TestJourney::journey()
{
    // The fixture's folder, with the library's real movies and the player.
    WindowFixture fixture(QStringLiteral("一二三四五"), QStringLiteral("二"));
    const TestFolder &dir = fixture.dir;
    QVERIFY(QDir(dir.file(QStringLiteral("/hanzi"))).removeRecursively());
    dir.link(QStringLiteral("/hanzi"), QStringLiteral(ZORVINA_APP_DIR "/hanzi"));
    dir.link(QStringLiteral("/ruffle"), QStringLiteral(ZORVINA_APP_DIR "/ruffle"));

    RecordingDialogs &dialogs = fixture.dialogs;
    auto *player =
        new MovieArea(dir.folder(), QStringLiteral(ZORVINA_APP_DIR "/zorvina-webplayer.so"));
    QSignalSpy shown(player, &MovieArea::movieShown);
    QSignalSpy unavailable(player, &MovieArea::unavailable);
    const auto waitUntilShown = [&](const QString &path) {
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(shown.cbegin(), shown.cend(),
                        [&](const QList<QVariant> &args) { return args.at(0).toString() == path; }),
            30000);
        shown.clear();
    };
    frmMain window(dir.folder(), *player, dialogs);
    QObject::connect(player, &MovieArea::practiceChanged, &window, &frmMain::showPractising);
    window.load();
    const WindowControls ui(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    waitUntilShown(fixture.playable(QStringLiteral("二")));
    QCOMPARE(QApplication::focusWidget(), ui.List1());

    // Tab goes round the window through the movie area, both ways; the
    // search box's prompt goes when it is entered.
    QCOMPARE(ui.txtInput()->text(), QStringLiteral("索引"));
    QList<QWidget *> chain{ui.List1(), ui.objSh(),    ui.txtInput(),
                           ui.cmdUp(), ui.cmdClose(), ui.cmdDown()};
    // The write-it button follows the next button, and takes the focus only
    // when the movie on screen has writing practice.
    auto *write = window.findChild<PictureButton *>(QStringLiteral("cmdWrite"));
    QVERIFY(write);
    QVERIFY(write->isEnabled());
    chain.append(write);
    const auto focused = [&]() -> QWidget * {
        QWidget *f = QApplication::focusWidget();
        return f && ui.objSh()->isAncestorOf(f) ? ui.objSh() : f;
    };
    for (int i = 1; i <= chain.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(focused(), chain[i % chain.size()]);
    }
    for (int i = chain.size() - 1; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTRY_COMPARE(focused(), chain[i]);
    }
    QCOMPARE(ui.txtInput()->text(), QString());

    QTest::keyClick(ui.List1(), Qt::Key_Down);
    waitUntilShown(fixture.playable(QStringLiteral("三")));
    QCOMPARE(QApplication::focusWidget(), ui.List1());

    // Writing 三: the button stays pushed in while the child writes; a
    // stroke drawn backwards is not taken, then the three strokes in order
    // write the character.
    const QList<QPolygonF> lines = centreLines(fixture.playable(QStringLiteral("三")));
    QCOMPARE(lines.size(), 3);
    QTest::mouseClick(write, Qt::LeftButton);
    QVERIFY(player->isPractising());
    QVERIFY(write->isChecked());
    PracticeArea *practice = player->practiceArea();
    practice->setRewardTime(50);
    QSignalSpy written(practice, &PracticeArea::strokeWritten);
    QSignalSpy missed(practice, &PracticeArea::missed);
    QPolygonF backwards(lines[0].crbegin(), lines[0].crend());
    drag(practice, backwards);
    QCOMPARE(missed.count(), 1);
    for (const QPolygonF &line : lines)
        drag(practice, line);
    QCOMPARE(written.count(), 3);
    QVERIFY(practice->session()->isFinished());
    QCOMPARE(practice->session()->rightFirstTime(), 2);
    // The lesson comes back by itself once the star has shown.
    QTRY_VERIFY(!player->isPractising());
    QVERIFY(!write->isChecked());
    QVERIFY(player->nativePlayer()->hasMovie());

    // Choosing another character while practising goes back to the lesson.
    QTest::mouseClick(write, Qt::LeftButton);
    QVERIFY(player->isPractising());
    QTest::mouseClick(ui.cmdDown(), Qt::LeftButton);
    waitUntilShown(fixture.playable(QStringLiteral("四")));
    QVERIFY(!player->isPractising());
    QVERIFY(write->isEnabled());
    QVERIFY(!write->isChecked());

    QTest::mouseClick(ui.txtInput(), Qt::LeftButton);
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("一"));
    QApplication::sendEvent(ui.txtInput(), &press);
    waitUntilShown(fixture.playable(QStringLiteral("一")));
    QCOMPARE(ui.List1()->currentRow(), 0);
    QCOMPARE(QApplication::focusWidget(), ui.txtInput());
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList{QStringLiteral("一.swf")});

    QTest::mouseClick(ui.cmdClose(), Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QCOMPARE(dialogs.messages,
             QStringList{QStringLiteral(
                 "计算机已经记住你本次最后学习的字是：“一”，谢谢使用，祝你玩得开心！！")});
    QCOMPARE(unavailable.count(), 0);
    QVERIFY(!player->webPlayer());
}

int main(int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    TestJourney test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journey.moc"
