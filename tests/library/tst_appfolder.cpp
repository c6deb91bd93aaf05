#include "appfolder.h"
#include "testfolder.h"

#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestAppFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writability_data();
    void writability();
    void userFolderHoldsWhatIsWritten();
    void usersListAndMoviesComeFirst_data();
    void usersListAndMoviesComeFirst();
};

void TestAppFolder::writability_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("writable");
    QTest::newRow("portable folder") << QString() << true;
    QTest::newRow("no Temp") << QStringLiteral("remove /Temp") << false;
    QTest::newRow("no Work") << QStringLiteral("remove /Work") << false;
    QTest::newRow("Work is a file") << QStringLiteral("file /Work") << false;
    QTest::newRow("folder read-only") << QStringLiteral("read-only ") << false;
    QTest::newRow("Work read-only") << QStringLiteral("read-only /Work") << false;
}

void TestAppFolder::writability()
{
    QFETCH(QString, change);
    QFETCH(bool, writable);
    TestFolder dir;
    const QString action = change.section(QLatin1Char(' '), 0, 0);
    const QString sub = change.section(QLatin1Char(' '), 1);
    if (action == QLatin1String("remove") || action == QLatin1String("file"))
        QVERIFY(QDir(dir.path()).rmdir(sub.mid(1)));
    if (action == QLatin1String("file"))
        dir.write(sub, "x");
    if (action == QLatin1String("read-only")) {
#ifdef Q_OS_UNIX
        // The administrator may write anywhere; the install test covers a
        // read-only folder for root by running the program as another user.
        if (::geteuid() == 0)
            QSKIP("permission bits do not bind root");
#endif
        QVERIFY(QFile::setPermissions(dir.file(sub), QFile::ReadOwner | QFile::ExeOwner));
    }
    QCOMPARE(AppFolder::isWritable(dir.path()), writable);
    QFile::setPermissions(dir.file(sub), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestAppFolder::userFolderHoldsWhatIsWritten()
{
    TestFolder program;
    QTemporaryDir home;
    const QString user = home.filePath(QStringLiteral("share/Zorvina"));
    const AppFolder folder(program.path(), user);

    // Nothing is made before it is needed, nothing in the program's folder.
    QVERIFY(!QFileInfo::exists(user));
    folder.makeWritingFolders();
    QVERIFY(QFileInfo(user + QStringLiteral("/Temp")).isDir());
    QVERIFY(QFileInfo(user + QStringLiteral("/Work")).isDir());

    QCOMPARE(folder.rememberedCharacter(), user + QStringLiteral("/config.ini"));
    QCOMPARE(folder.stagingCopy(QStringLiteral("人")), user + QStringLiteral("/Temp/人.haz"));
    QCOMPARE(folder.playable(QStringLiteral("人")), user + QStringLiteral("/Work/人.swf"));
    QCOMPARE(folder.stagingSweep(), user + QStringLiteral("/Temp/*.haz"));
    QCOMPARE(folder.playingSweep(), user + QStringLiteral("/Work/*.swf"));
    QCOMPARE(folder.pointer(), program.file(QStringLiteral("/harrow.cur")));

    // A portable folder makes nothing: its working folders are part of it.
    TestFolder portable;
    QVERIFY(QDir(portable.path()).rmdir(QStringLiteral("Temp")));
    AppFolder(portable.path()).makeWritingFolders();
    QVERIFY(!portable.exists(QStringLiteral("/Temp")));
}

void TestAppFolder::usersListAndMoviesComeFirst_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("inProgram");
    QTest::addColumn<bool>("inUser");
    QTest::addColumn<bool>("usersWins");
    const QString list = QStringLiteral("/hanzi.ini");
    const QString movie = QStringLiteral("/hanzi/人.haz");
    QTest::newRow("list in both") << list << true << true << true;
    QTest::newRow("list only installed") << list << true << false << false;
    QTest::newRow("movie in both") << movie << true << true << true;
    QTest::newRow("movie only installed") << movie << true << false << false;
    QTest::newRow("movie only the user's") << movie << false << true << true;
    QTest::newRow("movie nowhere") << movie << false << false << false;
}

void TestAppFolder::usersListAndMoviesComeFirst()
{
    QFETCH(QString, suffix);
    QFETCH(bool, inProgram);
    QFETCH(bool, inUser);
    QFETCH(bool, usersWins);
    TestFolder program;
    TestFolder user;
    if (inProgram)
        program.write(suffix, "installed");
    if (inUser)
        user.write(suffix, "user's");
    const AppFolder folder(program.path(), user.path());
    const QString path = suffix == QLatin1String("/hanzi.ini") ? folder.characterList()
                                                               : folder.movie(QStringLiteral("人"));
    QCOMPARE(path, (usersWins ? user : program).file(suffix));
    // One folder for everything: the user's data folder is never consulted.
    const AppFolder portable(program.path());
    QCOMPARE(suffix == QLatin1String("/hanzi.ini") ? portable.characterList()
                                                   : portable.movie(QStringLiteral("人")),
             program.file(suffix));
}

QTEST_GUILESS_MAIN(TestAppFolder)
#include "tst_appfolder.moc"
