#include "fileerror.h"
#include "fileops.h"
#include "testfolder.h"

#include <QTest>

#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace {

std::optional<FileError::Kind> failureOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const FileError &error) {
        return error.kind();
    }
    return std::nullopt;
}

} // namespace

class TestFileOps : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void moveRenamesButNeverReplaces();
    void deleteMatchingOnlyMatches();
    void deleteMatchingGoesOnPastAFailure();
    void links_data();
    void links();
    void leftoverSavesAreRemoved();
    void safeNames();
};

void TestFileOps::moveRenamesButNeverReplaces()
{
    TestFolder dir;
    const QString from = dir.file(QStringLiteral("/Temp/x.haz"));
    dir.write(QStringLiteral("/Temp/x.haz"), "new");
    dir.write(QStringLiteral("/Work/x.swf"), "old");
    QCOMPARE(failureOf([&] { moveFile(from, dir.file(QStringLiteral("/Work/x.swf"))); }),
             FileError::Kind::AlreadyExists);
    QCOMPARE(dir.read(QStringLiteral("/Work/x.swf")), QByteArray("old"));
    moveFile(from, dir.file(QStringLiteral("/Work/y.swf")));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
    QCOMPARE(dir.read(QStringLiteral("/Work/y.swf")), QByteArray("new"));
    QCOMPARE(failureOf([&] { moveFile(from, dir.file(QStringLiteral("/Work/z.swf"))); }),
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
    const QStringList left{QStringLiteral("a.swf.txt"), QStringLiteral("notes.txt")};
    QCOMPARE(dir.files(QStringLiteral("/Work")), left);
    QVERIFY(QFileInfo(dir.file(QStringLiteral("/Work/folder.swf"))).isDir());
    // Nothing left to match, or no folder at all.
    for (const char *pattern : {"/Work/*.swf", "/Nowhere/*.swf"})
        QCOMPARE(failureOf([&] { deleteMatching(dir.file(QLatin1String(pattern))); }),
                 FileError::Kind::NotFound);
    QCOMPARE(dir.files(QStringLiteral("/Work")), left);
}

void TestFileOps::deleteMatchingGoesOnPastAFailure()
{
#ifdef Q_OS_LINUX
    // An immutable file cannot be deleted, even by root; setting the flag
    // takes root and a file system that has it.
    TestFolder dir;
    for (const char *name : {"/Work/a.swf", "/Work/b.swf", "/Work/c.swf"})
        dir.write(QString::fromUtf8(name), "x");
    QFile stuck(dir.file(QStringLiteral("/Work/b.swf")));
    QVERIFY(stuck.open(QIODevice::ReadOnly));
    int flags = 0;
    if (::ioctl(stuck.handle(), FS_IOC_GETFLAGS, &flags) != 0)
        QSKIP("no file flags here");
    const int plain = flags;
    flags |= FS_IMMUTABLE_FL;
    if (::ioctl(stuck.handle(), FS_IOC_SETFLAGS, &flags) != 0)
        QSKIP("cannot make a file immutable here");
    const auto failure =
        failureOf([&] { deleteMatching(dir.file(QStringLiteral("/Work/*.swf"))); });
    const QStringList left = dir.files(QStringLiteral("/Work"));
    ::ioctl(stuck.handle(), FS_IOC_SETFLAGS, &plain);
    QCOMPARE(failure, FileError::Kind::WriteFailed);
    QCOMPARE(left, QStringList{QStringLiteral("b.swf")});
#else
    QSKIP("needs a file that cannot be deleted");
#endif
}

void TestFileOps::links_data()
{
    QTest::addColumn<QString>("link"); // "entry target"; target "out": a folder elsewhere
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("inside");

    const QString x = QStringLiteral("/Temp/x.haz");
    QTest::newRow("plain") << QString() << x << true;
    QTest::newRow("folder to a folder inside") << QStringLiteral("/Temp /Other") << x << true;
    QTest::newRow("folder to a folder outside") << QStringLiteral("/Temp out") << x << false;
    QTest::newRow("file within its folder")
        << QStringLiteral("/Temp/x.haz /Temp/y.haz") << x << true;
    QTest::newRow("file into a neighbouring folder")
        << QStringLiteral("/Temp/x.haz /hanzi/x.haz") << x << false;
    QTest::newRow("leading nowhere")
        << QStringLiteral("/config.ini /none.ini") << QStringLiteral("/config.ini") << false;
}

void TestFileOps::links()
{
    QFETCH(QString, link);
    QFETCH(QString, path);
    QFETCH(bool, inside);
    TestFolder dir;
    QTemporaryDir outside;
    QDir(dir.path()).mkdir(QStringLiteral("Other"));
    dir.write(QStringLiteral("/hanzi/x.haz"), "x");
    dir.write(QStringLiteral("/Temp/y.haz"), "y");
    if (!link.isEmpty()) {
        const QString entry = link.section(QLatin1Char(' '), 0, 0);
        const QString target = link.section(QLatin1Char(' '), 1);
        QDir(dir.file(entry)).removeRecursively();
        dir.link(entry, target == QLatin1String("out") ? outside.path() : dir.file(target));
    }
    QCOMPARE(linksStayInside(dir.path(), dir.file(path)), inside);
}

void TestFileOps::leftoverSavesAreRemoved()
{
    TestFolder dir;
    const QStringList kept{QStringLiteral("config.ini"), QStringLiteral("config.ini.abc"),
                           QStringLiteral("config.ini.bak123"), QStringLiteral("hanzi.ini.AbCdEf")};
    for (const QString &name : kept + QStringList{QStringLiteral("config.ini.AbCdEf")})
        dir.write(QLatin1Char('/') + name, "x");
    removeLeftoverSaves(dir.file(QStringLiteral("/config.ini")));
    QCOMPARE(dir.files(QString()), kept);
}

void TestFileOps::safeNames()
{
    for (const QString &c : {QStringLiteral("人"), QString(), QStringLiteral(".")})
        QVERIFY2(isSafeInFileName(c), qPrintable(c));
    for (const QString &c :
         {QStringLiteral("/"), QStringLiteral("\\"), QStringLiteral("\t"), QString(QChar(0))})
        QVERIFY2(!isSafeInFileName(c), qPrintable(c));
}

QTEST_GUILESS_MAIN(TestFileOps)
#include "tst_fileops.moc"
