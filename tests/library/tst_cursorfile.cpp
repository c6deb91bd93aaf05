#include "cursorfile.h"
#include "fileerror.h"
#include "fulldisk.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVector>
#include <QtEndian>
#include <QtTest>

Q_DECLARE_METATYPE(FileError::Kind)

namespace {

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(ZORVINA_TEST_DATA "/cursor/") + name + QStringLiteral(".hex"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    QString text = QString::fromLatin1(file.readAll());
    text.remove(QRegularExpression(QStringLiteral("#[^\n]*")));
    return QByteArray::fromHex(text.toLatin1());
}

void put16(QByteArray &bytes, int at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put32(QByteArray &bytes, int at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

QByteArray patched16(QByteArray bytes, int at, quint16 value)
{
    put16(bytes, at, value);
    return bytes;
}

QByteArray patched32(QByteArray bytes, int at, quint32 value)
{
    put32(bytes, at, value);
    return bytes;
}

// PNG keeps its numbers big-endian; the width sits right after the signature
// and the start of the IHDR chunk.
QByteArray withPngWidth(QByteArray png, quint32 width)
{
    qToBigEndian(width, png.data() + 16);
    return png;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray solidPng(int side, QRgb colour)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    return pngBytes(image);
}

struct Picture
{
    int width;
    int height;
    QPoint hotspot;
    QByteArray data;
};

// A cursor file laid out as the format describes: the directory, then each
// picture's bytes in order.
QByteArray cursorFile(const QVector<Picture> &pictures)
{
    QByteArray bytes(6 + 16 * pictures.size(), '\0');
    put16(bytes, 2, 2);
    put16(bytes, 4, quint16(pictures.size()));
    for (int i = 0; i < pictures.size(); ++i) {
        const Picture &picture = pictures.at(i);
        const int at = 6 + 16 * i;
        bytes[at] = char(picture.width % 256);
        bytes[at + 1] = char(picture.height % 256);
        put16(bytes, at + 4, quint16(picture.hotspot.x()));
        put16(bytes, at + 6, quint16(picture.hotspot.y()));
        put32(bytes, at + 8, quint32(picture.data.size()));
        put32(bytes, at + 12, quint32(bytes.size()));
        bytes += picture.data;
    }
    return bytes;
}

// Alpha 0 pixels are stored black, so only those come back unchanged.
QImage pattern(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = (x + 2 * y) % 5 == 0 ? 0 : (x * 37 + y * 11) % 256;
            image.setPixel(x, y, alpha == 0 ? 0 : qRgba(x * 7 % 256, y * 13 % 256, 90, alpha));
        }
    }
    return image;
}

QVector<QRgb> pixels(const QImage &image)
{
    QVector<QRgb> result;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            result.append(image.pixel(x, y));
    }
    return result;
}

} // namespace

class TestCursorFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readsHandBuiltFiles_data();
    void readsHandBuiltFiles();
    void readsPngEntry();
    void choosesPictureNearest32_data();
    void choosesPictureNearest32();
    void roundTrip_data();
    void roundTrip();
    void maskMatchesAlpha();
    void rejectsMalformedFiles_data();
    void rejectsMalformedFiles();
    void unreadableFiles_data();
    void unreadableFiles();
    void failedWritesKeepTheOldFile_data();
    void failedWritesKeepTheOldFile();
    void builtPointerLoads();

private:
    QString store(const QByteArray &bytes);

    QScopedPointer<QTemporaryDir> m_dir;
};

void TestCursorFile::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString TestCursorFile::store(const QByteArray &bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("test.cur"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestCursorFile::readsHandBuiltFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("hotspot");
    QTest::addColumn<QVector<QRgb>>("expected");

    const QRgb clear = qRgba(0, 0, 0, 0);
    const QRgb black = qRgb(0, 0, 0);
    const QRgb orange = qRgb(255, 128, 48);
    QTest::newRow("1 bit") << QStringLiteral("onebit-3x2") << QSize(3, 2) << QPoint(1, 0)
                           << QVector<QRgb>{orange, clear, black, black, orange, black};
    QTest::newRow("4 bit") << QStringLiteral("fourbit-3x1") << QSize(3, 1) << QPoint(2, 0)
                           << QVector<QRgb>{qRgb(255, 255, 255), qRgb(255, 0, 0), black};
    QTest::newRow("8 bit") << QStringLiteral("eightbit-2x1") << QSize(2, 1) << QPoint(0, 0)
                           << QVector<QRgb>{qRgb(250, 200, 100), qRgb(30, 20, 10)};
    QTest::newRow("24 bit") << QStringLiteral("truecolour-3x2") << QSize(3, 2) << QPoint(1, 1)
                            << QVector<QRgb>{qRgb(255, 0, 0), qRgb(0, 255, 0), clear,
                                             qRgb(1, 2, 3),   qRgb(4, 5, 6),   qRgb(7, 8, 9)};
    QTest::newRow("32 bit alpha") << QStringLiteral("alpha-2x2") << QSize(2, 2) << QPoint(0, 1)
                                  << QVector<QRgb>{clear, qRgba(0, 255, 0, 64), qRgb(255, 0, 0),
                                                   qRgba(0, 0, 255, 128)};
    QTest::newRow("32 bit mask only")
        << QStringLiteral("maskonly-2x2") << QSize(2, 2) << QPoint(1, 0)
        << QVector<QRgb>{clear, qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 255)};
}

void TestCursorFile::readsHandBuiltFiles()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QPoint, hotspot);
    QFETCH(QVector<QRgb>, expected);

    const CursorImage cursor = readCursorFile(store(fixture(name)));
    QCOMPARE(cursor.image.format(), QImage::Format_ARGB32);
    QCOMPARE(cursor.image.size(), size);
    QCOMPARE(cursor.hotspot, hotspot);
    QCOMPARE(pixels(cursor.image), expected);
}

void TestCursorFile::readsPngEntry()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(10, 20, 30, 255));
    image.setPixel(1, 0, qRgba(0, 0, 0, 0));
    image.setPixel(2, 0, qRgba(200, 100, 50, 128));
    image.setPixel(0, 1, qRgba(1, 2, 3, 4));
    image.setPixel(1, 1, qRgba(255, 255, 255, 255));
    image.setPixel(2, 1, qRgba(9, 9, 9, 200));

    const CursorImage cursor =
        readCursorFile(store(cursorFile({{3, 2, QPoint(2, 1), pngBytes(image)}})));
    QCOMPARE(cursor.image.format(), QImage::Format_ARGB32);
    QCOMPARE(pixels(cursor.image), pixels(image));
    QCOMPARE(cursor.hotspot, QPoint(2, 1));
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
    QTest::newRow("single picture") << QVector<int>{256} << 0;
}

void TestCursorFile::choosesPictureNearest32()
{
    QFETCH(QVector<int>, sides);
    QFETCH(int, chosen);

    QVector<Picture> pictures;
    for (int i = 0; i < sides.size(); ++i) {
        const int side = sides.at(i);
        pictures.append({side, side, QPoint(i, i), solidPng(side, qRgb(i * 40, 0, 0))});
    }
    const CursorImage cursor = readCursorFile(store(cursorFile(pictures)));
    QCOMPARE(cursor.image.width(), sides.at(chosen));
    QCOMPARE(cursor.image.pixel(0, 0), qRgb(chosen * 40, 0, 0));
    QCOMPARE(cursor.hotspot, QPoint(chosen, chosen));
}

void TestCursorFile::roundTrip_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("hotspot");

    QTest::newRow("pointer") << QSize(32, 32) << QPoint(2, 3);
    QTest::newRow("mask rows padded") << QSize(33, 7) << QPoint(32, 6);
    QTest::newRow("one pixel") << QSize(1, 1) << QPoint(0, 0);
    QTest::newRow("largest") << QSize(256, 256) << QPoint(255, 128);
    QTest::newRow("wide") << QSize(256, 3) << QPoint(100, 2);
}

void TestCursorFile::roundTrip()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, hotspot);

    const QString path = m_dir->filePath(QStringLiteral("round.cur"));
    const QImage image = pattern(size);
    writeCursorFile(path, image, hotspot);
    const CursorImage cursor = readCursorFile(path);
    QCOMPARE(cursor.image.size(), size);
    QCOMPARE(cursor.hotspot, hotspot);
    QCOMPARE(pixels(cursor.image), pixels(image));
}

void TestCursorFile::maskMatchesAlpha()
{
    // Programs that ignore alpha must see the same outline: with every alpha
    // byte cleared, the mask alone has to give back the same shape. Colour
    // under see-through pixels would make such programs invert the screen.
    const QSize size(33, 5);
    const QString path = m_dir->filePath(QStringLiteral("mask.cur"));
    QImage image = pattern(size);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                image.setPixel(x, y, qRgba(200, 10, 10, 0));
        }
    }
    writeCursorFile(path, image, QPoint(0, 0));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const int colours = 6 + 16 + 40;
    for (int i = 0; i < size.width() * size.height(); ++i)
        bytes[colours + 4 * i + 3] = 0;

    const CursorImage cursor = readCursorFile(store(bytes));
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const QRgb opaque = qAlpha(pixel) == 0 ? 0 : (pixel | 0xff000000);
            QCOMPARE(cursor.image.pixel(x, y), opaque);
        }
    }
}

void TestCursorFile::rejectsMalformedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");

    // Offsets into onebit-3x2: directory entry at 6, bitmap header at 22.
    const QByteArray good = fixture(QStringLiteral("onebit-3x2"));
    const QByteArray png = solidPng(4, qRgb(1, 2, 3));

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut short") << good.left(4);
    QTest::newRow("icon, not cursor") << patched16(good, 2, 1);
    QTest::newRow("reserved not zero") << patched16(good, 0, 1);
    QTest::newRow("zero count") << patched16(good, 4, 0);
    QTest::newRow("entry cut short") << good.left(6 + 10);
    QTest::newRow("more entries than the file holds") << patched16(good, 4, 9);
    QTest::newRow("size past the end") << patched32(good, 14, 0x7fffffff);
    QTest::newRow("offset plus size wraps") << patched32(patched32(good, 18, 0xfffffff0), 14, 0x20);
    QTest::newRow("bitmap cut short") << patched32(good, 14, 63);
    QTest::newRow("bitmap header cut short") << patched32(good, 14, 20);
    QTest::newRow("header size too small") << patched32(good, 22, 12);
    QTest::newRow("header size absurd") << patched32(good, 22, 0xffffffff);
    QTest::newRow("width absurd") << patched32(good, 26, 100000);
    QTest::newRow("width negative") << patched32(good, 26, quint32(-3));
    QTest::newRow("height top down") << patched32(good, 30, quint32(-4));
    QTest::newRow("16 bits per pixel") << patched16(good, 36, 16);
    QTest::newRow("compressed") << patched32(good, 38, 1);
    QTest::newRow("palette larger than the bits allow") << patched32(good, 54, 3);
    QTest::newRow("colour outside the palette")
        << patched32(fixture(QStringLiteral("fourbit-3x1")), 22 + 40 + 12, 0x2f);
    QTest::newRow("hotspot outside") << patched16(good, 10, 3);
    QTest::newRow("png damaged") << cursorFile({{4, 4, QPoint(), png.left(40)}});
    QTest::newRow("png cut before its size") << cursorFile({{4, 4, QPoint(), png.left(18)}});
    QTest::newRow("png absurd size") << cursorFile({{4, 4, QPoint(), withPngWidth(png, 60000)}});
}

void TestCursorFile::rejectsMalformedFiles()
{
    QFETCH(QByteArray, bytes);

    const QString path = store(bytes);
    try {
        readCursorFile(path);
        QFAIL("a malformed file was accepted");
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), FileError::Kind::BadFormat);
        QCOMPARE(error.path(), path);
    }
}

void TestCursorFile::unreadableFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<FileError::Kind>("failure");
    QTest::newRow("missing") << "missing" << FileError::Kind::NotFound;
    QTest::newRow("folder") << "folder" << FileError::Kind::ReadFailed;
    QTest::newRow("oversized") << "oversized" << FileError::Kind::BadFormat;
}

void TestCursorFile::unreadableFiles()
{
    QFETCH(QString, kind);
    QFETCH(FileError::Kind, failure);
    QString path = m_dir->filePath(QStringLiteral("absent.cur"));
    if (kind == QLatin1String("folder"))
        path = m_dir->path();
    if (kind == QLatin1String("oversized"))
        path = store(fixture(QStringLiteral("onebit-3x2")) + QByteArray(8 << 20, '\0'));
    try {
        readCursorFile(path);
        QFAIL("an unreadable file was read");
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), failure);
        QCOMPARE(error.path(), path);
    }
}

void TestCursorFile::failedWritesKeepTheOldFile_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QPoint>("hotspot");
    QTest::addColumn<QString>("where"); // "full": on a full disk, else a folder to write in

    const QImage fit = pattern(QSize(4, 4));
    QTest::newRow("null image") << QImage() << QPoint(0, 0) << QString();
    QTest::newRow("too wide") << pattern(QSize(257, 4)) << QPoint(0, 0) << QString();
    QTest::newRow("too tall") << pattern(QSize(4, 300)) << QPoint(0, 0) << QString();
    QTest::newRow("hotspot right of the image") << fit << QPoint(4, 0) << QString();
    QTest::newRow("hotspot above the image") << fit << QPoint(0, -1) << QString();
    QTest::newRow("disk full") << fit << QPoint(0, 0) << QStringLiteral("full");
    QTest::newRow("no such folder") << fit << QPoint(0, 0) << QStringLiteral("no such folder");
}

void TestCursorFile::failedWritesKeepTheOldFile()
{
    QFETCH(QImage, image);
    QFETCH(QPoint, hotspot);
    QFETCH(QString, where);
    const QString old = store(fixture(QStringLiteral("onebit-3x2")));
    const QString path = where.startsWith(QLatin1String("no"))
                             ? m_dir->filePath(where + QStringLiteral("/pointer.cur"))
                             : old;
    try {
        ZORVINA_FILL_DISK_IF(where == QLatin1String("full"));
        writeCursorFile(path, image, hotspot);
        QFAIL("the write succeeded");
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), FileError::Kind::WriteFailed);
        QCOMPARE(error.path(), path);
    }
    QCOMPARE(readCursorFile(old).image.size(), QSize(3, 2));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("test.cur")});
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
