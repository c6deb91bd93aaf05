// SPDX-License-Identifier: GPL-3.0-or-later
// One running copy per folder the program writes in.
#include "runlock.h"
#include "testfolder.h"

#include <QSysInfo>
#include <QTest>

class TestRunLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneCopyPerFolder();
};

void TestRunLock::oneCopyPerFolder()
{
    TestFolder dir;
    TestFolder other;
    {
        const RunLock first(dir.folder());
        QVERIFY(!first.heldElsewhere());
        QVERIFY(RunLock(dir.folder()).heldElsewhere());
        QVERIFY(!RunLock(other.folder()).heldElsewhere());
    }
    // Given up at the end of the run.
    QVERIFY(!RunLock(dir.folder()).heldElsewhere());
    QCOMPARE(dir.files(QString()), QStringList());

    // A lock left by a copy that crashed is taken over: no process has
    // this number.
    dir.write(QStringLiteral("/zorvina.lock"),
              "2147483646\nzorvina\n" + QSysInfo::machineHostName().toUtf8() + '\n');
    QVERIFY(!RunLock(dir.folder()).heldElsewhere());

    // Where nothing can be written, nothing can be spoilt either.
    const AppFolder missing(dir.file(QStringLiteral("/missing/folder")));
    QVERIFY(!RunLock(missing).heldElsewhere());
}

QTEST_GUILESS_MAIN(TestRunLock)
#include "tst_runlock.moc"
