// SPDX-License-Identifier: GPL-3.0-or-later
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
    void writability();
    void installedWithAUserFolder();
};

// The program writes in its own folder only when that folder and its Temp
// and Work folders can all be written.
void TestAppFolder::writability()
{
    QVERIFY(AppFolder::isWritable(TestFolder().path()));
    const auto unwritable = [](const char *change, const char *sub) {
        const TestFolder dir;
        const QString path = dir.file(QString::fromUtf8(sub));
        if (qstrcmp(change, "read-only") == 0)
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        else if (!QDir().rmdir(path) ||
                 (qstrcmp(change, "file") == 0 && !QFile(path).open(QIODevice::WriteOnly)))
            qFatal("cannot change %s", sub);
        const bool writable = AppFolder::isWritable(dir.path());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return !writable;
    };
    QVERIFY(unwritable("remove", "/Temp"));
    QVERIFY(unwritable("remove", "/Work"));
    QVERIFY(unwritable("file", "/Work"));
#ifdef Q_OS_UNIX
    // The administrator may write anywhere; the install test covers a
    // read-only folder for root by running the program as another user.
    if (::geteuid() == 0)
        QSKIP("permission bits do not bind root");
#endif
    QVERIFY(unwritable("read-only", ""));
    QVERIFY(unwritable("read-only", "/Work"));
}

void TestAppFolder::installedWithAUserFolder()
{
    TestFolder program;
    QTemporaryDir home;
    const QString user = home.filePath(QStringLiteral("share/Zorvina"));
    const AppFolder folder(program.path(), user);

    // Nothing is made before it is needed, nothing in the program's folder.
    QVERIFY(!QFileInfo::exists(user));
    QVERIFY(folder.canWrite());
    QVERIFY(QFileInfo(user + QStringLiteral("/Temp")).isDir());
    QVERIFY(QFileInfo(user + QStringLiteral("/Work")).isDir());

    QCOMPARE(folder.rememberedCharacter(), user + QStringLiteral("/config.ini"));
    QCOMPARE(folder.rememberedCharacterToRead(), program.file(QStringLiteral("/config.ini")));
    QCOMPARE(folder.stagingCopy(QStringLiteral("人")), user + QStringLiteral("/Temp/人.haz"));
    QCOMPARE(folder.playable(QStringLiteral("人")), user + QStringLiteral("/Work/人.swf"));
    QCOMPARE(folder.stagingSweep(), user + QStringLiteral("/Temp/*.haz"));
    QCOMPARE(folder.playingSweep(), user + QStringLiteral("/Work/*.swf"));
    QCOMPARE(folder.pointer(), program.file(QStringLiteral("/harrow.cur")));

    // The user's list, movies and remembered character come first.
    QVERIFY(QFile(user + QStringLiteral("/config.ini")).open(QIODevice::WriteOnly));
    QCOMPARE(folder.rememberedCharacterToRead(), user + QStringLiteral("/config.ini"));
    for (const char *file : {"/hanzi.ini", "/hanzi/人.haz"})
        program.write(QString::fromUtf8(file), "installed");
    QVERIFY(QDir(user).mkdir(QStringLiteral("hanzi")));
    for (const char *file : {"/hanzi.ini", "/hanzi/口.haz"})
        QVERIFY(QFile(user + QString::fromUtf8(file)).open(QIODevice::WriteOnly));
    QCOMPARE(folder.characterList(), user + QStringLiteral("/hanzi.ini"));
    QCOMPARE(folder.movie(QStringLiteral("人")), program.file(QStringLiteral("/hanzi/人.haz")));
    QCOMPARE(folder.movie(QStringLiteral("口")), user + QStringLiteral("/hanzi/口.haz"));
    QCOMPARE(folder.movie(QStringLiteral("手")), program.file(QStringLiteral("/hanzi/手.haz")));

    // A home folder that cannot hold the user's folder (here: a file where
    // a folder should be) is told apart at once.
    QVERIFY(QFile(home.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly));
    QVERIFY(!AppFolder(program.path(), home.filePath(QStringLiteral("file/share/Zorvina"))).canWrite());

    // A portable folder makes nothing: its working folders are part of it.
    QVERIFY(QDir(program.path()).rmdir(QStringLiteral("Temp")));
    AppFolder(program.path()).makeWritingFolders();
    QVERIFY(!program.exists(QStringLiteral("/Temp")));
}

QTEST_GUILESS_MAIN(TestAppFolder)
#include "tst_appfolder.moc"
