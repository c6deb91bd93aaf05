#include "webengineprocess.h"

#include <QTest>

class TestWebEngineProcess : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void userFlagsComeLast_data();
    void userFlagsComeLast();
};

void TestWebEngineProcess::userFlagsComeLast_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray own = "--js-flags=--liftoff-only";
    QTest::newRow("none") << QByteArray() << own;
    QTest::newRow("blank") << QByteArray(" \t") << own;
    // Chromium takes the last of a repeated switch: the user's.
    QTest::newRow("same switch") << QByteArray(" --js-flags=--foo ") << own + " --js-flags=--foo";
}

void TestWebEngineProcess::userFlagsComeLast()
{
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, expected);
    QCOMPARE(chromiumFlags(user), expected);
}

QTEST_APPLESS_MAIN(TestWebEngineProcess)

#include "tst_webengineprocess.moc"
