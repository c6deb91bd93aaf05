#include "fileerror.h"
#include "fileops.h"
#include "testfolder.h"

#include <QTest>

class TestFileOps : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyReplaces();
    void copyOfMissingFileIsNotFound();
    void moveNeverReplaces();
    void moveRenames();
    void deleteMatchingOnlyMatches();
    void deleteMatchingNothingIsNotFound();
    void safeNames_data();
    void safeNames();
};

static FileError::Kind failureOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const FileError &error) {
        return error.kind();
    }
    qFatal("the operation should have failed");
}

void TestFileOps::copyReplaces()
{
    TestFolder dir;
    dir.write(QStringLiteral("/a"), "new");
    dir.write(QStringLiteral("/b"), "old and longer");
    copyFile(dir.file(QStringLiteral("/a")), dir.file(QStringLiteral("/b")));
    QCOMPARE(dir.read(QStringLiteral("/b")), QByteArray("new"));
    QCOMPARE(dir.read(QStringLiteral("/a")), QByteArray("new"));
}

void TestFileOps::copyOfMissingFileIsNotFound()
{
    TestFolder dir;
    QCOMPARE(failureOf(
                 [&] { copyFile(dir.file(QStringLiteral("/a")), dir.file(QStringLiteral("/b"))); }),
             FileError::Kind::NotFound);
    QVERIFY(!dir.exists(QStringLiteral("/b")));
}

void TestFileOps::moveNeverReplaces()
{
    TestFolder dir;
    dir.write(QStringLiteral("/Temp/x.haz"), "new");
    dir.write(QStringLiteral("/Work/x.swf"), "old");
    QCOMPARE(failureOf([&] {
                 moveFile(dir.file(QStringLiteral("/Temp/x.haz")),
                          dir.file(QStringLiteral("/Work/x.swf")));
             }),
             FileError::Kind::AlreadyExists);
    QCOMPARE(dir.read(QStringLiteral("/Work/x.swf")), QByteArray("old"));
    QCOMPARE(dir.read(QStringLiteral("/Temp/x.haz")), QByteArray("new"));
}

void TestFileOps::moveRenames()
{
    TestFolder dir;
    dir.write(QStringLiteral("/Temp/x.haz"), "movie");
    moveFile(dir.file(QStringLiteral("/Temp/x.haz")), dir.file(QStringLiteral("/Work/x.swf")));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
    QCOMPARE(dir.read(QStringLiteral("/Work/x.swf")), QByteArray("movie"));
    QCOMPARE(failureOf([&] {
                 moveFile(dir.file(QStringLiteral("/Temp/x.haz")),
                          dir.file(QStringLiteral("/Work/y.swf")));
             }),
             FileError::Kind::NotFound);
}

void TestFileOps::deleteMatchingOnlyMatches()
{
    TestFolder dir;
    for (const char *name : {"/Work/a.swf", "/Work/人.swf", "/Work/B.SWF", "/Work/notes.txt",
                             "/Work/a.swf.txt", "/Work/.swf"})
        dir.write(QString::fromUtf8(name), "x");
    QDir(dir.path()).mkpath(QStringLiteral("Work/folder.swf"));
    deleteMatching(dir.file(QStringLiteral("/Work/*.swf")));
    QCOMPARE(dir.files(QStringLiteral("/Work")),
             (QStringList{QStringLiteral("a.swf.txt"), QStringLiteral("notes.txt")}));
    QVERIFY(QFileInfo(dir.file(QStringLiteral("/Work/folder.swf"))).isDir());
}

void TestFileOps::deleteMatchingNothingIsNotFound()
{
    TestFolder dir;
    dir.write(QStringLiteral("/Work/notes.txt"), "x");
    QCOMPARE(failureOf([&] { deleteMatching(dir.file(QStringLiteral("/Work/*.swf"))); }),
             FileError::Kind::NotFound);
    QCOMPARE(failureOf([&] { deleteMatching(dir.file(QStringLiteral("/Nowhere/*.swf"))); }),
             FileError::Kind::NotFound);
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList{QStringLiteral("notes.txt")});
}

void TestFileOps::safeNames_data()
{
    QTest::addColumn<QString>("c");
    QTest::addColumn<bool>("safe");
    QTest::newRow("character") << QStringLiteral("人") << true;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("space") << QStringLiteral(" ") << true;
    QTest::newRow("dot") << QStringLiteral(".") << true;
    QTest::newRow("slash") << QStringLiteral("/") << false;
    QTest::newRow("backslash") << QStringLiteral("\\") << false;
    QTest::newRow("colon") << QStringLiteral(":") << false;
    QTest::newRow("star") << QStringLiteral("*") << false;
    QTest::newRow("tab") << QStringLiteral("\t") << false;
    QTest::newRow("nul") << QString(QChar(0)) << false;
}

void TestFileOps::safeNames()
{
    QFETCH(QString, c);
    QFETCH(bool, safe);
    QCOMPARE(isSafeInFileName(c), safe);
}

QTEST_GUILESS_MAIN(TestFileOps)
#include "tst_fileops.moc"
