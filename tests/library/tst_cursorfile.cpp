// SPDX-License-Identifier: GPL-3.0-or-later
#include "cursorfile.h"
#include "fileerror.h"
#include "fileops.h"
#include "fulldisk.h"
#include "testfolder.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QRegularExpression>
#include <QVector>
#include <QtEndian>
#include <QtTest>

namespace {

QString fixtureText(const QString &name)
{
    QFile file(QStringLiteral(ZORVINA_TEST_DATA "/cursor/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return QString::fromLatin1(file.readAll());
}

QByteArray fixture(const QString &name)
{
    QString text = fixtureText(name);
    text.remove(QRegularExpression(QStringLiteral("#[^\n]*")));
    return QByteArray::fromHex(text.toLatin1());
}

QStringList fixtureNames()
{
    return QDir(QStringLiteral(ZORVINA_TEST_DATA "/cursor")).entryList({QStringLiteral("*.hex")});
}

template <typename T> QByteArray patched(QByteArray bytes, int at, T value)
{
    qToLittleEndian(value, bytes.data() + at);
    return bytes;
}

// A cursor file laid out as the format describes: the directory, then each
// picture as PNG, as newer cursor files hold them. Picture i has its hotspot
// at (i, i).
QByteArray cursorFile(const QVector<QImage> &pictures)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(2) << quint16(pictures.size());
    QByteArray data;
    for (int i = 0; i < pictures.size(); ++i) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        pictures[i].save(&buffer, "PNG");
        out << quint8(pictures[i].width() % 256) << quint8(pictures[i].height() % 256) << quint16(0)
            << quint16(i) << quint16(i) << quint32(buffer.size())
            << quint32(6 + 16 * pictures.size() + data.size());
        data += buffer.data();
    }
    return bytes + data;
}

// Every alpha, with colour under the see-through pixels too.
QImage pattern(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = (x + 2 * y) % 5 == 0 ? 0 : (x * 37 + y * 11) % 256;
            image.setPixel(x, y, qRgba(x * 7 % 256, y * 13 % 256, 90, alpha));
        }
    }
    return image;
}

// Row by row: an ARGB32 image's lines have no padding.
QVector<QRgb> pixels(const QImage &image)
{
    const auto *first = reinterpret_cast<const QRgb *>(image.constBits());
    return QVector<QRgb>(first, first + image.width() * image.height());
}

} // namespace

class TestCursorFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsHandBuiltFiles_data();
    void readsHandBuiltFiles();
    void choosesPictureNearest32_data();
    void choosesPictureNearest32();
    void roundTrip_data();
    void roundTrip();
    void rejectsMalformedFiles_data();
    void rejectsMalformedFiles();
    void failedWritesKeepTheOldFile_data();
    void failedWritesKeepTheOldFile();
    void builtPointerLoads();

private:
    QString store(const QByteArray &bytes);

    TestFolder m_dir;
};

QString TestCursorFile::store(const QByteArray &bytes)
{
    m_dir.write(QStringLiteral("/test.cur"), bytes);
    return m_dir.file(QStringLiteral("/test.cur"));
}

void TestCursorFile::readsHandBuiltFiles_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : fixtureNames())
        QTest::newRow(qPrintable(name)) << name;
}

void TestCursorFile::readsHandBuiltFiles()
{
    QFETCH(QString, name);
    const QRegularExpressionMatch expected =
        QRegularExpression(QStringLiteral("# read as: (\\d+)x(\\d+), hotspot (\\d+) (\\d+):(.*)"))
            .match(fixtureText(name));
    QVERIFY(expected.hasMatch());
    const auto number = [&](int i) { return expected.captured(i).toInt(); };

    const CursorImage cursor = readCursorFile(store(fixture(name)));
    QCOMPARE(cursor.image.format(), QImage::Format_ARGB32);
    QCOMPARE(cursor.image.size(), QSize(number(1), number(2)));
    QCOMPARE(cursor.hotspot, QPoint(number(3), number(4)));
    QStringList read;
    for (const QRgb pixel : pixels(cursor.image))
        read.append(QStringLiteral("%1").arg(pixel, 8, 16, QLatin1Char('0')));
    QCOMPARE(read.join(QLatin1Char(' ')), expected.captured(5).trimmed());
}

void TestCursorFile::choosesPictureNearest32_data()
{
    QTest::addColumn<QVector<int>>("sides");
    QTest::addColumn<int>("chosen");

    QTest::newRow("exact match in the middle") << QVector<int>{16, 32, 48} << 1;
    QTest::newRow("smaller is nearer") << QVector<int>{64, 24} << 1;
    QTest::newRow("larger is nearer") << QVector<int>{8, 40} << 1;
    QTest::newRow("256 stored as 0") << QVector<int>{256, 100} << 1;
    QTest::newRow("tie keeps the first") << QVector<int>{40, 24} << 0;
}

void TestCursorFile::choosesPictureNearest32()
{
    QFETCH(QVector<int>, sides);
    QFETCH(int, chosen);

    QVector<QImage> pictures;
    for (const int side : sides)
        pictures.append(pattern({side, side}));
    const CursorImage cursor = readCursorFile(store(cursorFile(pictures)));
    QCOMPARE(cursor.image, pictures[chosen]);
    QCOMPARE(cursor.hotspot, QPoint(chosen, chosen));
}

void TestCursorFile::roundTrip_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("hotspot");

    QTest::newRow("mask rows padded") << QSize(33, 7) << QPoint(32, 6);
    QTest::newRow("one pixel") << QSize(1, 1) << QPoint(0, 0);
    QTest::newRow("largest") << QSize(256, 256) << QPoint(255, 128);
    QTest::newRow("wide") << QSize(256, 3) << QPoint(100, 2);
}

void TestCursorFile::roundTrip()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, hotspot);

    const QString path = m_dir.file(QStringLiteral("/test.cur"));
    const QImage image = pattern(size);
    writeCursorFile(path, image, hotspot);
    const CursorImage cursor = readCursorFile(path);
    QCOMPARE(cursor.image.size(), size);
    QCOMPARE(cursor.hotspot, hotspot);
    // See-through pixels come back black. Programs that ignore alpha must
    // see the same outline: with every alpha byte cleared, the mask alone
    // gives back the shape, and black under it, else such programs would
    // invert the screen there.
    QVector<QRgb> expected;
    QVector<QRgb> opaque;
    for (const QRgb pixel : pixels(image)) {
        expected.append(qAlpha(pixel) == 0 ? 0 : pixel);
        opaque.append(qAlpha(pixel) == 0 ? 0 : pixel | 0xff000000);
    }
    QCOMPARE(pixels(cursor.image), expected);
    QByteArray bytes = readRegularFile(path, 1 << 20);
    for (int i = 0; i < size.width() * size.height(); ++i)
        bytes[6 + 16 + 40 + 4 * i + 3] = 0; // after the directory and the bitmap header
    QCOMPARE(pixels(readCursorFile(store(bytes)).image), opaque);
}

void TestCursorFile::rejectsMalformedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("mayBeRead"); // as a picture the pointer can use

    // Every prefix of a good file is refused, and every file with one byte
    // changed is refused or read: no read goes past a file's end.
    for (const QString &name : fixtureNames()) {
        const QByteArray good = fixture(name);
        for (int size = 0; size < good.size(); ++size)
            QTest::addRow("%s cut to %d", qPrintable(name), size) << good.left(size) << false;
        for (int at = 0; at < good.size(); ++at) {
            for (const char value : {'\x00', '\x01', '\x7f', '\x80', '\xff'}) {
                QByteArray changed = good;
                changed[at] = value;
                QTest::addRow("%s byte %d = %d", qPrintable(name), at, value) << changed << true;
            }
        }
    }

    // Files whose every field can be read, with one field that makes them
    // other than a cursor this program can show. Offsets into onebit-3x2:
    // directory entry at 6, bitmap header at 22.
    const QByteArray good = fixture(QStringLiteral("onebit-3x2.hex"));
    QTest::newRow("icon, not cursor") << patched<quint16>(good, 2, 1) << false;
    QTest::newRow("reserved not zero") << patched<quint16>(good, 0, 1) << false;
    QTest::newRow("bitmap one byte short") << patched<quint32>(good, 14, 63) << false;
    QTest::newRow("header size too small") << patched<quint32>(good, 22, 12) << false;
    QTest::newRow("2 bits per pixel")
        << patched<quint16>(fixture(QStringLiteral("eightbit-2x1.hex")), 36, 2) << false;
    QTest::newRow("compressed") << patched<quint32>(good, 38, 1) << false;
    QTest::newRow("palette larger than the bits allow")
        << patched<quint32>(patched<quint32>(good, 14, 68), 54, 3) + QByteArray(4, '\0') << false;
    QTest::newRow("colour outside the palette")
        << patched<quint32>(fixture(QStringLiteral("fourbit-3x1.hex")), 22 + 40 + 12, 0x2f)
        << false;
    // Four bytes past the PNG's header chunk zeroed: a check sum no longer
    // matches.
    QTest::newRow("png damaged") << patched<quint32>(cursorFile({pattern(QSize(4, 4))}),
                                                     6 + 16 + 40, 0)
                                 << false;
    QTest::newRow("png wider than 256") << cursorFile({pattern(QSize(300, 1))}) << false;
    QTest::newRow("oversized") << good + QByteArray(8 << 20, '\0') << false;
}

void TestCursorFile::rejectsMalformedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, mayBeRead);

    const QString path = store(bytes);
    try {
        const CursorImage cursor = readCursorFile(path);
        QVERIFY2(mayBeRead, "a malformed file was accepted");
        QCOMPARE(cursor.image.format(), QImage::Format_ARGB32);
        QVERIFY(QRect(0, 0, 256, 256).contains(cursor.image.rect()));
        QVERIFY(cursor.image.rect().contains(cursor.hotspot));
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), FileError::Kind::BadFormat);
        QCOMPARE(error.path(), path);
    }
}

void TestCursorFile::failedWritesKeepTheOldFile_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QPoint>("hotspot");

    const QImage fit = pattern(QSize(4, 4));
    QTest::newRow("null image") << QImage() << QPoint(0, 0);
    QTest::newRow("too wide") << pattern(QSize(257, 4)) << QPoint(0, 0);
    QTest::newRow("too tall") << pattern(QSize(4, 300)) << QPoint(0, 0);
    QTest::newRow("hotspot right of the image") << fit << QPoint(4, 0);
    QTest::newRow("hotspot above the image") << fit << QPoint(0, -1);
    QTest::newRow("disk full") << fit << QPoint(0, 0);
}

void TestCursorFile::failedWritesKeepTheOldFile()
{
    QFETCH(QImage, image);
    QFETCH(QPoint, hotspot);
    const QString path = store(fixture(QStringLiteral("onebit-3x2.hex")));
    try {
        ZORVINA_FILL_DISK_IF(QLatin1String(QTest::currentDataTag()) == QLatin1String("disk full"));
        writeCursorFile(path, image, hotspot);
        QFAIL("the write succeeded");
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), FileError::Kind::WriteFailed);
        QCOMPARE(error.path(), path);
    }
    QCOMPARE(readCursorFile(path).image.size(), QSize(3, 2));
    QCOMPARE(m_dir.files(QString()), QStringList{QStringLiteral("test.cur")});
}

void TestCursorFile::builtPointerLoads()
{
    const CursorImage cursor = readCursorFile(QStringLiteral(ZORVINA_APP_DIR "/harrow.cur"));
    QCOMPARE(cursor.image.size(), QSize(32, 32));
    // The hotspot is the arrow's tip: visible itself, with nothing drawn
    // above or to the left of it.
    QVERIFY(qAlpha(cursor.image.pixel(cursor.hotspot)) > 128);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (y < cursor.hotspot.y() || x < cursor.hotspot.x())
                QCOMPARE(qAlpha(cursor.image.pixel(x, y)), 0);
        }
    }
}

QTEST_GUILESS_MAIN(TestCursorFile)
#include "tst_cursorfile.moc"
