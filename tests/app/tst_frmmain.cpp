// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"
#include "windowfixture.h"

#include <QMap>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString five = QStringLiteral("一二三四五");

PictureButton *writeButton(const QWidget &window)
{
    auto *button = window.findChild<PictureButton *>(QStringLiteral("cmdWrite"));
    if (!button)
        qFatal("The window has no write-it button");
    return button;
}

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
    void placedOnTheScreen_data();
    void placedOnTheScreen();

    void startUpFromTheFiles_data();
    void startUpFromTheFiles();
    void playerMessageWaitsForStartUp();

    void closeRemembersAndSaysGoodbye_data();
    void closeRemembersAndSaysGoodbye();

    void pointerFollowsTheMouse();

    void writeButtonLook();
    void writeButtonFollowsTheCharacter_data();
    void writeButtonFollowsTheCharacter();
    void writeButtonPressTurnsPracticeOnAndOff_data();
    void writeButtonPressTurnsPracticeOnAndOff();
    void writeButtonInTheTabOrder_data();
    void writeButtonInTheTabOrder();
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
        {QStringLiteral("cmdWrite"), QRect(440, 472, 97, 49)},
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
    for (const PictureButton *button :
         {ui.cmdUp(), ui.cmdDown(), writeButton(window), ui.cmdClose()}) {
        const QImage face = look.copy(button->geometry());
        int backColour = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                backColour += face.pixelColor(x, y) == QColor(255, 128, 255);
        QVERIFY2(backColour < face.width() * 3, qPrintable(button->objectName()));
    }
    // The write-it button is centred in the bare strip between the next and
    // close buttons, touching neither.
    const QRect write = writeButton(window)->geometry();
    QCOMPARE(write.left() - ui.cmdDown()->geometry().right(),
             ui.cmdClose()->geometry().left() - write.right());
    QVERIFY(write.left() > ui.cmdDown()->geometry().right() + 1);
    // The built-in pictures, or the icon theme's where the program is installed.
    const QList<QSize> iconSizes = window.windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 1);
}

void TestMainWindow::startUpFromTheFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes"); // null: the file is removed
    QTest::addColumn<bool>("starts");
    QTest::addColumn<int>("current");
    const QString config = QStringLiteral("config.ini");
    const QString list = QStringLiteral("hanzi.ini");
    const QString pointer = QStringLiteral("harrow.cur");
    QTest::newRow("remembered: the list's last")
        << config << QByteArray("\xBB\xF0\r\n") << true << 22;
    // Nothing remembered that is listed: the window opens on no character.
    QTest::newRow("remembered: empty line") << config << QByteArray("\r\n") << true << -1;
    QTest::newRow("remembered: not listed") << config << QByteArray("\xCE\xD2\r\n") << true << -1;
    QTest::newRow("remembered: no bytes at all") << config << QByteArray("") << true << -1;
    QTest::newRow("remembered: no file") << config << QByteArray() << true << -1;
    QTest::newRow("empty list") << list << QByteArray("\r\n") << true << -1;
    // Told which file, and the window never opens.
    QTest::newRow("no pointer") << pointer << QByteArray() << false << -1;
    QTest::newRow("no character list") << list << QByteArray() << false << -1;
}

void TestMainWindow::startUpFromTheFiles()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, starts);
    QFETCH(int, current);
    // In the file's order, a space included: the list is not sorted.
    const QString many = QStringLiteral("一二三四五六七八九十上下大小人口手日月山水 火");
    WindowFixture fixture(many, QStringLiteral("火"));
    fixture.dir.write(QStringLiteral("/config.ini.AbCdEf"), "\xC8\xCB\r\n"); // a save cut short
    const QString path = fixture.dir.file(QLatin1Char('/') + file);
    if (bytes.isNull())
        QVERIFY(QFile::remove(path));
    else
        fixture.dir.write(QLatin1Char('/') + file, bytes);
    fixture.window =
        std::make_unique<frmMain>(fixture.dir.folder(), fixture.player, fixture.dialogs);
    QCOMPARE(startUp(*fixture.window, fixture.dialogs), starts);
    if (!starts) {
        QVERIFY(fixture.player.paths.isEmpty());
        QCOMPARE(fixture.dialogs.messages.size(), 1);
        QVERIFY2(fixture.dialogs.messages.first().contains(path),
                 qPrintable(fixture.dialogs.messages.first()));
        return;
    }
    QVERIFY(!fixture.dir.exists(QStringLiteral("/config.ini.AbCdEf")));
    // Focus on the list must not make a character current either.
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    CharacterList *list = fixture.ui().List1();
    QStringList items;
    for (int row = 0; row < list->count(); ++row)
        items.append(list->item(row)->text());
    QCOMPARE(items, file == QLatin1String("hanzi.ini") ? QStringList() : charactersOf(many));
    QCOMPARE(list->currentRow(), current);
    QCOMPARE(list->selectedItems().size(), current < 0 ? 0 : 1);
    if (current >= 0) {
        QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->currentItem())));
        QCOMPARE(fixture.player.paths, QStringList{fixture.playable(QStringLiteral("火"))});
        QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList{QStringLiteral("火.swf")});
    } else {
        QVERIFY(fixture.player.paths.isEmpty());
    }
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

void TestMainWindow::placedOnTheScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("fits: centred") << QRect(0, 0, 1024, 768) << QPoint(162, 119);
    QTest::newRow("fits beside a panel") << QRect(100, 30, 924, 738) << QPoint(212, 134);
    // Doubled by the display's scale factor, 1024x768 holds 512x384.
    QTest::newRow("smaller: top left") << QRect(0, 0, 512, 384) << QPoint(0, 0);
    QTest::newRow("too low only") << QRect(0, 24, 1024, 400) << QPoint(162, 24);
    QTest::newRow("too narrow only") << QRect(-600, 0, 600, 800) << QPoint(-600, 135);
}

void TestMainWindow::placedOnTheScreen()
{
    QFETCH(QRect, available);
    QFETCH(QPoint, topLeft);
    QCOMPARE(frmMain::placement(QSize(701, 531), available), QRect(topLeft, QSize(701, 531)));
}

void TestMainWindow::closeRemembersAndSaysGoodbye_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("message");   // a pattern
    QTest::addColumn<QByteArray>("config"); // null: config.ini is a folder
    const QString four = QRegularExpression::escape(goodbye(QStringLiteral("四")));
    QTest::newRow("close button") << true << 3 << four << QByteArray("\xCB\xC4\r\n");
    QTest::newRow("title bar") << false << 3 << four << QByteArray("\xCB\xC4\r\n");
    QTest::newRow("nothing current")
        << false << -1 << QStringLiteral("^你本次没有选择要学习的字，谢谢使用")
        << QByteArray("\r\n");
    // No one, not even root, can write a file where a folder is: the
    // character is not claimed to be remembered.
    QTest::newRow("config.ini is a folder")
        << false << 2 << QStringLiteral("^对不起，计算机没能记住.*“三”.*config\\.ini")
        << QByteArray();
}

void TestMainWindow::closeRemembersAndSaysGoodbye()
{
    QFETCH(bool, byButton);
    QFETCH(int, row);
    QFETCH(QString, message);
    QFETCH(QByteArray, config);
    WindowFixture fixture(five, QStringLiteral("二"));
    if (config.isNull()) {
        QVERIFY(QFile::remove(fixture.dir.file(QStringLiteral("/config.ini"))));
        QVERIFY(QDir(fixture.dir.path()).mkdir(QStringLiteral("config.ini")));
    }
    QVERIFY(fixture.show());
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
    QCOMPARE(fixture.dir.files(QStringLiteral("/Work")), QStringList());

    fixture.window->close();
    QCOMPARE(fixture.dialogs.messages.size(), 1);
}

void TestMainWindow::pointerFollowsTheMouse()
{
    WindowFixture fixture(five, QStringLiteral("二"));
    fixture.player.practiceAvailable = true;
    QVERIFY(fixture.show());
    frmMain &window = *fixture.window;
    const WindowControls ui = fixture.ui();
    const auto centre = [&](QWidget *w) { return w->geometry().center(); };
    const QList<std::pair<QPoint, int>> steps{
        {QPoint(5, 500), 0}, // the bare window
        {centre(ui.cmdClose()), 99},
        {QPoint(560, 490), 0}, // between cmdWrite and cmdClose
        {centre(writeButton(window)), 99},
        {QPoint(420, 490), 0},      // between cmdDown and cmdWrite
        {centre(ui.txtInput()), 0}, // from the bare window
        {centre(ui.objSh()), 0},    // from the bare window
        {centre(ui.List1()), 99},
        {centre(ui.txtInput()), 99}, // in one jump from the list
        {QPoint(50, 60), 0},         // the strip above the list
        {centre(ui.cmdUp()), 99},
        {centre(ui.objSh()), 99}, // in one jump
        {centre(ui.cmdDown()), 99},
        {QPoint(5, 500), 0},
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
    const QStringList loaded = fixture.player.paths;
    QTest::mousePress(ui.cmdUp(), Qt::LeftButton, {}, inside);
    QTest::mouseMove(ui.cmdUp(), inside + QPoint(5, 0));
    QTRY_COMPARE(window.pointerSetting(), 99);
    QTest::mouseRelease(ui.cmdUp(), Qt::LeftButton, {}, QPoint(-100, 0));
    QCOMPARE(fixture.player.paths, loaded);
}

void TestMainWindow::writeButtonLook()
{
    WindowFixture fixture(five, QStringLiteral("二"));
    fixture.player.practiceAvailable = true;
    frmMain &window = fixture.open();
    const WindowControls ui(window);
    PictureButton *write = writeButton(window);
    QVERIFY(write->isEnabled());
    const QImage enabled = write->grab().toImage();
    for (PictureButton *other : {ui.cmdUp(), ui.cmdDown(), ui.cmdClose()}) {
        QCOMPARE(other->size(), write->size());
        QVERIFY2(other->grab().toImage() != enabled, qPrintable(other->objectName()));
    }
    QCOMPARE(write->toolTip(), QStringLiteral("写一写"));

    // Disabled, the picture loses its colours: the striped background turns
    // grey, and lighter, so the symbol still shows but the button looks off.
    write->setEnabled(false);
    const QImage disabled = write->grab().toImage();
    QCOMPARE(disabled.size(), enabled.size());
    QVERIFY(disabled != enabled);
    const QRect picture = disabled.rect().adjusted(4, 4, -4, -4);
    int lighter = 0;
    for (int y = picture.top(); y <= picture.bottom(); ++y) {
        for (int x = picture.left(); x <= picture.right(); ++x) {
            const QColor c = disabled.pixelColor(x, y);
            QVERIFY2(qAbs(c.red() - c.green()) <= 2 && qAbs(c.green() - c.blue()) <= 2,
                     qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            lighter += c.lightness() > enabled.pixelColor(x, y).lightness();
        }
    }
    QVERIFY(lighter > picture.width() * picture.height() / 2);
}

void TestMainWindow::writeButtonFollowsTheCharacter_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("practice"); // whether the movie chosen has practice
    for (const QString &way :
         {QStringLiteral("list click"), QStringLiteral("list key"), QStringLiteral("previous"),
          QStringLiteral("next"), QStringLiteral("search")}) {
        QTest::newRow(qPrintable(way + QStringLiteral(", with practice"))) << way << true;
        QTest::newRow(qPrintable(way + QStringLiteral(", without practice"))) << way << false;
    }
}

void TestMainWindow::writeButtonFollowsTheCharacter()
{
    QFETCH(QString, way);
    QFETCH(bool, practice);
    WindowFixture fixture(five, QStringLiteral("三"));
    // The character the window opens on says the opposite.
    fixture.player.practiceAvailable = !practice;
    QVERIFY(fixture.show());
    const WindowControls ui = fixture.ui();
    PictureButton *write = writeButton(*fixture.window);
    QCOMPARE(write->isEnabled(), !practice);

    fixture.player.practiceAvailable = practice;
    CharacterList *list = ui.List1();
    QString chosen;
    if (way == QLatin1String("list click")) {
        chosen = QStringLiteral("五");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(4)).center());
    } else if (way == QLatin1String("list key")) {
        chosen = QStringLiteral("二");
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Up);
    } else if (way == QLatin1String("previous")) {
        chosen = QStringLiteral("二");
        QTest::mouseClick(ui.cmdUp(), Qt::LeftButton);
    } else if (way == QLatin1String("next")) {
        chosen = QStringLiteral("四");
        QTest::mouseClick(ui.cmdDown(), Qt::LeftButton);
    } else {
        chosen = QStringLiteral("一");
        QTest::mouseClick(ui.txtInput(), Qt::LeftButton);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, chosen);
        QApplication::sendEvent(ui.txtInput(), &press);
    }
    QCOMPARE(fixture.player.paths.last(), fixture.playable(chosen));
    QCOMPARE(write->isEnabled(), practice);
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestMainWindow::writeButtonPressTurnsPracticeOnAndOff_data()
{
    QTest::addColumn<int>("key"); // 0: a mouse click
    QTest::newRow("click") << 0;
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
}

void TestMainWindow::writeButtonPressTurnsPracticeOnAndOff()
{
    QFETCH(int, key);
    WindowFixture fixture(five, QStringLiteral("二"));
    fixture.player.practiceAvailable = true;
    QVERIFY(fixture.show());
    PictureButton *write = writeButton(*fixture.window);
    const auto press = [&] {
        if (key == 0) {
            QTest::mouseClick(write, Qt::LeftButton);
        } else {
            write->setFocus();
            QTest::keyClick(write, Qt::Key(key));
        }
    };
    const QImage off = write->grab().toImage();
    press();
    QCOMPARE(fixture.player.practising, QList<bool>{true});
    // Pushed in while the child writes.
    QVERIFY(write->isChecked());
    QVERIFY(write->grab().toImage() != off);
    press();
    QCOMPARE(fixture.player.practising, (QList<bool>{true, false}));
    QVERIFY(!write->isChecked());
    QCOMPARE(write->grab().toImage(), off);

    // Another character ends practice in the movie area; the next press
    // starts it again for that character rather than turning it "off".
    press();
    QTest::mouseClick(fixture.ui().cmdDown(), Qt::LeftButton);
    QCOMPARE(fixture.player.paths.size(), 2);
    QVERIFY(write->isEnabled());
    QVERIFY(!write->isChecked());
    press();
    QCOMPARE(fixture.player.practising, (QList<bool>{true, false, true, true}));
    QVERIFY(write->isChecked());

    // Practice that ends by itself lets the button up; one the player
    // refuses never pushes it in.
    fixture.window->showPractising(false);
    QVERIFY(!write->isChecked());
    fixture.player.setPractising(false);
    fixture.player.practiceAvailable = false;
    write->setEnabled(true); // as if the window had not looked again yet
    press();
    QVERIFY(!write->isChecked());
}

void TestMainWindow::writeButtonInTheTabOrder_data()
{
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<bool>("practice");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("practice") << QStringLiteral("二") << true << true;
    QTest::newRow("no practice in the movie") << QStringLiteral("二") << false << false;
    QTest::newRow("nothing chosen") << QString() << true << false;
}

void TestMainWindow::writeButtonInTheTabOrder()
{
    QFETCH(QString, remembered);
    QFETCH(bool, practice);
    QFETCH(bool, enabled);
    WindowFixture fixture(five, remembered);
    fixture.player.practiceAvailable = practice;
    QVERIFY(fixture.show());
    const WindowControls ui = fixture.ui();
    PictureButton *write = writeButton(*fixture.window);
    QCOMPARE(write->isEnabled(), enabled);

    // After the next button, Tab goes to the write-it button, or past it
    // back round to the list when it is off.
    ui.cmdDown()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), ui.cmdDown());
    QTest::keyClick(ui.cmdDown(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(),
                 enabled ? static_cast<QWidget *>(write) : static_cast<QWidget *>(ui.List1()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(QApplication::focusWidget(), ui.cmdDown());
    if (!enabled) {
        // Pressed or not, an unavailable button changes nothing.
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY(fixture.player.practising.isEmpty());
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_frmmain.moc"
