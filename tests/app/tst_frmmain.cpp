#include "fileerror.h"
#include "picturebutton.h"
#include "searchbox.h"
#include "sessionend.h"
#include "startup.h"
#include "textfile.h"
#include "windowfixture.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

namespace {

const QString five = QStringLiteral("一二三四五");

QString goodbye(const QString &c)
{
    return QStringLiteral("计算机已经记住你本次最后学习的字是：“") + c +
           QStringLiteral("”，谢谢使用，祝你玩得开心！！");
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layoutFollowsTheTwipTable_data();
    void layoutFollowsTheTwipTable();
    void windowIsFixedAndFramed();
    void tabOrderAndFirstFocus();
    void listKeepsTheFileOrder();

    void restoresTheRememberedCharacter();
    void rememberedCharacterIsScrolledIntoView();
    void unknownRememberedCharacterSelectsNothing_data();
    void unknownRememberedCharacterSelectsNothing();
    void emptyListStillOpens();
    void startUpFailures_data();
    void startUpFailures();

    void closeRemembersAndSaysGoodbye_data();
    void closeRemembersAndSaysGoodbye();
    void closeWithNothingCurrent();
    void unsavableCharacterIsReportedNotClaimed();
    void sessionEndClosesQuietly();
    void sessionEndSignalIsNoticed();

    void clickReplaysButCodeDoesNot();

    void pointerFollowsTheMouse();
    void pointerWithAButtonHeld();
};

void TestMainWindow::layoutFollowsTheTwipTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("List1") << QStringLiteral("List1") << QRect(120, 960, 1455, 6780);
    QTest::newRow("objSh") << QStringLiteral("objSh") << QRect(1680, 120, 8655, 6735);
    QTest::newRow("txtInput") << QStringLiteral("txtInput") << QRect(120, 120, 1455, 705);
    QTest::newRow("cmdUp") << QStringLiteral("cmdUp") << QRect(3000, 7080, 1455, 735);
    QTest::newRow("cmdClose") << QStringLiteral("cmdClose") << QRect(8640, 7080, 1455, 735);
    QTest::newRow("cmdDown") << QStringLiteral("cmdDown") << QRect(4560, 7080, 1455, 735);
}

void TestMainWindow::layoutFollowsTheTwipTable()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    const auto *control = window.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QVERIFY(window.rect().contains(control->geometry()));
    for (const QWidget *other : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (other != control)
            QVERIFY2(!other->geometry().intersects(control->geometry()),
                     qPrintable(other->objectName()));
    }
}

void TestMainWindow::windowIsFixedAndFramed()
{
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Zorvina"));
    QCOMPARE(window.minimumSize(), QSize(701, 531));
    QCOMPARE(window.maximumSize(), QSize(701, 531));
    QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(window.palette().color(QPalette::Window), QColor(255, 192, 128));
    QCOMPARE(window.List1->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(window.List1->font().pointSizeF(), 42.0);
    QCOMPARE(window.txtInput->font().pointSizeF(), 26.25);
    QVERIFY(window.txtInput->font().bold());
    QCOMPARE(window.cmdUp->palette().color(QPalette::Button), QColor(255, 128, 255));
    QCOMPARE(window.windowIcon().availableSizes(), (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
    // The pictures cover the buttons' faces: little of the back colour shows.
    for (PictureButton *button : {window.cmdUp, window.cmdDown, window.cmdClose}) {
        const QImage face = button->grab().toImage();
        int backColour = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                backColour += face.pixelColor(x, y) == QColor(255, 128, 255);
        QVERIFY2(backColour < face.width() * 3, qPrintable(button->objectName()));
    }
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 1);
}

void TestMainWindow::tabOrderAndFirstFocus()
{
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), window.List1);
    QCOMPARE(window.txtInput->text(), QStringLiteral("索引"));

    const QList<QWidget *> expected{window.objSh,    window.txtInput, window.cmdUp,
                                    window.cmdClose, window.cmdDown,  window.List1};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), window.cmdDown);
}

void TestMainWindow::listKeepsTheFileOrder()
{
    WindowFixture fixture(QStringLiteral("口人 大"));
    frmMain &window = fixture.open();
    QStringList items;
    for (int row = 0; row < window.List1->count(); ++row)
        items.append(window.List1->item(row)->text());
    QCOMPARE(items, (QStringList{QStringLiteral("口"), QStringLiteral("人"), QStringLiteral(" "),
                                 QStringLiteral("大")}));
}

void TestMainWindow::restoresTheRememberedCharacter()
{
    WindowFixture fixture(five, QStringLiteral("五"));
    frmMain &window = fixture.open();
    QCOMPARE(window.List1->currentRow(), 4);
    QCOMPARE(fixture.player.paths, QStringList{fixture.playable(QStringLiteral("五"))});
    QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList{QStringLiteral("五.swf")});
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestMainWindow::rememberedCharacterIsScrolledIntoView()
{
    const QString many = QStringLiteral("一二三四五六七八九十上下大小人口手日月山水火");
    WindowFixture fixture(many, QStringLiteral("火"));
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.List1->currentRow(), many.size() - 1);
    const QRect shown = window.List1->visualItemRect(window.List1->currentItem());
    QVERIFY(window.List1->viewport()->rect().contains(shown));
}

void TestMainWindow::unknownRememberedCharacterSelectsNothing_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("exists");
    QTest::newRow("empty line") << QByteArray("\r\n") << true;
    QTest::newRow("not in the list") << QByteArray("\xC8\xCB\r\n") << true;
    QTest::newRow("no bytes at all") << QByteArray() << true;
    QTest::newRow("missing") << QByteArray() << false;
}

void TestMainWindow::unknownRememberedCharacterSelectsNothing()
{
    QFETCH(QByteArray, config);
    QFETCH(bool, exists);
    WindowFixture fixture(five);
    fixture.dir.write(QStringLiteral("/config.ini"), config);
    if (!exists)
        QVERIFY(QFile::remove(fixture.dir.file(QStringLiteral("/config.ini"))));
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.List1->currentRow(), -1);
    QVERIFY(window.List1->selectedItems().isEmpty());
    QVERIFY(fixture.player.paths.isEmpty());
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestMainWindow::emptyListStillOpens()
{
    WindowFixture fixture(QString(), QStringLiteral("人"));
    frmMain &window = fixture.open();
    QCOMPARE(window.List1->count(), 0);
    QVERIFY(fixture.player.paths.isEmpty());
}

void TestMainWindow::startUpFailures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("remove");
    QTest::newRow("no pointer") << QStringLiteral("harrow.cur") << true;
    QTest::newRow("broken pointer") << QStringLiteral("harrow.cur") << false;
    QTest::newRow("no character list") << QStringLiteral("hanzi.ini") << true;
    QTest::newRow("empty character list") << QStringLiteral("hanzi.ini") << false;
}

void TestMainWindow::startUpFailures()
{
    QFETCH(QString, file);
    QFETCH(bool, remove);
    WindowFixture fixture(five, QStringLiteral("二"));
    const QString path = fixture.dir.file(QLatin1Char('/') + file);
    if (remove)
        QVERIFY(QFile::remove(path));
    else
        fixture.dir.write(QLatin1Char('/') + file, QByteArray());
    frmMain window(fixture.dir.folder(), fixture.player, fixture.dialogs);
    QVERIFY(!startUp(window, fixture.dialogs));
    QCOMPARE(fixture.dialogs.messages.size(), 1);
    QVERIFY2(fixture.dialogs.messages.first().contains(path),
             qPrintable(fixture.dialogs.messages.first()));
    QVERIFY(fixture.player.paths.isEmpty());
}

void TestMainWindow::closeRemembersAndSaysGoodbye_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("close button") << true;
    QTest::newRow("title bar") << false;
}

void TestMainWindow::closeRemembersAndSaysGoodbye()
{
    QFETCH(bool, byButton);
    WindowFixture fixture(five, QStringLiteral("二"));
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    fixture.dir.write(QStringLiteral("/Work/stray.swf"), "x");
    window.List1->setCurrentRow(3);
    QByteArray configWhileGoodbye;
    fixture.dialogs.onMessage = [&](const QString &) {
        configWhileGoodbye = fixture.dir.read(QStringLiteral("/config.ini"));
    };

    if (byButton)
        QTest::mouseClick(window.cmdClose, Qt::LeftButton);
    else
        QVERIFY(window.close());

    QVERIFY(!window.isVisible());
    QCOMPARE(fixture.dialogs.messages, QStringList{goodbye(QStringLiteral("四"))});
    QCOMPARE(configWhileGoodbye, QByteArray("\xCB\xC4\r\n"));
    QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList());

    window.close();
    QCOMPARE(fixture.dialogs.messages.size(), 1);
}

void TestMainWindow::closeWithNothingCurrent()
{
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    window.close();
    QCOMPARE(fixture.dialogs.messages, QStringList{goodbye(QString())});
    QCOMPARE(fixture.dir.read(QStringLiteral("/config.ini")), QByteArray("\r\n"));
    QCOMPARE(readFirstLine(fixture.dir.file(QStringLiteral("/config.ini"))), QString());
}

void TestMainWindow::unsavableCharacterIsReportedNotClaimed()
{
    WindowFixture fixture(five, QStringLiteral("三"));
    frmMain &window = fixture.open();
    // A folder where the file should be: no one, not even root, can write it.
    QVERIFY(QFile::remove(fixture.dir.file(QStringLiteral("/config.ini"))));
    QVERIFY(QDir(fixture.dir.path()).mkdir(QStringLiteral("config.ini")));
    window.close();
    QCOMPARE(fixture.dialogs.messages.size(), 1);
    const QString message = fixture.dialogs.messages.first();
    QVERIFY(!message.contains(QStringLiteral("已经记住")));
    QVERIFY(message.contains(QStringLiteral("没能记住")));
    QVERIFY(message.contains(QStringLiteral("“三”")));
    QVERIFY(message.contains(QStringLiteral("config.ini")));
    QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList());
}

void TestMainWindow::sessionEndClosesQuietly()
{
    WindowFixture fixture(five, QStringLiteral("三"));
    frmMain &window = fixture.open();
    window.List1->setCurrentRow(0);
    window.unloadQuietly();
    window.close();
    QVERIFY(fixture.dialogs.messages.isEmpty());
    QCOMPARE(fixture.dir.read(QStringLiteral("/config.ini")), QByteArray("\xD2\xBB\r\n"));
    QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList());
}

void TestMainWindow::sessionEndSignalIsNoticed()
{
    for (int sig : {SIGTERM, SIGHUP}) {
        SessionEndWatcher watcher;
        QSignalSpy spy(&watcher, &SessionEndWatcher::sessionEnding);
        ::raise(sig);
        QVERIFY(spy.wait(5000));
    }
}

void TestMainWindow::clickReplaysButCodeDoesNot()
{
    WindowFixture fixture(five, QStringLiteral("二"));
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString er = fixture.playable(QStringLiteral("二"));
    QCOMPARE(fixture.player.paths, QStringList{er});

    window.List1->setCurrentRow(1);
    QCOMPARE(fixture.player.paths.size(), 1);

    const QRect item = window.List1->visualItemRect(window.List1->item(1));
    QTest::mouseClick(window.List1->viewport(), Qt::LeftButton, {}, item.center());
    QCOMPARE(fixture.player.paths, (QStringList{er, er}));

    const QRect third = window.List1->visualItemRect(window.List1->item(2));
    QTest::mouseClick(window.List1->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(fixture.player.paths.last(), fixture.playable(QStringLiteral("三")));
    QCOMPARE(fixture.player.paths.size(), 3);
}

void TestMainWindow::pointerFollowsTheMouse()
{
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto centre = [&](QWidget *w) { return w->geometry().center(); };
    const QPoint bare(5, 500);
    const QPoint betweenDownAndClose(480, 490);
    const QPoint stripAboveList(50, 60);

    struct Step
    {
        const char *where;
        QPoint at;
        int expected;
    };
    const QList<Step> steps{
        {"bare window at start", bare, 0},
        {"close button", centre(window.cmdClose), 99},
        {"bare stretch of the button row", betweenDownAndClose, 0},
        {"search box from bare window", centre(window.txtInput), 0},
        {"movie area from bare window", centre(window.objSh), 0},
        {"list", centre(window.List1), 99},
        {"search box in one jump from the list", centre(window.txtInput), 99},
        {"strip between search box and list", stripAboveList, 0},
        {"previous button", centre(window.cmdUp), 99},
        {"movie area in one jump", centre(window.objSh), 99},
        {"next button", centre(window.cmdDown), 99},
        {"bare window", bare, 0},
    };
    QCOMPARE(window.pointerSetting(), 0);
    for (const Step &step : steps) {
        QTest::mouseMove(&window, step.at);
        QTRY_COMPARE_WITH_TIMEOUT(window.pointerSetting(), step.expected, 2000);
        QCOMPARE(QGuiApplication::overrideCursor() != nullptr, step.expected == 99);
        if (step.expected == 99)
            QCOMPARE(QGuiApplication::overrideCursor()->pixmap().size(), QSize(32, 32));
    }
}

void TestMainWindow::pointerWithAButtonHeld()
{
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseMove(&window, QPoint(5, 500));
    QTRY_COMPARE(window.pointerSetting(), 0);
    // Pressing on a button and moving off it keeps the events with the button,
    // and releasing away from it clicks nothing.
    const QPoint inside = window.cmdUp->rect().center();
    QTest::mousePress(window.cmdUp, Qt::LeftButton, {}, inside);
    QTest::mouseMove(window.cmdUp, inside + QPoint(5, 0));
    QTRY_COMPARE(window.pointerSetting(), 99);
    QTest::mouseRelease(window.cmdUp, Qt::LeftButton, {}, QPoint(-100, 0));
    QVERIFY(fixture.player.paths.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_frmmain.moc"
