// A child's session with the real player: start on the remembered character,
// step with the keyboard and the buttons, search, close.
#include "picturebutton.h"
#include "searchbox.h"
#include "webengineplayer.h"
#include "windowfixture.h"

#include <QSignalSpy>
#include <QTest>

class TestJourney : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void journey();

private:
    static void waitUntilShown(QSignalSpy &shown, const QString &path);
};

void TestJourney::waitUntilShown(QSignalSpy &shown, const QString &path)
{
    QTRY_VERIFY_WITH_TIMEOUT(
        std::any_of(shown.cbegin(), shown.cend(),
                    [&](const QList<QVariant> &args) { return args.at(0).toString() == path; }),
        30000);
    shown.clear();
}

void TestJourney::journey()
{
    const QString characters = QStringLiteral("一二三四五");
    TestFolder dir;
    QImage arrow(32, 32, QImage::Format_ARGB32);
    arrow.fill(Qt::yellow);
    writeCursorFile(dir.file(QStringLiteral("/harrow.cur")), arrow, QPoint(1, 1));
    dir.writeText(QStringLiteral("/hanzi.ini"), characters + QStringLiteral("\r\n"));
    dir.writeText(QStringLiteral("/config.ini"), QStringLiteral("二\r\n"));
    for (const QString &c : charactersOf(characters))
        QVERIFY(QFile::copy(QStringLiteral(ZORVINA_APP_DIR "/hanzi/") + c + QStringLiteral(".haz"),
                            dir.file(QStringLiteral("/hanzi/") + c + QStringLiteral(".haz"))));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ruffle")));
    for (const QFileInfo &file :
         QDir(QStringLiteral(ZORVINA_APP_DIR "/ruffle")).entryInfoList(QDir::Files))
        QVERIFY(
            QFile::copy(file.filePath(), dir.file(QStringLiteral("/ruffle/")) + file.fileName()));

    const auto playable = [&](const char *c) -> QString {
        return dir.path() + QStringLiteral("/Work/") + QString::fromUtf8(c) +
               QStringLiteral(".swf");
    };
    RecordingDialogs dialogs;
    auto *player = new WebEnginePlayer(dir.path());
    QSignalSpy shown(player, &WebEnginePlayer::movieShown);
    QSignalSpy unavailable(player, &WebEnginePlayer::unavailable);
    frmMain window(dir.folder(), *player, dialogs);
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    waitUntilShown(shown, playable("二"));
    QCOMPARE(QApplication::focusWidget(), window.List1);

    QTest::keyClick(window.List1, Qt::Key_Down);
    waitUntilShown(shown, playable("三"));
    QCOMPARE(QApplication::focusWidget(), window.List1);

    QTest::mouseClick(window.cmdDown, Qt::LeftButton);
    waitUntilShown(shown, playable("四"));

    QTest::mouseClick(window.txtInput, Qt::LeftButton);
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("一"));
    QApplication::sendEvent(window.txtInput, &press);
    waitUntilShown(shown, playable("一"));
    QCOMPARE(window.List1->currentRow(), 0);
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList{QStringLiteral("一.swf")});

    QTest::mouseClick(window.cmdClose, Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QCOMPARE(dialogs.messages,
             QStringList{QStringLiteral(
                 "计算机已经记住你本次最后学习的字是：“一”，谢谢使用，祝你玩得开心！！")});
    QCOMPARE(dir.read(QStringLiteral("/config.ini")), QByteArray("\xD2\xBB\r\n"));
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList());
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
    QCOMPARE(unavailable.count(), 0);
}

int main(int argc, char *argv[])
{
    WebEnginePlayer::registerUrlScheme();
    QApplication app(argc, argv);
    TestJourney test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journey.moc"
