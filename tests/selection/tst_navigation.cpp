// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchbox.h"
#include "windowfixture.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>

namespace {

// A way of choosing a character, as a child would: the window opens on the
// remembered one, then each step is done in turn.
struct Choice
{
    const char *name, *characters, *remembered, *steps;
    int rowAfter, loads;  // loads: movies loaded by the steps
    const char *boxAfter; // for a search: the text left in the box, which keeps the focus
    const char *reported; // the character the message names, if any
};

// Does one step: "click cmdUp", "press Space on cmdDown", "click row 3",
// "ctrl-click row 1", "right-drag row 4" (from the third row), "type 三",
// "commit 三四", "paste 四五", "select all", "erase", "leave and return" or
// "drop 三".
void act(const WindowFixture &fixture, const QString &step)
{
    const QStringList words = step.split(QLatin1Char(' '));
    const QString &verb = words.first();
    const QString &text = words.last();
    CharacterList *list = fixture.ui().List1();
    SearchBox *box = fixture.ui().txtInput();
    if (words.value(1) == QLatin1String("row")) {
        const auto centre = [list](int at) {
            return list->visualItemRect(list->item(at)).center();
        };
        const int to = text.toInt();
        const auto button =
            verb.startsWith(QLatin1String("right")) ? Qt::RightButton : Qt::LeftButton;
        const auto keys =
            verb.startsWith(QLatin1String("ctrl")) ? Qt::ControlModifier : Qt::NoModifier;
        if (!verb.endsWith(QLatin1String("drag"))) {
            QTest::mouseClick(list->viewport(), button, keys, centre(to));
            return;
        }
        QTest::mousePress(list->viewport(), button, keys, centre(2));
        for (int over = 3; over <= to; ++over) {
            QMouseEvent move(QEvent::MouseMove, centre(over),
                             list->viewport()->mapToGlobal(centre(over)), Qt::NoButton, button,
                             keys);
            QApplication::sendEvent(list->viewport(), &move);
        }
        QTest::mouseRelease(list->viewport(), button, keys, centre(to));
    } else if (verb == QLatin1String("click")) {
        QTest::mouseClick(fixture.window->findChild<QWidget *>(text), Qt::LeftButton);
    } else if (verb == QLatin1String("press")) {
        QWidget *button = fixture.window->findChild<QWidget *>(text);
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, QKeySequence::fromString(words.at(1))[0].key());
    } else if (verb == QLatin1String("type")) {
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

} // namespace

Q_DECLARE_METATYPE(Choice)

class TestNavigation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosing_data();
    void choosing();
    void promptAllowsTwoCharacters();
};

void TestNavigation::choosing_data()
{
    QTest::addColumn<Choice>("c");
    // clang-format off
    const Choice choices[] = {
        {"previous from the middle", "一二三四五", "三", "click cmdUp", 1, 1, nullptr, ""},
        {"next from the middle", "一二三四五", "三", "click cmdDown", 3, 1, nullptr, ""},
        {"next at the last", "一二三四五", "五", "click cmdDown", 4, 0, nullptr, ""},
        {"previous at the first", "一二三四五", "一", "click cmdUp", 0, 0, nullptr, ""},
        {"next with nothing current", "一二三四五", "", "click cmdDown", 0, 1, nullptr, ""},
        {"previous with nothing current", "一二三四五", "", "click cmdUp", -1, 0, nullptr, ""},
        {"next in an empty list", "", "", "click cmdDown", -1, 0, nullptr, ""},
        {"previous in an empty list", "", "", "click cmdUp", -1, 0, nullptr, ""},
        {"next by Space", "一二三四五", "三", "press Space on cmdDown", 3, 1, nullptr, ""},
        {"previous by Enter", "一二三四五", "三", "press Return on cmdUp", 1, 1, nullptr, ""},
        {"next by keypad Enter", "一二三四五", "三", "press Enter on cmdDown", 3, 1, nullptr, ""},
        {"left click", "一二三四五", "二", "click row 3", 3, 1, nullptr, ""},
        {"left click on the current one: replays", "一二三四五", "二", "click row 1", 1, 1, nullptr, ""},
        {"left drag: plays each row passed", "一二三四五", "二", "drag row 4", 4, 3, nullptr, ""},
        {"ctrl+click on the current one: stays chosen, replays", "一二三四五", "二", "ctrl-click row 1", 1, 1, nullptr, ""},
        {"right click", "一二三四五", "二", "right-click row 3", 1, 0, nullptr, ""},
        {"right drag", "一二三四五", "二", "right-drag row 4", 1, 0, nullptr, ""},
        {"typed, listed", "一二三四五", "一", "click txtInput; type 四", 3, 1, "四", ""},
        {"typed, the current one: no replay", "一二三四五", "三", "click txtInput; type 三", 2, 0, "三", ""},
        {"typed, not listed", "一二三四五", "二", "click txtInput; type 人", 1, 0, "", "人"},
        {"typed into an empty list", "", "", "click txtInput; type 人", -1, 0, "人", ""},
        {"second character refused", "一二三四五", "", "click txtInput; type 三四", 2, 1, "三", ""},
        {"replacing the character", "一二三四五", "", "click txtInput; type 三; select all; type 四", 3, 2, "四", ""},
        {"erased: nothing happens", "一二三四五", "", "click txtInput; type 三; erase", 2, 1, "", ""},
        {"committed", "一二三四五", "", "click txtInput; commit 二", 1, 1, "二", ""},
        {"word committed: first character", "一二三四五", "", "click txtInput; commit 三四", 2, 1, "三", ""},
        {"word pasted: first character", "一二三四五", "", "click txtInput; paste 四五", 3, 1, "四", ""},
        {"word pasted over a character it ends with", "一二三四五", "", "click txtInput; type 四; select all; paste 五四", 4, 2, "五", ""},
        {"word pasted, not listed", "一二三四五", "二", "click txtInput; paste 人口", 1, 0, "", "人"},
        {"dropped: refused", "一二三四五", "", "click txtInput; drop 三", -1, 0, "", ""},
        {"window left and entered again", "一二三四五", "", "click txtInput; type 二; leave and return", 1, 1, "二", ""},
    };
    // clang-format on
    for (const Choice &c : choices)
        QTest::newRow(c.name) << c;
}

void TestNavigation::choosing()
{
    QFETCH(Choice, c);
    const QString characters = QString::fromUtf8(c.characters);
    WindowFixture fixture(characters, QString::fromUtf8(c.remembered));
    QVERIFY(fixture.show());
    const WindowControls ui = fixture.ui();
    const int before = fixture.player.paths.size();
    QString textDuringMessage;
    fixture.dialogs.onMessage = [&](const QString &) { textDuringMessage = ui.txtInput()->text(); };

    for (const QString &step : QString::fromUtf8(c.steps).split(QStringLiteral("; ")))
        act(fixture, step);

    QCOMPARE(ui.List1()->currentRow(), c.rowAfter);
    if (c.rowAfter >= 0)
        QCOMPARE(ui.List1()->selectedItems(), {ui.List1()->item(c.rowAfter)});
    QCOMPARE(fixture.player.paths.size() - before, c.loads);
    if (c.loads > 0)
        QCOMPARE(fixture.player.paths.last(), fixture.playable(characters.mid(c.rowAfter, 1)));
    const QString reported = QString::fromUtf8(c.reported);
    QCOMPARE(fixture.dialogs.messages,
             reported.isEmpty() ? QStringList()
                                : QStringList{QStringLiteral("◆◆◆对不起，“") + reported +
                                              QStringLiteral("”不在本系统内，请选择其它汉字◆◆◆")});
    QCOMPARE(textDuringMessage, reported);
    if (c.boxAfter) {
        QCOMPARE(ui.txtInput()->text(), QString::fromUtf8(c.boxAfter));
        QCOMPARE(QApplication::focusWidget(), ui.txtInput());
    }
}

void TestNavigation::promptAllowsTwoCharacters()
{
    // Until the first change the box takes any length; while it holds the
    // prompt it takes two characters, otherwise one. Text the program sets
    // is never cut.
    WindowFixture fixture(QStringLiteral("一二三四五"));
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
