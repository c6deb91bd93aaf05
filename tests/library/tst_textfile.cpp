// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileerror.h"
#include "fulldisk.h"
#include "testfolder.h"
#include "textfile.h"

#include <QTest>

class TestTextFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstLine_data();
    void firstLine();
    void writing_data();
    void writing();
    void characters();
};

void TestTextFile::firstLine_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no file, or one that is not a regular file
    QTest::addColumn<QString>("special");
    QTest::addColumn<QString>("expected"); // the characters read, or the message (%1: the file)

    const QString none;
    const QString notText = QStringLiteral("文件格式不对：%1（第一行的第 2 个字无法识别）");
    // 人口手 in GBK is C8CB BFDA CAD6.
    const QByteArray gbk("\xC8\xCB\xBF\xDA\xCA\xD6");
    QTest::newRow("gbk with crlf") << gbk + "\r\n" << none << QStringLiteral("人口手");
    QTest::newRow("gbk without line end") << gbk << none << QStringLiteral("人口手");
    QTest::newRow("second line ignored, even when it is not text")
        << QByteArray("\xC8\xCB\xBF\xDA\r\n\xCA\xFF\0\xC8", 10) << none << QStringLiteral("人口");
    QTest::newRow("lone lf") << QByteArray("\xC8\xCB\n\xBF\xDA") << none << QStringLiteral("人");
    QTest::newRow("lone cr") << QByteArray("\xC8\xCB\r\xBF\xDA") << none << QStringLiteral("人");
    QTest::newRow("empty first line") << QByteArray("\r\n\xC8\xCB") << none << QString();
    QTest::newRow("utf-8 with bom")
        << QByteArray("\xEF\xBB\xBF\xE4\xBA\xBA\xE5\x8F\xA3\r\n") << none << QStringLiteral("人口");
    QTest::newRow("utf-16le with bom, odd byte after the line")
        << QByteArray("\xFF\xFE\xBA\x4E\xE3\x53\r\0\n\0\x01", 11) << none << QStringLiteral("人口");
    // U+20000 takes four bytes in GB18030 and two code units in Qt.
    QTest::newRow("gb18030 four-byte")
        << QByteArray("\x95\x32\x82\x36\xC8\xCB") << none << QString::fromUcs4(U"\U00020000人");
    QTest::newRow("ascii and space") << QByteArray("a b,\r\n") << none << QStringLiteral("a b,");

    QTest::newRow("missing") << QByteArray() << none << QStringLiteral("找不到文件：%1");
    QTest::newRow("no bytes at all") << QByteArray("") << none << QStringLiteral("文件是空的：%1");
    QTest::newRow("not gb18030") << QByteArray("\xC8\xCB\xFF\xC8\xCB\r\n") << none << notText;
    QTest::newRow("cut off in a character") << QByteArray("\xC8\xCB\xBF") << none << notText;
    QTest::newRow("32767 characters") << QByteArray(32767, 'a') << none << QString(32767, u'a');
    QTest::newRow("32768 characters")
        << QByteArray(32768, 'a') << none
        << QStringLiteral("文件格式不对：%1（字太多，最多 32767 个）");
    QTest::newRow("5 MB line") << QByteArray(5 << 20, 'a') << none
                               << QStringLiteral("文件格式不对：%1（第一行太长）");
    QTest::newRow("folder") << QByteArray() << QStringLiteral("folder")
                            << QStringLiteral("无法读取文件：%1（不是普通文件）");
    QTest::newRow("link outside") << QByteArray() << QStringLiteral("link")
                                  << QStringLiteral(
                                         "无法读取文件：%1（链接指向所在文件夹以外的地方）");
}

void TestTextFile::firstLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, special);
    QFETCH(QString, expected);
    TestFolder dir;
    TestFolder outside;
    const QString path = dir.file(QStringLiteral("/config.ini"));
    if (!bytes.isNull())
        dir.write(QStringLiteral("/config.ini"), bytes);
    if (special == QLatin1String("folder"))
        QDir(dir.path()).mkdir(QStringLiteral("config.ini"));
    if (special == QLatin1String("link")) {
        outside.write(QStringLiteral("/hanzi.ini"), "\xC8\xCB");
        dir.link(QStringLiteral("/config.ini"), outside.file(QStringLiteral("/hanzi.ini")));
    }
    QString read;
    try {
        read = readCharacterList(path).join(QString());
    } catch (const FileError &error) {
        read = error.message();
    }
    QCOMPARE(read, QString(expected).replace(QStringLiteral("%1"), path));
}

void TestTextFile::writing_data()
{
    QTest::addColumn<QString>("setUp"); // what is in the way of the new file
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes"); // null: the write fails and changes nothing

    const QString none;
    const QString c = QStringLiteral("口");
    QTest::newRow("character") << none << QStringLiteral("人") << QByteArray("\xC8\xCB\r\n");
    QTest::newRow("empty") << none << QString() << QByteArray("\r\n");
    QTest::newRow("outside the bmp")
        << none << QString::fromUcs4(U"\U00020000") << QByteArray("\x95\x32\x82\x36\r\n");
    QTest::newRow("not in gbk") << none << QStringLiteral("é😀")
                                << QByteArray("\xA8\xA6\x94\x39\xFC\x36\r\n");
    // A name so long that no temporary file can be made beside it.
    QTest::newRow("no room for a new file") << QStringLiteral("long name") << c << QByteArray();
    QTest::newRow("no such folder") << QStringLiteral("no folder") << c << QByteArray();
    QTest::newRow("disk full") << QStringLiteral("disk full") << c << QByteArray();
    QTest::newRow("link outside") << QStringLiteral("link outside") << c << QByteArray();
    QTest::newRow("dangling link") << QStringLiteral("dangling link") << c << QByteArray();
    QTest::newRow("folder") << QStringLiteral("folder") << c << QByteArray();
}

void TestTextFile::writing()
{
    QFETCH(QString, setUp);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const QByteArray old("old content that is longer\r\nand a second line\r\n");
    TestFolder dir;
    TestFolder outside;
    outside.write(QStringLiteral("/old"), old);
    QString name = QStringLiteral("/config.ini");
    if (setUp == QLatin1String("long name"))
        name = QLatin1Char('/') + QString(250, u'c');
    else if (setUp == QLatin1String("no folder"))
        name = QStringLiteral("/none/config.ini");
    if (setUp == QLatin1String("link outside"))
        dir.link(name, outside.file(QStringLiteral("/old")));
    else if (setUp == QLatin1String("dangling link"))
        dir.link(name, dir.file(QStringLiteral("/gone.ini")));
    else if (setUp == QLatin1String("folder"))
        QDir(dir.path()).mkdir(name.mid(1));
    else if (setUp != QLatin1String("no folder"))
        dir.write(name, old);
    const QStringList before = dir.files(QString());

    try {
        ZORVINA_FILL_DISK_IF(setUp == QLatin1String("disk full"));
        writeSingleLine(dir.file(name), text);
        QVERIFY2(!bytes.isNull(), "the write should have failed");
        QCOMPARE(dir.read(name), bytes);
        QCOMPARE(readFirstLine(dir.file(name)), text);
    } catch (const FileError &error) {
        QVERIFY2(bytes.isNull(), qPrintable(error.message()));
        QCOMPARE(error.kind(), FileError::Kind::WriteFailed);
        // A link is told apart by where it leads, even when that is nowhere.
        if (setUp.contains(QLatin1String("link")))
            QVERIFY2(error.message().contains(setUp == QLatin1String("link outside")
                                                  ? QStringLiteral("以外的地方")
                                                  : QStringLiteral("指向的文件不存在")),
                     qPrintable(error.message()));
        if (QFileInfo(dir.file(name)).isFile())
            QCOMPARE(dir.read(name), old);
    }
    QCOMPARE(dir.files(QString()), before);
    QCOMPARE(outside.files(QString()), QStringList{QStringLiteral("old")});
    QCOMPARE(outside.read(QStringLiteral("/old")), old);
}

void TestTextFile::characters()
{
    const QString wide = QString::fromUcs4(U"\U00020000");
    const QString lone(QChar(0xD840));
    QCOMPARE(charactersOf(wide + QStringLiteral("人")), (QStringList{wide, QStringLiteral("人")}));
    QCOMPARE(charactersOf(lone + QStringLiteral("人")), (QStringList{lone, QStringLiteral("人")}));
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
