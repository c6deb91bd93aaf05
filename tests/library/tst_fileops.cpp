// SPDX-License-Identifier: GPL-3.0-or-later
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
    void movingAndDeleting();
    void links();
    void safeNames();
};

// A staged movie moves into Work, never over another; a sweep deletes what
// matches and only that, and goes on past a file it cannot delete; a save
// left over from a killed run goes, files merely named alike stay.
void TestFileOps::movingAndDeleting()
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

    const QStringList kept{QStringLiteral("config.ini"), QStringLiteral("config.ini.abc"),
                           QStringLiteral("config.ini.bak123"), QStringLiteral("hanzi.ini.AbCdEf")};
    for (const QString &name : kept + QStringList{QStringLiteral("config.ini.AbCdEf")})
        dir.write(QLatin1Char('/') + name, "x");
    removeLeftoverSaves(dir.file(QStringLiteral("/config.ini")));
    QCOMPARE(dir.files(QString()), kept);

    const QString sweep = dir.file(QStringLiteral("/Work/*.swf"));
    for (const char *name :
         {"/Work/人.swf", "/Work/B.SWF", "/Work/notes.txt", "/Work/a.swf.txt", "/Work/.swf"})
        dir.write(QString::fromUtf8(name), "x");
    QDir(dir.path()).mkpath(QStringLiteral("Work/folder.swf"));
    deleteMatching(sweep);
    const QStringList left{QStringLiteral("a.swf.txt"), QStringLiteral("notes.txt")};
    QCOMPARE(dir.files(QStringLiteral("/Work")), left);
    QVERIFY(QFileInfo(dir.file(QStringLiteral("/Work/folder.swf"))).isDir());
    // Nothing left to match, or no folder at all.
    for (const QString &pattern : {sweep, dir.file(QStringLiteral("/Nowhere/*.swf"))})
        QCOMPARE(failureOf([&] { deleteMatching(pattern); }), FileError::Kind::NotFound);
    QCOMPARE(dir.files(QStringLiteral("/Work")), left);

#ifdef Q_OS_LINUX
    // An immutable file cannot be deleted, even by root; setting the flag
    // takes root and a file system that has it.
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
    const auto failure = failureOf([&] { deleteMatching(sweep); });
    const QStringList stayed = dir.files(QStringLiteral("/Work"));
    ::ioctl(stuck.handle(), FS_IOC_SETFLAGS, &plain);
    QCOMPARE(failure, FileError::Kind::WriteFailed);
    QCOMPARE(stayed, (QStringList{QStringLiteral("a.swf.txt"), QStringLiteral("b.swf"),
                                  QStringLiteral("notes.txt")}));
#endif
}

// Every step of a path is followed: a link may lead anywhere inside the
// folder that holds it, never out of it, and not nowhere.
void TestFileOps::links()
{
    TestFolder dir;
    QTemporaryDir outside;
    QDir(dir.path()).mkdir(QStringLiteral("Other"));
    dir.write(QStringLiteral("/hanzi/x.haz"), "x");
    dir.write(QStringLiteral("/Temp/y.haz"), "y");
    dir.link(QStringLiteral("/In"), dir.file(QStringLiteral("/Other")));
    dir.link(QStringLiteral("/Out"), outside.path());
    dir.link(QStringLiteral("/Temp/x.haz"), dir.file(QStringLiteral("/Temp/y.haz")));
    dir.link(QStringLiteral("/Temp/z.haz"), dir.file(QStringLiteral("/hanzi/x.haz")));
    dir.link(QStringLiteral("/config.ini"), dir.file(QStringLiteral("/none.ini")));
    const auto inside = [&](const char *path) {
        return linksStayInside(dir.path(), dir.file(QString::fromUtf8(path)));
    };
    QVERIFY(inside("/Temp/y.haz"));
    QVERIFY(inside("/In/x.haz"));
    QVERIFY(!inside("/Out/x.haz"));
    QVERIFY(inside("/Temp/x.haz"));
    QVERIFY(!inside("/Temp/z.haz"));
    QVERIFY(!inside("/config.ini"));
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
