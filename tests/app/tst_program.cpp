// SPDX-License-Identifier: GPL-3.0-or-later
// The program itself, as the session sees it: started as a process in a copy
// of its application folder, ended by the session (SIGTERM or SIGHUP), by
// Ctrl+C in its terminal (SIGINT) or by its display going away, with no one
// there to answer a message.
#include "testfolder.h"

#include <QDirIterator>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
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
    QTest::newRow("display gone") << 0;
}

void TestProgram::sessionEndSavesAndCleansUp()
{
    QFETCH(int, signalNumber);
    TestFolder dir;
    copyApplication(dir.path());
    dir.writeText(QStringLiteral("/config.ini"), QStringLiteral("三\r\n"));

    // The display: a virtual X server of the test's own, ended instead of
    // the program when no signal is sent.
    QProcess display;
    QProcess program;
    if (signalNumber == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            QSKIP("needs Xvfb");
        display.start(QStringLiteral("Xvfb"),
                      {QStringLiteral(":87"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(display.waitForStarted());
        // A socket file left by an earlier server proves nothing: wait
        // until this one answers on it.
        const auto listening = [] {
            QLocalSocket socket;
            socket.connectToServer(QStringLiteral("/tmp/.X11-unix/X87"));
            return socket.waitForConnected(200);
        };
        QTRY_VERIFY_WITH_TIMEOUT(listening(), 10000);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":87"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(env);
    }
    program.start(dir.file(QStringLiteral("/zorvina")), {});
    QVERIFY(program.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(dir.files(QStringLiteral("/Work")),
                              QStringList{QStringLiteral("三.swf")}, 30000);
    // Forget the character behind the program's back: only a save at the end
    // brings it back.
    dir.writeText(QStringLiteral("/config.ini"), QStringLiteral("\r\n"));

    if (signalNumber == 0)
        display.terminate();
    else
        ::kill(program.processId(), signalNumber);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    // Qt itself ends a program whose display went away with exit code 1.
    QCOMPARE(program.exitCode(), signalNumber == 0 ? 1 : 0);
    QCOMPARE(dir.read(QStringLiteral("/config.ini")), QByteArray("\xC8\xFD\r\n"));
    QCOMPARE(dir.files(QStringLiteral("/Work")), QStringList());
    QCOMPARE(dir.files(QStringLiteral("/Temp")), QStringList());
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
