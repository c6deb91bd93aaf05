#include "startup.h"
#include "windowfixture.h"

#include <QMap>
#include <QRegularExpression>
#include <QTest>

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
    void layoutAndLook();

    void restoresTheRememberedCharacterInTheFileOrder();
    void startUpFromTheFiles_data();
    void startUpFromTheFiles();
    void playerMessageWaitsForStartUp();

    void closeRemembersAndSaysGoodbye_data();
    void closeRemembersAndSaysGoodbye();

    void pointerFollowsTheMouse();
};

void TestMainWindow::layoutAndLook()
{
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    const QMap<QString, QRect> expected{
        {QStringLiteral("txtInput"), QRect(8, 8, 97, 47)},
        {QStringLiteral("List1"), QRect(8, 64, 97, 452)},
        {QStringLiteral("objSh"), QRect(112, 8, 577, 449)},
        {QStringLiteral("cmdUp"), QRect(200, 472, 97, 49)},
        {QStringLiteral("cmdDown"), QRect(304, 472, 97, 49)},
        {QStringLiteral("cmdClose"), QRect(576, 472, 97, 49)},
    };
    QCOMPARE(window.size(), QSize(701, 531));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    const QList<QWidget *> controls = window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), expected.size());
    for (const QWidget *control : controls)
        QCOMPARE(control->geometry(), expected.value(control->objectName()));

    // What a viewer sees: the window's colour on its bare surface, pictures
    // covering the buttons' faces, the icon, the window in the screen's middle.
    const QImage look = window.grab().toImage();
    QCOMPARE(look.pixelColor(5, 500), QColor(255, 192, 128));
    const WindowControls ui(window);
    for (const PictureButton *button : {ui.cmdUp(), ui.cmdDown(), ui.cmdClose()}) {
        const QImage face = look.copy(button->geometry());
        int backColour = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                backColour += face.pixelColor(x, y) == QColor(255, 128, 255);
        QVERIFY2(backColour < face.width() * 3, qPrintable(button->objectName()));
    }
    // The built-in pictures, or the icon theme's where the program is installed.
    const QList<QSize> iconSizes = window.windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 1);
}

void TestMainWindow::restoresTheRememberedCharacterInTheFileOrder()
{
    // In the file's order, a space included: the list is not sorted.
    const QString many = QStringLiteral("一二三四五六七八九十上下大小人口手日月山水 火");
    WindowFixture fixture(many, QStringLiteral("火"));
    fixture.dir.write(QStringLiteral("/config.ini.AbCdEf"), "\xC8\xCB\r\n"); // a save cut short
    QVERIFY(fixture.show());
    QVERIFY(!fixture.dir.exists(QStringLiteral("/config.ini.AbCdEf")));
    const WindowControls ui = fixture.ui();
    QStringList items;
    for (int row = 0; row < ui.List1()->count(); ++row)
        items.append(ui.List1()->item(row)->text());
    QCOMPARE(items, charactersOf(many));
    QCOMPARE(ui.List1()->currentRow(), many.size() - 1);
    const QRect shown = ui.List1()->visualItemRect(ui.List1()->currentItem());
    QVERIFY(ui.List1()->viewport()->rect().contains(shown));
    QCOMPARE(fixture.player.paths, QStringList{fixture.playable(QStringLiteral("火"))});
    QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList{QStringLiteral("火.swf")});
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestMainWindow::startUpFromTheFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes"); // null: the file is removed
    QTest::addColumn<bool>("starts");
    const QString config = QStringLiteral("config.ini");
    const QString list = QStringLiteral("hanzi.ini");
    const QString pointer = QStringLiteral("harrow.cur");
    // Nothing remembered that is listed: the window opens on no character.
    QTest::newRow("remembered: empty line") << config << QByteArray("\r\n") << true;
    QTest::newRow("remembered: not listed") << config << QByteArray("\xC8\xCB\r\n") << true;
    QTest::newRow("remembered: no bytes at all") << config << QByteArray("") << true;
    QTest::newRow("remembered: no file") << config << QByteArray() << true;
    QTest::newRow("empty list") << list << QByteArray("\r\n") << true;
    // Told which file, and the window never opens.
    QTest::newRow("no pointer") << pointer << QByteArray() << false;
    QTest::newRow("no character list") << list << QByteArray() << false;
}

void TestMainWindow::startUpFromTheFiles()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, starts);
    WindowFixture fixture(five, QStringLiteral("二"));
    const QString path = fixture.dir.file(QLatin1Char('/') + file);
    if (bytes.isNull())
        QVERIFY(QFile::remove(path));
    else
        fixture.dir.write(QLatin1Char('/') + file, bytes);
    fixture.window =
        std::make_unique<frmMain>(fixture.dir.folder(), fixture.player, fixture.dialogs);
    QCOMPARE(startUp(*fixture.window, fixture.dialogs), starts);
    QVERIFY(fixture.player.paths.isEmpty());
    if (!starts) {
        QCOMPARE(fixture.dialogs.messages.size(), 1);
        QVERIFY2(fixture.dialogs.messages.first().contains(path),
                 qPrintable(fixture.dialogs.messages.first()));
        return;
    }
    // Focus on the list must not make a character current either.
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    const WindowControls ui = fixture.ui();
    QCOMPARE(ui.List1()->count(), file == QLatin1String("hanzi.ini") ? 0 : 5);
    QCOMPARE(ui.List1()->currentRow(), -1);
    QVERIFY(ui.List1()->selectedItems().isEmpty());
    QVERIFY(fixture.player.paths.isEmpty());
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestMainWindow::playerMessageWaitsForStartUp()
{
    // The player's message may come while start-up's own is on screen: it
    // waits for the release, and later ones do not wait.
    RecordingDialogs dialogs;
    HeldMessages held(dialogs, nullptr);
    held.showMessage(QStringLiteral("player"));
    QVERIFY(dialogs.messages.isEmpty());
    held.release();
    QCOMPARE(dialogs.messages, QStringList{QStringLiteral("player")});
    held.showMessage(QStringLiteral("again"));
    QCOMPARE(dialogs.messages.last(), QStringLiteral("again"));
}

void TestMainWindow::closeRemembersAndSaysGoodbye_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("message");   // a pattern
    QTest::addColumn<QByteArray>("config"); // null: config.ini is a folder
    QTest::addColumn<QString>("user");      // the user's data folder, if installed
    const QString four = QRegularExpression::escape(goodbye(QStringLiteral("四")));
    const QString notRemembered = QStringLiteral("^对不起，计算机没能记住.*“三”.*config\\.ini");
    QTest::newRow("close button") << true << 3 << four << QByteArray("\xCB\xC4\r\n") << QString();
    QTest::newRow("title bar") << false << 3 << four << QByteArray("\xCB\xC4\r\n") << QString();
    QTest::newRow("nothing current")
        << false << -1 << QRegularExpression::escape(goodbye(QString())) << QByteArray("\r\n")
        << QString();
    // No one, not even root, can write a file where a folder is, or make a
    // folder below a file: the character is not claimed to be remembered.
    QTest::newRow("config.ini is a folder")
        << false << 2 << notRemembered << QByteArray() << QString();
    QTest::newRow("installed, no user folder can be made")
        << false << 2 << notRemembered << QByteArray("\xB6\xFE\r\n")
        << QStringLiteral("/harrow.cur/Zorvina");
}

void TestMainWindow::closeRemembersAndSaysGoodbye()
{
    QFETCH(bool, byButton);
    QFETCH(int, row);
    QFETCH(QString, message);
    QFETCH(QByteArray, config);
    QFETCH(QString, user);
    WindowFixture fixture(five, QStringLiteral("二"));
    if (config.isNull()) {
        QVERIFY(QFile::remove(fixture.dir.file(QStringLiteral("/config.ini"))));
        QVERIFY(QDir(fixture.dir.path()).mkdir(QStringLiteral("config.ini")));
    }
    const AppFolder folder = user.isEmpty() ? fixture.dir.folder()
                                            : AppFolder(fixture.dir.path(), fixture.dir.file(user));
    fixture.window = std::make_unique<frmMain>(folder, fixture.player, fixture.dialogs);
    fixture.window->load();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    fixture.dir.write(QStringLiteral("/Work/stray.swf"), "x");
    const WindowControls ui = fixture.ui();
    ui.List1()->setCurrentRow(row);
    QByteArray configWhileMessage;
    fixture.dialogs.onMessage = [&](const QString &) {
        configWhileMessage = fixture.dir.read(QStringLiteral("/config.ini"));
    };

    if (byButton)
        QTest::mouseClick(ui.cmdClose(), Qt::LeftButton);
    else
        QVERIFY(fixture.window->close());

    QVERIFY(!fixture.window->isVisible());
    QCOMPARE(fixture.dialogs.messages.size(), 1);
    QVERIFY2(fixture.dialogs.messages.first().contains(
                 QRegularExpression(message, QRegularExpression::DotMatchesEverythingOption)),
             qPrintable(fixture.dialogs.messages.first()));
    QCOMPARE(configWhileMessage, config);
    if (user.isEmpty())
        QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList());

    fixture.window->close();
    QCOMPARE(fixture.dialogs.messages.size(), 1);
}

void TestMainWindow::pointerFollowsTheMouse()
{
    WindowFixture fixture(five);
    QVERIFY(fixture.show());
    frmMain &window = *fixture.window;
    const WindowControls ui = fixture.ui();
    const auto centre = [&](QWidget *w) { return w->geometry().center(); };
    const QPoint bare(5, 500);
    const QPoint betweenDownAndClose(480, 490);
    const QPoint stripAboveList(50, 60);
    const QList<std::pair<QPoint, int>> steps{
        {bare, 0},
        {centre(ui.cmdClose()), 99},
        {betweenDownAndClose, 0},
        {centre(ui.txtInput()), 0}, // from the bare window
        {centre(ui.objSh()), 0},    // from the bare window
        {centre(ui.List1()), 99},
        {centre(ui.txtInput()), 99}, // in one jump from the list
        {stripAboveList, 0},
        {centre(ui.cmdUp()), 99},
        {centre(ui.objSh()), 99}, // in one jump
        {centre(ui.cmdDown()), 99},
        {bare, 0},
    };
    QCOMPARE(window.pointerSetting(), 0);
    for (const auto &[at, expected] : steps) {
        QTest::mouseMove(&window, at);
        QTRY_COMPARE_WITH_TIMEOUT(window.pointerSetting(), expected, 2000);
        QCOMPARE(QGuiApplication::overrideCursor() != nullptr, expected == 99);
        if (expected == 99)
            QCOMPARE(QGuiApplication::overrideCursor()->pixmap().size(), QSize(32, 32));
    }

    // Pressing on a button and moving off it keeps the events with the button,
    // and releasing away from it clicks nothing.
    const QPoint inside = ui.cmdUp()->rect().center();
    QTest::mousePress(ui.cmdUp(), Qt::LeftButton, {}, inside);
    QTest::mouseMove(ui.cmdUp(), inside + QPoint(5, 0));
    QTRY_COMPARE(window.pointerSetting(), 99);
    QTest::mouseRelease(ui.cmdUp(), Qt::LeftButton, {}, QPoint(-100, 0));
    QVERIFY(fixture.player.paths.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_frmmain.moc"
