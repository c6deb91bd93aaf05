#include "picturebutton.h"
#include "searchbox.h"
#include "windowfixture.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>

namespace {

const QString five = QStringLiteral("一二三四五");

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

// Delivers text through an input method: composed first, then committed.
void commit(QWidget *widget, const QString &text)
{
    QInputMethodEvent composing(QStringLiteral("zi"), {});
    QApplication::sendEvent(widget, &composing);
    QInputMethodEvent done;
    done.setCommitString(text);
    QApplication::sendEvent(widget, &done);
}

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stepping_data();
    void stepping();
    void mouseInTheList_data();
    void mouseInTheList();

    void search_data();
    void search();
    void promptAllowsTwoCharacters();
};

void TestNavigation::stepping_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("next");
    QTest::addColumn<int>("key"); // 0: a click
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("plays");

    QTest::newRow("previous from the middle") << five << 2 << false << 0 << 1 << true;
    QTest::newRow("next from the middle") << five << 2 << true << 0 << 3 << true;
    QTest::newRow("next at the last") << five << 4 << true << 0 << 4 << false;
    QTest::newRow("previous at the first") << five << 0 << false << 0 << 0 << false;
    QTest::newRow("next with nothing current") << five << -1 << true << 0 << 0 << true;
    QTest::newRow("previous with nothing current") << five << -1 << false << 0 << -1 << false;
    QTest::newRow("next in an empty list") << QString() << -1 << true << 0 << -1 << false;
    QTest::newRow("previous in an empty list") << QString() << -1 << false << 0 << -1 << false;
    QTest::newRow("next by Space") << five << 2 << true << int(Qt::Key_Space) << 3 << true;
    QTest::newRow("previous by Enter") << five << 2 << false << int(Qt::Key_Return) << 1 << true;
    QTest::newRow("next by keypad Enter") << five << 2 << true << int(Qt::Key_Enter) << 3 << true;
}

void TestNavigation::stepping()
{
    QFETCH(QString, characters);
    QFETCH(int, start);
    QFETCH(bool, next);
    QFETCH(int, key);
    QFETCH(int, expected);
    QFETCH(bool, plays);
    WindowFixture fixture(characters);
    QVERIFY(fixture.show());
    const WindowControls ui = fixture.ui();
    ui.List1()->setCurrentRow(start);
    const int before = fixture.player.paths.size();

    PictureButton *button = next ? ui.cmdDown() : ui.cmdUp();
    if (key == 0) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key(key));
    }

    QCOMPARE(ui.List1()->currentRow(), expected);
    QCOMPARE(fixture.player.paths.size(), before + int(plays));
    if (plays)
        QCOMPARE(fixture.player.paths.last(), fixture.playable(characters.mid(expected, 1)));
}

void TestNavigation::mouseInTheList_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("row"); // clicked, or where a drag from the third item ends
    QTest::addColumn<bool>("drag");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("loads");

    // The window opens on the second item, which loads once; a drag plays
    // each item it passes.
    QTest::newRow("left click") << int(Qt::LeftButton) << 0 << 3 << false << 3 << 2;
    QTest::newRow("left click on the current one: replays")
        << int(Qt::LeftButton) << 0 << 1 << false << 1 << 2;
    QTest::newRow("left drag") << int(Qt::LeftButton) << 0 << 4 << true << 4 << 4;
    QTest::newRow("ctrl+click") << int(Qt::LeftButton) << int(Qt::ControlModifier) << 3 << false
                                << 3 << 2;
    QTest::newRow("right click") << int(Qt::RightButton) << 0 << 3 << false << 1 << 1;
    QTest::newRow("right drag") << int(Qt::RightButton) << 0 << 4 << true << 1 << 1;
}

void TestNavigation::mouseInTheList()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(int, row);
    QFETCH(bool, drag);
    QFETCH(int, expected);
    QFETCH(int, loads);
    WindowFixture fixture(five, QStringLiteral("二"));
    QVERIFY(fixture.show());
    CharacterList *list = fixture.ui().List1();
    const auto centre = [list](int at) { return list->visualItemRect(list->item(at)).center(); };
    const auto mouseButton = Qt::MouseButton(button);
    const auto keys = Qt::KeyboardModifiers(modifiers);
    if (drag) {
        QTest::mousePress(list->viewport(), mouseButton, keys, centre(2));
        for (int over = 3; over <= row; ++over) {
            QMouseEvent move(QEvent::MouseMove, centre(over),
                             list->viewport()->mapToGlobal(centre(over)), Qt::NoButton, mouseButton,
                             keys);
            QApplication::sendEvent(list->viewport(), &move);
        }
        QTest::mouseRelease(list->viewport(), mouseButton, keys, centre(row));
    } else {
        QTest::mouseClick(list->viewport(), mouseButton, keys, centre(row));
    }

    QCOMPARE(list->currentRow(), expected);
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *>{list->item(expected)});
    QCOMPARE(fixture.player.paths.size(), loads);
    QCOMPARE(fixture.player.paths.last(), fixture.playable(charactersOf(five).at(expected)));
}

void TestNavigation::search_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("boxAfter");
    QTest::addColumn<int>("rowAfter");
    QTest::addColumn<int>("loads");
    QTest::addColumn<bool>("reported");

    // clang-format off
    const struct { const char *name, *characters, *remembered, *how, *input, *boxAfter;
                   int rowAfter, loads; bool reported; } cases[] = {
        {"typed, listed", "一二三四五", "一", "type", "四", "四", 3, 2, false},
        {"typed, the current one: no replay", "一二三四五", "三", "type", "三", "三", 2, 1, false},
        {"typed, not listed", "一二三四五", "二", "type", "人", "", 1, 1, true},
        {"typed into an empty list", "", "", "type", "人", "人", -1, 0, false},
        {"second character refused", "一二三四五", "", "type", "三四", "三", 2, 1, false},
        {"replacing the character", "一二三四五", "", "type, select all, type", "三四", "四", 3, 2, false},
        {"erased: nothing happens", "一二三四五", "", "type, erase", "三", "", 2, 1, false},
        {"committed", "一二三四五", "", "commit", "二", "二", 1, 1, false},
        {"word committed: first character", "一二三四五", "", "commit", "三四", "三", 2, 1, false},
        {"word pasted: first character", "一二三四五", "", "paste", "四五", "四", 3, 1, false},
        {"word pasted over a character it ends with", "一二三四五", "", "type, select all, paste", "四五四", "五", 4, 2, false},
        {"word pasted, not listed", "一二三四五", "二", "paste", "人口", "", 1, 1, true},
        {"dropped: refused", "一二三四五", "", "drop", "三", "", -1, 0, false},
        {"window left and entered again", "一二三四五", "", "type, leave, return", "二", "二", 1, 1, false},
    };
    // clang-format on
    for (const auto &c : cases) {
        QTest::newRow(c.name) << QString::fromUtf8(c.characters) << QString::fromUtf8(c.remembered)
                              << QString::fromUtf8(c.how) << QString::fromUtf8(c.input)
                              << QString::fromUtf8(c.boxAfter) << c.rowAfter << c.loads
                              << c.reported;
    }
}

void TestNavigation::search()
{
    QFETCH(QString, characters);
    QFETCH(QString, remembered);
    QFETCH(QString, how);
    QFETCH(QString, input);
    QFETCH(QString, boxAfter);
    QFETCH(int, rowAfter);
    QFETCH(int, loads);
    QFETCH(bool, reported);
    WindowFixture fixture(characters, remembered);
    QVERIFY(fixture.show());
    const WindowControls ui = fixture.ui();
    SearchBox *box = ui.txtInput();
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(box->text(), QString());
    QString textDuringMessage;
    fixture.dialogs.onMessage = [&](const QString &) { textDuringMessage = box->text(); };

    const QStringList typed = charactersOf(input);
    if (how == QLatin1String("commit")) {
        commit(box, input);
    } else if (how == QLatin1String("paste")) {
        QGuiApplication::clipboard()->setText(input);
        QTest::keySequence(box, QKeySequence::Paste);
    } else if (how == QLatin1String("drop")) {
        QMimeData dragged;
        dragged.setText(input);
        const QPoint inside = box->rect().center();
        QDragEnterEvent enter(inside, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(inside, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &drop);
    } else if (how == QLatin1String("type, select all, paste")) {
        type(box, typed.first());
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QGuiApplication::clipboard()->setText(input.mid(typed.first().size()));
        QTest::keySequence(box, QKeySequence::Paste);
    } else if (how == QLatin1String("type, select all, type")) {
        type(box, typed.first());
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        type(box, typed.last());
    } else {
        type(box, input);
    }
    if (how == QLatin1String("type, erase")) {
        QTest::keyClick(box, Qt::Key_Backspace);
    } else if (how == QLatin1String("type, leave, return")) {
        QFocusEvent returning(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(box, &returning);
    }

    QCOMPARE(box->text(), boxAfter);
    QCOMPARE(ui.List1()->currentRow(), rowAfter);
    QCOMPARE(fixture.player.paths.size(), loads);
    if (loads > 0)
        QCOMPARE(fixture.player.paths.last(), fixture.playable(characters.mid(rowAfter, 1)));
    const QString first = typed.value(0);
    QCOMPARE(fixture.dialogs.messages,
             reported ? QStringList{QStringLiteral("◆◆◆对不起，“") + first +
                                    QStringLiteral("”不在本系统内，请选择其它汉字◆◆◆")}
                      : QStringList());
    if (reported)
        QCOMPARE(textDuringMessage, first);
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
