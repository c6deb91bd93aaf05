// SPDX-License-Identifier: GPL-3.0-or-later
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
    void failures_data();
    void failures();
    void leftoversInTempAreSwept();
    void playEmptiesWorkStagesAndAlwaysLoads_data();
    void playEmptiesWorkStagesAndAlwaysLoads();
};

void TestStaging::failures_data()
{
    QTest::addColumn<QString>("c");
    QTest::addColumn<QString>("folder"); // made missing or a link outside
    QTest::addColumn<QString>("becomes");
    QTest::addColumn<FileError::Kind>("kind");
    QTest::addColumn<QStringList>("tempAfter");

    const QString none;
    const QStringList empty;
    const QStringList copy{QStringLiteral("人.haz")};
    QTest::newRow("no movie") << kou << none << none << FileError::Kind::NotFound << empty;
    QTest::newRow("unreadable movie keeps the leftover copy")
        << ren << QStringLiteral("hanzi/人.haz") << QStringLiteral("folder")
        << FileError::Kind::ReadFailed << copy;
    // Far bigger than any movie: refused before a byte is copied.
    QTest::newRow("huge movie") << ren << QStringLiteral("hanzi/人.haz") << QStringLiteral("huge")
                                << FileError::Kind::BadFormat << empty;
    for (const char *folder : {"Temp", "Work"}) {
        const bool copied = QByteArray(folder) == "Work";
        for (const char *becomes : {"missing", "link outside"}) {
            QTest::addRow("%s %s", folder, becomes)
                << ren << QString::fromLatin1(folder) << QString::fromLatin1(becomes)
                << FileError::Kind::WriteFailed
                << (copied && QByteArray(becomes) != "link outside" ? copy : empty);
        }
    }
    QTest::newRow("empty text") << QString() << none << none << FileError::Kind::NotFound << empty;
    QTest::newRow("separator") << QStringLiteral("/") << none << none << FileError::Kind::BadName
                               << empty;
}

void TestStaging::failures()
{
    QFETCH(QString, c);
    QFETCH(QString, folder);
    QFETCH(QString, becomes);
    QFETCH(FileError::Kind, kind);
    QFETCH(QStringList, tempAfter);
    TestFolder dir;
    QTemporaryDir outside;
    dir.addMovie(ren);
    const QString sub = QLatin1Char('/') + folder;
    if (!folder.isEmpty()) {
        QDir(dir.file(sub)).removeRecursively();
        QFile::remove(dir.file(sub));
    }
    if (becomes == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(dir.file(sub)));
    else if (becomes == QLatin1String("link outside"))
        dir.link(sub, outside.path());
    else if (becomes == QLatin1String("huge"))
        QVERIFY(QFile(dir.file(sub)).open(QIODevice::WriteOnly) &&
                QFile(dir.file(sub)).resize(200 * 1024 * 1024));
    const bool leftover = becomes == QLatin1String("folder");
    if (leftover)
        dir.write(QStringLiteral("/Temp/人.haz"), "a stale copy");

    QCOMPARE(stage(dir, c), std::make_optional(kind));
    if (folder != QLatin1String("Temp"))
        QCOMPARE(dir.files(QStringLiteral("/Temp")), tempAfter);
    if (leftover)
        QCOMPARE(dir.read(QStringLiteral("/Temp/人.haz")), QByteArray("a stale copy"));
    if (folder != QLatin1String("Work"))
        QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList());
    QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void TestStaging::leftoversInTempAreSwept()
{
    TestFolder dir;
    dir.addMovie(ren);
    dir.addMovie(kou);
    dir.write(QStringLiteral("/Temp/口.haz"), "a stale copy");
    dir.write(QStringLiteral("/Temp/old.haz"), "old");
    dir.write(QStringLiteral("/Temp/notes.txt"), "notes");
    dir.write(QStringLiteral("/Work/人.swf"), "the old playable file");
    // A failed move keeps the playable file, and its copy stays for later.
    QCOMPARE(stage(dir, ren), std::make_optional(FileError::Kind::AlreadyExists));
    QCOMPARE(dir.read(QStringLiteral("/Work/人.swf")), QByteArray("the old playable file"));
    QCOMPARE(dir.files(QStringLiteral("/Temp")),
             QStringList({QStringLiteral("notes.txt"), QStringLiteral("old.haz"),
                          QStringLiteral("人.haz"), QStringLiteral("口.haz")}));
    QCOMPARE(stage(dir, kou), std::nullopt);
    QCOMPARE(dir.read(QStringLiteral("/Work/口.swf")), TestFolder::movieBytes(kou));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList{QStringLiteral("notes.txt")});
}

void TestStaging::playEmptiesWorkStagesAndAlwaysLoads_data()
{
    QTest::addColumn<QString>("c");
    QTest::addColumn<bool>("linkedOutside");
    QTest::addColumn<QStringList>("workAfter");
    QTest::addColumn<QByteArray>("playableAfter"); // empty: none
    const QString readme = QStringLiteral("readme.txt");
    const QStringList staged{readme, QStringLiteral("人.swf")};
    const QByteArray movie = TestFolder::movieBytes(ren);
    QTest::newRow("in place") << ren << false << staged << movie;
    QTest::newRow("linked outside")
        << ren << true << (QStringList{QStringLiteral("a.swf")} + staged) << QByteArray("x");
    QTest::newRow("no movie") << kou << false << QStringList{readme} << QByteArray();
    QTest::newRow("nothing current") << QString() << false << QStringList{readme} << QByteArray();
    QTest::newRow("separator") << QStringLiteral("/") << false << QStringList{readme}
                               << QByteArray();
}

void TestStaging::playEmptiesWorkStagesAndAlwaysLoads()
{
    QFETCH(QString, c);
    QFETCH(bool, linkedOutside);
    QFETCH(QStringList, workAfter);
    QFETCH(QByteArray, playableAfter);
    TestFolder dir;
    QTemporaryDir outside;
    dir.addMovie(ren);
    if (linkedOutside) {
        QVERIFY(QDir(dir.file(QStringLiteral("/Work"))).removeRecursively());
        dir.link(QStringLiteral("/Work"), outside.path());
    }
    // The character's own playable file too: played again, it is staged again.
    for (const char *name : {"a.swf", "readme.txt", "人.swf"})
        dir.write(QStringLiteral("/Work/") + QString::fromUtf8(name), "x");
    RecordingPlayer player;
    stageAndLoad(dir.folder(), c, player);
    // The load is asked for even when staging failed.
    QCOMPARE(player.paths,
             QStringList{dir.path() + QStringLiteral("/Work/") + c + QStringLiteral(".swf")});
    QCOMPARE(dir.files(QStringLiteral("/Work")), workAfter);
    QCOMPARE(dir.read(QStringLiteral("/Work/人.swf")), playableAfter);
    QCOMPARE(dir.read(QStringLiteral("/hanzi/人.haz")), TestFolder::movieBytes(ren));
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
}

QTEST_GUILESS_MAIN(TestStaging)
#include "tst_staging.moc"
