// The program itself, as the session sees it: started as a process in a copy
// of its application folder, ended by the session (SIGTERM or SIGHUP) or by
// Ctrl+C in its terminal (SIGINT) with no one there to answer a message.
#include "testfolder.h"

#include <QDirIterator>
#include <QProcess>
#include <QTest>
#include <csignal>

class TestProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sessionEndSavesAndCleansUp_data();
    void sessionEndSavesAndCleansUp();
};

namespace {

// Copies the built application folder, movies and player included.
void copyApplication(const QString &to)
{
    const QString from = QStringLiteral(ZORVINA_APP_DIR);
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QVERIFY(QFile::copy(source, target)); // with its permissions
    }
}

} // namespace

void TestProgram::sessionEndSavesAndCleansUp_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("terminate") << int(SIGTERM);
    QTest::newRow("hang up") << int(SIGHUP);
    QTest::newRow("interrupt") << int(SIGINT);
}

void TestProgram::sessionEndSavesAndCleansUp()
{
    QFETCH(int, signalNumber);
    TestFolder dir;
    copyApplication(dir.path());
    dir.writeText(QStringLiteral("/config.ini"), QStringLiteral("三\r\n"));

    QProcess program;
    program.start(dir.file(QStringLiteral("/zorvina")), {});
    QVERIFY(program.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(dir.files(QStringLiteral("/Work")),
                              QStringList{QStringLiteral("三.swf")}, 30000);
    // Forget the character behind the program's back: only a save at the end
    // brings it back.
    dir.writeText(QStringLiteral("/config.ini"), QStringLiteral("\r\n"));

    ::kill(program.processId(), signalNumber);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(dir.read(QStringLiteral("/config.ini")), QByteArray("\xC8\xFD\r\n"));
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList());
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
