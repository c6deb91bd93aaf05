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
    void installedWithAUserFolder();
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

void TestAppFolder::installedWithAUserFolder()
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

    // The user's list and movies come first.
    for (const char *file : {"/hanzi.ini", "/hanzi/人.haz"})
        program.write(QString::fromUtf8(file), "installed");
    QVERIFY(QDir(user).mkdir(QStringLiteral("hanzi")));
    for (const char *file : {"/hanzi.ini", "/hanzi/口.haz"}) {
        QFile mine(user + QString::fromUtf8(file));
        QVERIFY(mine.open(QIODevice::WriteOnly));
    }
    QCOMPARE(folder.characterList(), user + QStringLiteral("/hanzi.ini"));
    QCOMPARE(folder.movie(QStringLiteral("人")), program.file(QStringLiteral("/hanzi/人.haz")));
    QCOMPARE(folder.movie(QStringLiteral("口")), user + QStringLiteral("/hanzi/口.haz"));
    QCOMPARE(folder.movie(QStringLiteral("手")), program.file(QStringLiteral("/hanzi/手.haz")));

    // A portable folder makes nothing: its working folders are part of it.
    QVERIFY(QDir(program.path()).rmdir(QStringLiteral("Temp")));
    AppFolder(program.path()).makeWritingFolders();
    QVERIFY(!program.exists(QStringLiteral("/Temp")));
}

QTEST_GUILESS_MAIN(TestAppFolder)
#include "tst_appfolder.moc"
