#include "fileerror.h"
#include "recordingplayer.h"
#include "staging.h"
#include "testfolder.h"

#include <QTest>

Q_DECLARE_METATYPE(FileError::Kind)

namespace {

const QString ren = QStringLiteral("人");
const QString kou = QStringLiteral("口");

// Runs StageMyFile and returns the kind of error it raised, if any.
std::optional<FileError::Kind> stage(const TestFolder &dir, const QString &c)
{
    try {
        StageMyFile(dir.folder(), c);
    } catch (const FileError &error) {
        return error.kind();
    }
    return std::nullopt;
}

} // namespace

class TestStaging : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stagesAWholeCopy();
    void failures_data();
    void failures();
    void sweepRemovesOnlyMovieCopies();
    void leftoverCopyIsReplaced();
    void failedMoveIsSweptLater();

    void playLoadsThePlayablePath();
    void playAsksForTheLoadEvenWhenStagingFails_data();
    void playAsksForTheLoadEvenWhenStagingFails();
    void playEmptiesWorkOfMoviesOnly();
    void playingTheSameCharacterAgainRestagesIt();
};

void TestStaging::stagesAWholeCopy()
{
    TestFolder dir;
    dir.addMovie(ren);
    QCOMPARE(stage(dir, ren), std::nullopt);
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList{ren + QStringLiteral(".swf")});
    QCOMPARE(dir.read(QStringLiteral("/Work/人.swf")), TestFolder::movieBytes(ren));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
    QCOMPARE(dir.read(QStringLiteral("/hanzi/人.haz")), TestFolder::movieBytes(ren));
}

void TestStaging::failures_data()
{
    QTest::addColumn<QString>("c");
    QTest::addColumn<QString>("removeFolder");
    QTest::addColumn<FileError::Kind>("kind");
    QTest::addColumn<QStringList>("tempAfter");

    QTest::newRow("no movie") << kou << QString() << FileError::Kind::NotFound << QStringList();
    QTest::newRow("no library folder")
        << ren << QStringLiteral("hanzi") << FileError::Kind::NotFound << QStringList();
    QTest::newRow("no staging folder")
        << ren << QStringLiteral("Temp") << FileError::Kind::WriteFailed << QStringList();
    QTest::newRow("no playing folder")
        << ren << QStringLiteral("Work") << FileError::Kind::WriteFailed
        << QStringList{QStringLiteral("人.haz")};
    QTest::newRow("empty text") << QString() << QString() << FileError::Kind::NotFound
                                << QStringList();
    QTest::newRow("separator") << QStringLiteral("/") << QString() << FileError::Kind::BadName
                               << QStringList();
    QTest::newRow("control character")
        << QStringLiteral("\n") << QString() << FileError::Kind::BadName << QStringList();
}

void TestStaging::failures()
{
    QFETCH(QString, c);
    QFETCH(QString, removeFolder);
    QFETCH(FileError::Kind, kind);
    QFETCH(QStringList, tempAfter);
    TestFolder dir;
    dir.addMovie(ren);
    if (!removeFolder.isEmpty())
        QVERIFY(QDir(dir.path() + QLatin1Char('/') + removeFolder).removeRecursively());

    QCOMPARE(stage(dir, c), std::make_optional(kind));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), tempAfter);
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList());
    QCOMPARE(dir.files(QString()), QStringList());
}

void TestStaging::sweepRemovesOnlyMovieCopies()
{
    TestFolder dir;
    dir.addMovie(ren);
    dir.write(QStringLiteral("/Temp/old.haz"), "old");
    dir.write(QStringLiteral("/Temp/notes.txt"), "notes");
    QCOMPARE(stage(dir, ren), std::nullopt);
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList{QStringLiteral("notes.txt")});
}

void TestStaging::leftoverCopyIsReplaced()
{
    TestFolder dir;
    dir.addMovie(ren);
    dir.write(QStringLiteral("/Temp/人.haz"), "a stale copy");
    QCOMPARE(stage(dir, ren), std::nullopt);
    QCOMPARE(dir.read(QStringLiteral("/Work/人.swf")), TestFolder::movieBytes(ren));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
}

void TestStaging::failedMoveIsSweptLater()
{
    TestFolder dir;
    dir.addMovie(ren);
    dir.addMovie(kou);
    dir.write(QStringLiteral("/Work/人.swf"), "the old playable file");

    QCOMPARE(stage(dir, ren), std::make_optional(FileError::Kind::AlreadyExists));
    QCOMPARE(dir.read(QStringLiteral("/Work/人.swf")), QByteArray("the old playable file"));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList{QStringLiteral("人.haz")});

    QCOMPARE(stage(dir, kou), std::nullopt);
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
}

void TestStaging::playLoadsThePlayablePath()
{
    TestFolder dir;
    dir.addMovie(ren);
    RecordingPlayer player;
    stageAndLoad(dir.folder(), ren, player);
    QCOMPARE(player.paths, QStringList{dir.path() + QStringLiteral("/Work/人.swf")});
    QCOMPARE(player.layers, QList<int>{0});
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList{QStringLiteral("人.swf")});
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
}

void TestStaging::playAsksForTheLoadEvenWhenStagingFails_data()
{
    QTest::addColumn<QString>("c");
    QTest::addColumn<QString>("expectedSuffix");
    QTest::newRow("no movie") << kou << QStringLiteral("/Work/口.swf");
    QTest::newRow("nothing current") << QString() << QStringLiteral("/Work/.swf");
    QTest::newRow("separator") << QStringLiteral("/") << QStringLiteral("/Work//.swf");
}

void TestStaging::playAsksForTheLoadEvenWhenStagingFails()
{
    QFETCH(QString, c);
    QFETCH(QString, expectedSuffix);
    TestFolder dir;
    dir.addMovie(ren);
    dir.write(QStringLiteral("/Work/人.swf"), "previous");
    RecordingPlayer player;
    stageAndLoad(dir.folder(), c, player);
    QCOMPARE(player.paths, QStringList{dir.path() + expectedSuffix});
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList());
}

void TestStaging::playEmptiesWorkOfMoviesOnly()
{
    TestFolder dir;
    dir.addMovie(ren);
    for (const char *name : {"/Work/a.swf", "/Work/b.swf", "/Work/readme.txt"})
        dir.write(QString::fromUtf8(name), "x");
    RecordingPlayer player;
    stageAndLoad(dir.folder(), ren, player);
    QCOMPARE(dir.files(QStringLiteral("/Work")),
             (QStringList{QStringLiteral("readme.txt"), QStringLiteral("人.swf")}));
}

void TestStaging::playingTheSameCharacterAgainRestagesIt()
{
    TestFolder dir;
    dir.addMovie(ren);
    RecordingPlayer player;
    stageAndLoad(dir.folder(), ren, player);
    dir.write(QStringLiteral("/Work/人.swf"), "changed while shown");
    stageAndLoad(dir.folder(), ren, player);
    QCOMPARE(player.paths.size(), 2);
    QCOMPARE(player.paths.at(1), player.paths.at(0));
    QCOMPARE(dir.read(QStringLiteral("/Work/人.swf")), TestFolder::movieBytes(ren));
}

QTEST_GUILESS_MAIN(TestStaging)
#include "tst_staging.moc"
