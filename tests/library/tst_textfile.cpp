#include "fileerror.h"
#include "testfolder.h"
#include "textfile.h"

#include <QTest>

Q_DECLARE_METATYPE(FileError::Kind)

class TestTextFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstLine_data();
    void firstLine();
    void readFailures_data();
    void readFailures();
    void writeRoundTrip_data();
    void writeRoundTrip();
    void writeBytesAreGbkWithCrLf();
    void failedWriteKeepsOldContent();
    void characters_data();
    void characters();
};

void TestTextFile::firstLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    // 人口手 in GBK is C8CB BFDA CAD6.
    const QByteArray gbk("\xC8\xCB\xBF\xDA\xCA\xD6");
    QTest::newRow("gbk with crlf") << gbk + "\r\n" << QStringLiteral("人口手");
    QTest::newRow("gbk without line end") << gbk << QStringLiteral("人口手");
    QTest::newRow("second line ignored")
        << QByteArray("\xC8\xCB\xBF\xDA\r\n\xCA\xD6\r\n") << QStringLiteral("人口");
    QTest::newRow("lone lf") << QByteArray("\xC8\xCB\n\xBF\xDA") << QStringLiteral("人");
    QTest::newRow("lone cr") << QByteArray("\xC8\xCB\r\xBF\xDA") << QStringLiteral("人");
    QTest::newRow("empty first line") << QByteArray("\r\n\xC8\xCB") << QString();
    QTest::newRow("only a line end") << QByteArray("\r\n") << QString();
    QTest::newRow("utf-8 with bom")
        << QByteArray("\xEF\xBB\xBF\xE4\xBA\xBA\xE5\x8F\xA3\r\n") << QStringLiteral("人口");
    QTest::newRow("utf-16le with bom")
        << QByteArray("\xFF\xFE\xBA\x4E\xE3\x53\r\0\n\0", 10) << QStringLiteral("人口");
    // U+20000 takes four bytes in GB18030 and two code units in Qt.
    QTest::newRow("gb18030 four-byte")
        << QByteArray("\x95\x32\x82\x36\xC8\xCB") << QString::fromUcs4(U"\U00020000人");
    QTest::newRow("ascii and space") << QByteArray("a b,\r\n") << QStringLiteral("a b,");
}

void TestTextFile::firstLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    TestFolder dir;
    dir.write(QStringLiteral("/hanzi.ini"), bytes);
    QCOMPARE(readFirstLine(dir.file(QStringLiteral("/hanzi.ini"))), expected);
}

void TestTextFile::readFailures_data()
{
    QTest::addColumn<bool>("create");
    QTest::addColumn<FileError::Kind>("kind");
    QTest::newRow("missing") << false << FileError::Kind::NotFound;
    QTest::newRow("no bytes at all") << true << FileError::Kind::PastEnd;
}

void TestTextFile::readFailures()
{
    QFETCH(bool, create);
    QFETCH(FileError::Kind, kind);
    TestFolder dir;
    const QString path = dir.file(QStringLiteral("/config.ini"));
    if (create)
        dir.write(QStringLiteral("/config.ini"), QByteArray());
    try {
        readFirstLine(path);
        QFAIL("reading should have failed");
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), kind);
        QCOMPARE(error.path(), path);
        QVERIFY(error.message().contains(QStringLiteral("config.ini")));
    }
}

void TestTextFile::writeRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("character") << QStringLiteral("人");
    QTest::newRow("empty") << QString();
    QTest::newRow("outside the bmp") << QString::fromUcs4(U"\U00020000");
    QTest::newRow("not in gbk") << QStringLiteral("é😀");
}

void TestTextFile::writeRoundTrip()
{
    QFETCH(QString, text);
    TestFolder dir;
    const QString path = dir.file(QStringLiteral("/config.ini"));
    dir.write(QStringLiteral("/config.ini"), "old content that is longer\r\nand a second line\r\n");
    writeSingleLine(path, text);
    QCOMPARE(readFirstLine(path), text);
    QVERIFY(dir.read(QStringLiteral("/config.ini")).endsWith("\r\n"));
    QVERIFY(!dir.read(QStringLiteral("/config.ini")).contains("second"));
}

void TestTextFile::writeBytesAreGbkWithCrLf()
{
    TestFolder dir;
    writeSingleLine(dir.file(QStringLiteral("/config.ini")), QStringLiteral("人"));
    QCOMPARE(dir.read(QStringLiteral("/config.ini")), QByteArray("\xC8\xCB\r\n"));
    writeSingleLine(dir.file(QStringLiteral("/config.ini")), QString());
    QCOMPARE(dir.read(QStringLiteral("/config.ini")), QByteArray("\r\n"));
}

void TestTextFile::failedWriteKeepsOldContent()
{
    // A name so long that no temporary file can be made beside it: the write
    // fails even for root, after the old file was already in place.
    TestFolder dir;
    const QString suffix = QLatin1Char('/') + QString(250, u'c');
    dir.write(suffix, "\xC8\xCB\r\n");
    try {
        writeSingleLine(dir.file(suffix), QStringLiteral("口"));
        QFAIL("the write should have failed");
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), FileError::Kind::WriteFailed);
    }
    QCOMPARE(dir.read(suffix), QByteArray("\xC8\xCB\r\n"));
    QCOMPARE(dir.files(QString()).size(), 1);
}

void TestTextFile::characters_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("in order, not sorted")
        << QStringLiteral("口人大")
        << QStringList{QStringLiteral("口"), QStringLiteral("人"), QStringLiteral("大")};
    QTest::newRow("space is an item")
        << QStringLiteral("人 口")
        << QStringList{QStringLiteral("人"), QStringLiteral(" "), QStringLiteral("口")};
    const QString wide = QString::fromUcs4(U"\U00020000");
    QTest::newRow("pair stays whole")
        << wide + QStringLiteral("人") << QStringList{wide, QStringLiteral("人")};
    QTest::newRow("lone surrogate") << QString(QChar(0xD840)) + QStringLiteral("人")
                                    << QStringList{QString(QChar(0xD840)), QStringLiteral("人")};
}

void TestTextFile::characters()
{
    QFETCH(QString, line);
    QFETCH(QStringList, expected);
    QCOMPARE(charactersOf(line), expected);
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
