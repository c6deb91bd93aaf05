// SPDX-License-Identifier: GPL-3.0-or-later
// A child's session with the real movie area: start on the remembered
// character, step with the keyboard and the buttons, search, close. The
// library's movies all play natively: the web engine never starts.
#include "moviearea.h"
#include "webengineenvironment.h"
#include "windowfixture.h"

#include <QSignalSpy>
#include <QTest>

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
    if (write->isEnabled())
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

    QTest::mouseClick(ui.cmdDown(), Qt::LeftButton);
    waitUntilShown(fixture.playable(QStringLiteral("四")));

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
