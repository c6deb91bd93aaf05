#include "picturebutton.h"
#include "searchbox.h"
#include "windowfixture.h"

#include <QInputMethodEvent>
#include <QTest>

namespace {

const QString five = QStringLiteral("一二三四五");
const QString notInList = QStringLiteral("◆◆◆对不起，“人”不在本系统内，请选择其它汉字◆◆◆");

// Types text as a keyboard whose layout gives these characters would: QTest's
// own key clicks know only ASCII.
void type(QWidget *widget, const QString &text)
{
    for (const QString &c : charactersOf(text)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, c);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, c);
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stepping_data();
    void stepping();
    void keyboardInTheList();

    void typingACharacterSelectsIt();
    void characterNotInTheListIsReported();
    void emptyingTheBoxDoesNothing();
    void secondCharacterIsRefusedButReplacingWorks();
    void emptyListNeverComplains();
    void searchHitOnTheCurrentCharacterDoesNotReplay();
    void inputMethodCommitCounts();
    void enteringTheBoxEmptiesIt_data();
    void enteringTheBoxEmptiesIt();
    void returningToTheWindowKeepsTheText();
    void promptAllowsTwoCharacters();

private:
    void openAndFocusSearch(WindowFixture &fixture);
};

void TestNavigation::stepping_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("next");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("plays");

    QTest::newRow("previous from the middle") << five << 2 << false << 1 << true;
    QTest::newRow("next from the middle") << five << 2 << true << 3 << true;
    QTest::newRow("next at the last") << five << 4 << true << 4 << false;
    QTest::newRow("previous at the first") << five << 0 << false << 0 << false;
    QTest::newRow("next with nothing current") << five << -1 << true << 0 << true;
    QTest::newRow("previous with nothing current") << five << -1 << false << -1 << false;
    QTest::newRow("next in an empty list") << QString() << -1 << true << -1 << false;
    QTest::newRow("previous in an empty list") << QString() << -1 << false << -1 << false;
}

void TestNavigation::stepping()
{
    QFETCH(QString, characters);
    QFETCH(int, start);
    QFETCH(bool, next);
    QFETCH(int, expected);
    QFETCH(bool, plays);
    WindowFixture fixture(characters);
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.List1->setCurrentRow(start);
    const QStringList before = fixture.player.paths;

    QTest::mouseClick(next ? window.cmdDown : window.cmdUp, Qt::LeftButton);

    QCOMPARE(window.List1->currentRow(), expected);
    QStringList after = before;
    if (plays)
        after.append(fixture.playable(charactersOf(characters).at(expected)));
    QCOMPARE(fixture.player.paths, after);
    if (plays)
        QCOMPARE(fixture.dir.files(QStringLiteral("/Work")),
                 QStringList{charactersOf(characters).at(expected) + QStringLiteral(".swf")});
}

void TestNavigation::keyboardInTheList()
{
    WindowFixture fixture(five, QStringLiteral("一"));
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const struct
    {
        Qt::Key key;
        const char *shown;
    } steps[] = {
        {Qt::Key_Down, "二"}, {Qt::Key_End, "五"},      {Qt::Key_Up, "四"},
        {Qt::Key_Home, "一"}, {Qt::Key_PageDown, "五"}, {Qt::Key_PageUp, "一"},
    };
    QStringList expected{fixture.playable(QStringLiteral("一"))};
    for (const auto &step : steps) {
        QTest::keyClick(window.List1, step.key);
        expected.append(fixture.playable(QString::fromUtf8(step.shown)));
        QCOMPARE(fixture.player.paths, expected);
    }
    QCOMPARE(QApplication::focusWidget(), window.List1);
}

void TestNavigation::openAndFocusSearch(WindowFixture &fixture)
{
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(window.txtInput, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    QCOMPARE(window.txtInput->text(), QString());
}

void TestNavigation::typingACharacterSelectsIt()
{
    WindowFixture fixture(five, QStringLiteral("一"));
    openAndFocusSearch(fixture);
    frmMain &window = *fixture.window;
    type(window.txtInput, QStringLiteral("四"));
    QCOMPARE(window.List1->currentRow(), 3);
    QCOMPARE(window.txtInput->text(), QStringLiteral("四"));
    QCOMPARE(fixture.player.paths.last(), fixture.playable(QStringLiteral("四")));
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestNavigation::characterNotInTheListIsReported()
{
    WindowFixture fixture(five, QStringLiteral("二"));
    openAndFocusSearch(fixture);
    frmMain &window = *fixture.window;
    QString textDuringMessage;
    fixture.dialogs.onMessage = [&](const QString &) {
        textDuringMessage = window.txtInput->text();
    };
    type(window.txtInput, QStringLiteral("人"));
    QCOMPARE(fixture.dialogs.messages, QStringList{notInList});
    QCOMPARE(textDuringMessage, QStringLiteral("人"));
    QCOMPARE(window.txtInput->text(), QString());
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    QCOMPARE(window.List1->currentRow(), 1);
    QCOMPARE(fixture.player.paths.size(), 1);
}

void TestNavigation::emptyingTheBoxDoesNothing()
{
    WindowFixture fixture(five);
    openAndFocusSearch(fixture);
    frmMain &window = *fixture.window;
    type(window.txtInput, QStringLiteral("三"));
    QTest::keyClick(window.txtInput, Qt::Key_Backspace);
    QCOMPARE(window.txtInput->text(), QString());
    QCOMPARE(window.List1->currentRow(), 2);
    QCOMPARE(fixture.player.paths.size(), 1);
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestNavigation::secondCharacterIsRefusedButReplacingWorks()
{
    WindowFixture fixture(five);
    openAndFocusSearch(fixture);
    frmMain &window = *fixture.window;
    type(window.txtInput, QStringLiteral("三"));
    type(window.txtInput, QStringLiteral("四"));
    QCOMPARE(window.txtInput->text(), QStringLiteral("三"));
    QCOMPARE(window.List1->currentRow(), 2);

    QTest::keyClick(window.txtInput, Qt::Key_A, Qt::ControlModifier);
    type(window.txtInput, QStringLiteral("四"));
    QCOMPARE(window.txtInput->text(), QStringLiteral("四"));
    QCOMPARE(window.List1->currentRow(), 3);
    QCOMPARE(fixture.player.paths.size(), 2);
}

void TestNavigation::emptyListNeverComplains()
{
    WindowFixture fixture{QString()};
    openAndFocusSearch(fixture);
    type(fixture.window->txtInput, QStringLiteral("人"));
    QVERIFY(fixture.dialogs.messages.isEmpty());
    QVERIFY(fixture.player.paths.isEmpty());
}

void TestNavigation::searchHitOnTheCurrentCharacterDoesNotReplay()
{
    WindowFixture fixture(five, QStringLiteral("三"));
    openAndFocusSearch(fixture);
    type(fixture.window->txtInput, QStringLiteral("三"));
    QCOMPARE(fixture.player.paths, QStringList{fixture.playable(QStringLiteral("三"))});
}

void TestNavigation::inputMethodCommitCounts()
{
    WindowFixture fixture(five);
    openAndFocusSearch(fixture);
    frmMain &window = *fixture.window;

    QInputMethodEvent composing(QStringLiteral("er"), {});
    QApplication::sendEvent(window.txtInput, &composing);
    QCOMPARE(window.List1->currentRow(), -1);
    QVERIFY(fixture.dialogs.messages.isEmpty());

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("二"));
    QApplication::sendEvent(window.txtInput, &commit);
    QCOMPARE(window.txtInput->text(), QStringLiteral("二"));
    QCOMPARE(window.List1->currentRow(), 1);
    QCOMPARE(fixture.player.paths, QStringList{fixture.playable(QStringLiteral("二"))});
}

void TestNavigation::enteringTheBoxEmptiesIt_data()
{
    QTest::addColumn<bool>("byTab");
    QTest::newRow("mouse") << false;
    QTest::newRow("tab") << true;
}

void TestNavigation::enteringTheBoxEmptiesIt()
{
    QFETCH(bool, byTab);
    WindowFixture fixture(five, QStringLiteral("一"));
    frmMain &window = fixture.open();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.txtInput->text(), QStringLiteral("索引"));
    if (byTab) {
        window.objSh->setFocus(Qt::TabFocusReason);
        QTest::keyClick(window.objSh, Qt::Key_Tab);
    } else {
        QTest::mouseClick(window.txtInput, Qt::LeftButton);
    }
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    QCOMPARE(window.txtInput->text(), QString());
    QCOMPARE(window.txtInput->characterLimit(), 1);
    QCOMPARE(window.List1->currentRow(), 0);
    QVERIFY(fixture.dialogs.messages.isEmpty());
}

void TestNavigation::returningToTheWindowKeepsTheText()
{
    WindowFixture fixture(five);
    openAndFocusSearch(fixture);
    frmMain &window = *fixture.window;
    type(window.txtInput, QStringLiteral("二"));
    QFocusEvent returning(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(window.txtInput, &returning);
    QCOMPARE(window.txtInput->text(), QStringLiteral("二"));
}

void TestNavigation::promptAllowsTwoCharacters()
{
    // Until the first change the box takes any length; while it holds the
    // prompt it takes two characters, otherwise one.
    WindowFixture fixture(five);
    frmMain &window = fixture.open();
    QCOMPARE(window.txtInput->characterLimit(), -1);
    int limitDuringMessage = 0;
    fixture.dialogs.onMessage = [&](const QString &) {
        limitDuringMessage = window.txtInput->characterLimit();
    };
    window.txtInput->setText(QStringLiteral("索"));
    window.txtInput->setText(QStringLiteral("索引"));
    QCOMPARE(limitDuringMessage, 2);
    QCOMPARE(fixture.dialogs.messages.last(),
             QStringLiteral("◆◆◆对不起，“索引”不在本系统内，请选择其它汉字◆◆◆"));
    QCOMPARE(window.txtInput->characterLimit(), 1);
    QCOMPARE(window.txtInput->text(), QString());
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
