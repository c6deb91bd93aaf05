#include "searchbox.h"
#include "windowfixture.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>

namespace {

const QString five = QStringLiteral("一二三四五");

// One way of entering text in the search box, as a row's steps say:
// "type 三; select all; paste 四五", for example.
struct SearchCase
{
    const char *name, *characters, *remembered, *steps, *boxAfter;
    int rowAfter, loads;
    const char *reported; // the character the message names, if any
};

} // namespace

Q_DECLARE_METATYPE(SearchCase)

class TestNavigation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changingTheCharacter_data();
    void changingTheCharacter();

    void search_data();
    void search();
    void promptAllowsTwoCharacters();
};

void TestNavigation::changingTheCharacter_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<int>("start"); // the current row before
    // A button clicked or a key pressed on it, or a mouse button clicked on
    // a row of the list or dragged there from the third row.
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("loads"); // movies the action loads

    const auto row = [](const char *name, const QString &characters, int start, const char *action,
                        int expected, int loads) {
        QTest::newRow(name) << characters << start << QString::fromUtf8(action) << expected
                            << loads;
    };
    row("previous from the middle", five, 2, "click cmdUp", 1, 1);
    row("next from the middle", five, 2, "click cmdDown", 3, 1);
    row("next at the last", five, 4, "click cmdDown", 4, 0);
    row("previous at the first", five, 0, "click cmdUp", 0, 0);
    row("next with nothing current", five, -1, "click cmdDown", 0, 1);
    row("previous with nothing current", five, -1, "click cmdUp", -1, 0);
    row("next in an empty list", QString(), -1, "click cmdDown", -1, 0);
    row("previous in an empty list", QString(), -1, "click cmdUp", -1, 0);
    row("next by Space", five, 2, "Space cmdDown", 3, 1);
    row("previous by Enter", five, 2, "Return cmdUp", 1, 1);
    row("next by keypad Enter", five, 2, "Enter cmdDown", 3, 1);
    row("left click", five, 1, "left click 3", 3, 1);
    row("left click on the current one: replays", five, 1, "left click 1", 1, 1);
    row("left drag: plays each row passed", five, 1, "left drag 4", 4, 3);
    row("ctrl+click on the current one: stays chosen, replays", five, 1, "ctrl click 1", 1, 1);
    row("right click", five, 1, "right click 3", 1, 0);
    row("right drag", five, 1, "right drag 4", 1, 0);
}

void TestNavigation::changingTheCharacter()
{
    QFETCH(QString, characters);
    QFETCH(int, start);
    QFETCH(QString, action);
    QFETCH(int, expected);
    QFETCH(int, loads);
    WindowFixture fixture(characters);
    QVERIFY(fixture.show());
    CharacterList *list = fixture.ui().List1();
    list->setCurrentRow(start);
    const int before = fixture.player.paths.size();

    const QStringList words = action.split(QLatin1Char(' '));
    if (words.last().startsWith(QLatin1String("cmd"))) {
        QWidget *button = fixture.window->findChild<QWidget *>(words.last());
        if (words.first() == QLatin1String("click")) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, QKeySequence::fromString(words.first())[0].key());
        }
    } else {
        const auto centre = [list](int at) {
            return list->visualItemRect(list->item(at)).center();
        };
        const int to = words.last().toInt();
        const auto mouseButton =
            words.first() == QLatin1String("right") ? Qt::RightButton : Qt::LeftButton;
        const auto keys =
            words.first() == QLatin1String("ctrl") ? Qt::ControlModifier : Qt::NoModifier;
        if (words.at(1) == QLatin1String("drag")) {
            QTest::mousePress(list->viewport(), mouseButton, keys, centre(2));
            for (int over = 3; over <= to; ++over) {
                QMouseEvent move(QEvent::MouseMove, centre(over),
                                 list->viewport()->mapToGlobal(centre(over)), Qt::NoButton,
                                 mouseButton, keys);
                QApplication::sendEvent(list->viewport(), &move);
            }
            QTest::mouseRelease(list->viewport(), mouseButton, keys, centre(to));
        } else {
            QTest::mouseClick(list->viewport(), mouseButton, keys, centre(to));
        }
    }

    QCOMPARE(list->currentRow(), expected);
    if (expected >= 0)
        QCOMPARE(list->selectedItems(), QList<QListWidgetItem *>{list->item(expected)});
    QCOMPARE(fixture.player.paths.size(), before + loads);
    if (loads > 0)
        QCOMPARE(fixture.player.paths.last(), fixture.playable(characters.mid(expected, 1)));
}

void TestNavigation::search_data()
{
    QTest::addColumn<SearchCase>("c");
    // clang-format off
    const SearchCase cases[] = {
        {"typed, listed", "一二三四五", "一", "type 四", "四", 3, 2, ""},
        {"typed, the current one: no replay", "一二三四五", "三", "type 三", "三", 2, 1, ""},
        {"typed, not listed", "一二三四五", "二", "type 人", "", 1, 1, "人"},
        {"typed into an empty list", "", "", "type 人", "人", -1, 0, ""},
        {"second character refused", "一二三四五", "", "type 三四", "三", 2, 1, ""},
        {"replacing the character", "一二三四五", "", "type 三; select all; type 四", "四", 3, 2, ""},
        {"erased: nothing happens", "一二三四五", "", "type 三; erase", "", 2, 1, ""},
        {"committed", "一二三四五", "", "commit 二", "二", 1, 1, ""},
        {"word committed: first character", "一二三四五", "", "commit 三四", "三", 2, 1, ""},
        {"word pasted: first character", "一二三四五", "", "paste 四五", "四", 3, 1, ""},
        {"word pasted over a character it ends with", "一二三四五", "", "type 四; select all; paste 五四", "五", 4, 2, ""},
        {"word pasted, not listed", "一二三四五", "二", "paste 人口", "", 1, 1, "人"},
        {"dropped: refused", "一二三四五", "", "drop 三", "", -1, 0, ""},
        {"window left and entered again", "一二三四五", "", "type 二; leave and return", "二", 1, 1, ""},
    };
    // clang-format on
    for (const SearchCase &c : cases)
        QTest::newRow(c.name) << c;
}

void TestNavigation::search()
{
    QFETCH(SearchCase, c);
    const QString characters = QString::fromUtf8(c.characters);
    WindowFixture fixture(characters, QString::fromUtf8(c.remembered));
    QVERIFY(fixture.show());
    const WindowControls ui = fixture.ui();
    SearchBox *box = ui.txtInput();
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(box->text(), QString());
    QString textDuringMessage;
    fixture.dialogs.onMessage = [&](const QString &) { textDuringMessage = box->text(); };

    for (const QString &step : QString::fromUtf8(c.steps).split(QStringLiteral("; "))) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString text = step.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("type")) {
            // As a keyboard whose layout gives these characters would: QTest's
            // own key clicks know only ASCII.
            for (const QString &typed : charactersOf(text)) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, typed);
                QApplication::sendEvent(box, &press);
            }
        } else if (verb == QLatin1String("commit")) {
            // Through an input method: composed first, then committed.
            QInputMethodEvent composing(QStringLiteral("zi"), {});
            QApplication::sendEvent(box, &composing);
            QInputMethodEvent done;
            done.setCommitString(text);
            QApplication::sendEvent(box, &done);
        } else if (verb == QLatin1String("paste")) {
            QGuiApplication::clipboard()->setText(text);
            QTest::keySequence(box, QKeySequence::Paste);
        } else if (verb == QLatin1String("select")) {
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        } else if (verb == QLatin1String("erase")) {
            QTest::keyClick(box, Qt::Key_Backspace);
        } else if (verb == QLatin1String("leave")) {
            QFocusEvent returning(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
            QApplication::sendEvent(box, &returning);
        } else {
            QCOMPARE(verb, QStringLiteral("drop"));
            QMimeData dragged;
            dragged.setText(text);
            const QPoint inside = box->rect().center();
            QDragEnterEvent enter(inside, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(box, &enter);
            QVERIFY(!enter.isAccepted());
            QDropEvent drop(inside, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(box, &drop);
        }
    }

    QCOMPARE(box->text(), QString::fromUtf8(c.boxAfter));
    QCOMPARE(ui.List1()->currentRow(), c.rowAfter);
    QCOMPARE(fixture.player.paths.size(), c.loads);
    if (c.loads > 0)
        QCOMPARE(fixture.player.paths.last(), fixture.playable(characters.mid(c.rowAfter, 1)));
    const QString reported = QString::fromUtf8(c.reported);
    QCOMPARE(fixture.dialogs.messages,
             reported.isEmpty() ? QStringList()
                                : QStringList{QStringLiteral("◆◆◆对不起，“") + reported +
                                              QStringLiteral("”不在本系统内，请选择其它汉字◆◆◆")});
    QCOMPARE(textDuringMessage, reported);
    QCOMPARE(QApplication::focusWidget(), box);
}

void TestNavigation::promptAllowsTwoCharacters()
{
    // Until the first change the box takes any length; while it holds the
    // prompt it takes two characters, otherwise one. Text the program sets
    // is never cut.
    WindowFixture fixture(five);
    fixture.open();
    SearchBox *box = fixture.ui().txtInput();
    QCOMPARE(box->characterLimit(), -1);
    int limitDuringMessage = 0;
    fixture.dialogs.onMessage = [&](const QString &) {
        limitDuringMessage = box->characterLimit();
    };
    box->setText(QStringLiteral("索"));
    box->setText(QStringLiteral("索引"));
    QCOMPARE(limitDuringMessage, 2);
    QCOMPARE(fixture.dialogs.messages.last(),
             QStringLiteral("◆◆◆对不起，“索引”不在本系统内，请选择其它汉字◆◆◆"));
    QCOMPARE(box->characterLimit(), 1);
    QCOMPARE(box->text(), QString());
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
