#include "cursorfile.h"
#include "fileerror.h"
#include "fulldisk.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVector>
#include <QtEndian>
#include <QtTest>

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

template <typename T> QByteArray patched(QByteArray bytes, int at, T value)
{
    qToLittleEndian(value, bytes.data() + at);
    return bytes;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
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
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(2) << quint16(pictures.size());
    quint32 offset = 6 + 16 * pictures.size();
    for (const Picture &picture : pictures) {
        out << quint8(picture.width % 256) << quint8(picture.height % 256) << quint16(0)
            << quint16(picture.hotspot.x()) << quint16(picture.hotspot.y())
            << quint32(picture.data.size()) << offset;
        offset += picture.data.size();
    }
    for (const Picture &picture : pictures)
        out.writeRawData(picture.data.constData(), int(picture.data.size()));
    return bytes;
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

    // PNG pictures, as newer cursor files hold them.
    QVector<Picture> pictures;
    for (int i = 0; i < sides.size(); ++i)
        pictures.append(
            {sides[i], sides[i], QPoint(i, i), pngBytes(pattern({sides[i], sides[i]}))});
    const CursorImage cursor = readCursorFile(store(cursorFile(pictures)));
    QCOMPARE(cursor.image.format(), QImage::Format_ARGB32);
    QCOMPARE(pixels(cursor.image), pixels(pattern({sides[chosen], sides[chosen]})));
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

    const QString path = m_dir->filePath(QStringLiteral("round.cur"));
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
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    for (int i = 0; i < size.width() * size.height(); ++i)
        bytes[6 + 16 + 40 + 4 * i + 3] = 0; // after the directory and the bitmap header
    QCOMPARE(pixels(readCursorFile(store(bytes)).image), opaque);
}

void TestCursorFile::rejectsMalformedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");

    // Offsets into onebit-3x2: directory entry at 6, bitmap header at 22.
    const QByteArray good = fixture(QStringLiteral("onebit-3x2"));
    const QByteArray png = pngBytes(pattern(QSize(4, 4)));

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut short") << good.left(4);
    QTest::newRow("icon, not cursor") << patched<quint16>(good, 2, 1);
    QTest::newRow("reserved not zero") << patched<quint16>(good, 0, 1);
    QTest::newRow("zero count") << patched<quint16>(good, 4, 0);
    QTest::newRow("entry cut short") << good.left(6 + 10);
    QTest::newRow("more entries than the file holds") << patched<quint16>(good, 4, 9);
    QTest::newRow("size past the end") << patched<quint32>(good, 14, 0x7fffffff);
    QTest::newRow("offset plus size wraps")
        << patched<quint32>(patched<quint32>(good, 18, 0xfffffff0), 14, 0x20);
    QTest::newRow("bitmap cut short") << patched<quint32>(good, 14, 63);
    QTest::newRow("bitmap header cut short") << patched<quint32>(good, 14, 20);
    QTest::newRow("header size too small") << patched<quint32>(good, 22, 12);
    QTest::newRow("header size absurd") << patched<quint32>(good, 22, 0xffffffff);
    QTest::newRow("width absurd") << patched<quint32>(good, 26, 100000);
    QTest::newRow("width negative") << patched<quint32>(good, 26, quint32(-3));
    QTest::newRow("height top down") << patched<quint32>(good, 30, quint32(-4));
    QTest::newRow("16 bits per pixel") << patched<quint16>(good, 36, 16);
    QTest::newRow("compressed") << patched<quint32>(good, 38, 1);
    QTest::newRow("palette larger than the bits allow") << patched<quint32>(good, 54, 3);
    QTest::newRow("colour outside the palette")
        << patched<quint32>(fixture(QStringLiteral("fourbit-3x1")), 22 + 40 + 12, 0x2f);
    QTest::newRow("hotspot outside") << patched<quint16>(good, 10, 3);
    QTest::newRow("png damaged") << cursorFile({{4, 4, QPoint(), png.left(40)}});
    QTest::newRow("png cut before its size") << cursorFile({{4, 4, QPoint(), png.left(18)}});
    // PNG keeps its numbers big-endian; the width follows the signature and
    // the start of the IHDR chunk.
    QTest::newRow("png absurd size") << cursorFile(
        {{4, 4, QPoint(), png.left(16) + QByteArray::fromHex("0000EA60") + png.mid(20)}});
    QTest::newRow("oversized") << good + QByteArray(8 << 20, '\0');
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

void TestCursorFile::failedWritesKeepTheOldFile_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QPoint>("hotspot");
    QTest::addColumn<bool>("diskFull");

    const QImage fit = pattern(QSize(4, 4));
    QTest::newRow("null image") << QImage() << QPoint(0, 0) << false;
    QTest::newRow("too wide") << pattern(QSize(257, 4)) << QPoint(0, 0) << false;
    QTest::newRow("too tall") << pattern(QSize(4, 300)) << QPoint(0, 0) << false;
    QTest::newRow("hotspot right of the image") << fit << QPoint(4, 0) << false;
    QTest::newRow("hotspot above the image") << fit << QPoint(0, -1) << false;
    QTest::newRow("disk full") << fit << QPoint(0, 0) << true;
}

void TestCursorFile::failedWritesKeepTheOldFile()
{
    QFETCH(QImage, image);
    QFETCH(QPoint, hotspot);
    QFETCH(bool, diskFull);
    const QString path = store(fixture(QStringLiteral("onebit-3x2")));
    try {
        ZORVINA_FILL_DISK_IF(diskFull);
        writeCursorFile(path, image, hotspot);
        QFAIL("the write succeeded");
    } catch (const FileError &error) {
        QCOMPARE(error.kind(), FileError::Kind::WriteFailed);
        QCOMPARE(error.path(), path);
    }
    QCOMPARE(readCursorFile(path).image.size(), QSize(3, 2));
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
