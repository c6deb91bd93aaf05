// SPDX-License-Identifier: GPL-3.0-or-later
#include "webengineprocess.h"

#include <QTest>

class TestWebEngineProcess : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void userFlagsComeLast();
};

void TestWebEngineProcess::userFlagsComeLast()
{
    const QByteArray own = chromiumFlags(QByteArray());
    QCOMPARE(chromiumFlags(" \t"), own);
    // Chromium takes the last of a repeated switch: the user's.
    QCOMPARE(chromiumFlags(" --js-flags=--foo "), own + " --js-flags=--foo");
}

QTEST_APPLESS_MAIN(TestWebEngineProcess)

#include "tst_webengineprocess.moc"
