// SPDX-License-Identifier: GPL-3.0-or-later
#include "cursorfile.h"

#include "fileerror.h"
#include "fileops.h"

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QString>
#include <QVector>
#include <QtEndian>
#include <cstdlib>

namespace {

// Real pointer files are a few kilobytes; anything far larger is not one, and
// reading it whole would only waste memory.
const qint64 maxFileSize = 4 * 1024 * 1024;
const int maxSide = 256;
const int directorySize = 6;
const int entrySize = 16;
const int infoHeaderSize = 40;
const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);

// Thrown while parsing; readCursorFile adds the path.
struct Malformed
{
    QString detail;
};

struct Entry
{
    int width = 0;
    int height = 0;
    QPoint hotspot;
    qint64 size = 0;
    qint64 offset = 0;
};

// Little-endian fields of a byte block; every read is checked against its end.
class Fields
{
public:
    explicit Fields(const QByteArray &data) : m_data(data) {}

    qint64 size() const { return m_data.size(); }
    quint8 u8(qint64 at) const { return quint8(m_data.at(require(at, 1))); }
    quint16 u16(qint64 at) const { return qFromLittleEndian<quint16>(pointer(at, 2)); }
    quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(pointer(at, 4)); }
    qint32 s32(qint64 at) const { return qFromLittleEndian<qint32>(pointer(at, 4)); }
    quint32 u32BigEndian(qint64 at) const { return qFromBigEndian<quint32>(pointer(at, 4)); }
    QByteArray mid(qint64 at, qint64 length) const
    {
        return m_data.mid(require(at, length), length);
    }

private:
    qint64 require(qint64 at, qint64 length) const
    {
        if (at < 0 || length < 0 || at + length > m_data.size())
            throw Malformed{QStringLiteral("文件不完整")};
        return at;
    }
    const char *pointer(qint64 at, qint64 length) const
    {
        return m_data.constData() + require(at, length);
    }

    const QByteArray &m_data;
};

int side(quint8 stored)
{
    // A side of 256 does not fit in the byte and is stored as 0.
    return stored == 0 ? maxSide : stored;
}

QVector<Entry> readDirectory(const Fields &file)
{
    if (file.size() < directorySize)
        throw Malformed{QStringLiteral("文件太短")};
    if (file.u16(0) != 0 || file.u16(2) != 2)
        throw Malformed{QStringLiteral("不是光标文件")};
    const int count = file.u16(4);
    if (count == 0)
        throw Malformed{QStringLiteral("文件里没有图像")};
    QVector<Entry> entries;
    for (int i = 0; i < count; ++i) {
        const qint64 at = directorySize + qint64(i) * entrySize;
        Entry entry;
        entry.width = side(file.u8(at));
        entry.height = side(file.u8(at + 1));
        entry.hotspot = QPoint(file.u16(at + 4), file.u16(at + 6));
        entry.size = file.u32(at + 8);
        entry.offset = file.u32(at + 12);
        if (entry.offset + entry.size > file.size())
            throw Malformed{QStringLiteral("图像数据超出文件末尾")};
        entries.append(entry);
    }
    return entries;
}

Entry nearestTo32(const QVector<Entry> &entries)
{
    auto distance = [](const Entry &e) { return std::abs(e.width - 32) + std::abs(e.height - 32); };
    Entry best = entries.first();
    for (const Entry &entry : entries) {
        if (distance(entry) < distance(best))
            best = entry;
    }
    return best;
}

void checkSize(qint64 width, qint64 height)
{
    if (width < 1 || width > maxSide || height < 1 || height > maxSide)
        throw Malformed{QStringLiteral("图像尺寸不对")};
}

QImage decodePng(const QByteArray &block)
{
    // Look at the declared size before decoding so a hostile file cannot make
    // the decoder allocate a huge picture.
    const Fields png(block);
    checkSize(png.u32BigEndian(16), png.u32BigEndian(20));
    QImage image;
    if (!image.loadFromData(block, "PNG"))
        throw Malformed{QStringLiteral("PNG 图像已损坏")};
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool maskBit(const Fields &dib, qint64 rowStart, int x)
{
    return dib.u8(rowStart + x / 8) & (0x80 >> (x % 8));
}

QRgb colourAt(const Fields &dib, qint64 rowStart, int x, int bitCount, const QVector<QRgb> &palette)
{
    if (bitCount >= 24) {
        const qint64 at = rowStart + qint64(x) * (bitCount / 8);
        const int alpha = bitCount == 32 ? dib.u8(at + 3) : 0;
        return qRgba(dib.u8(at + 2), dib.u8(at + 1), dib.u8(at), alpha);
    }
    const qint64 bit = qint64(x) * bitCount;
    const int shift = 8 - bitCount - int(bit % 8);
    const int index = (dib.u8(rowStart + bit / 8) >> shift) & ((1 << bitCount) - 1);
    if (index >= palette.size())
        throw Malformed{QStringLiteral("颜色不在调色板里")};
    return palette.at(index);
}

QVector<QRgb> readPalette(const Fields &dib, qint64 start, int bitCount)
{
    if (bitCount > 8)
        return {};
    const quint32 used = dib.u32(32);
    const quint32 count = used == 0 ? 1u << bitCount : used;
    if (count > 1u << bitCount)
        throw Malformed{QStringLiteral("调色板太大")};
    QVector<QRgb> palette;
    for (quint32 i = 0; i < count; ++i) {
        const qint64 at = start + qint64(i) * 4;
        palette.append(qRgb(dib.u8(at + 2), dib.u8(at + 1), dib.u8(at)));
    }
    return palette;
}

// Where the AND mask is set the colour is normally black and the pixel is
// see-through; a coloured one would invert the screen, which a picture cannot
// do, so it is drawn black to keep the pointer visible.
QRgb applyMask(QRgb colour, bool masked)
{
    if (!masked)
        return qRgba(qRed(colour), qGreen(colour), qBlue(colour), 255);
    return (colour & RGB_MASK) == 0 ? qRgba(0, 0, 0, 0) : qRgb(0, 0, 0);
}

bool hasAlpha(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
        }
    }
    return false;
}

QImage decodeDib(const QByteArray &block)
{
    const Fields dib(block);
    const quint32 headerSize = dib.u32(0);
    if (headerSize < infoHeaderSize || headerSize > block.size())
        throw Malformed{QStringLiteral("位图头不对")};
    const qint32 width = dib.s32(4);
    // The stored height counts the colour bitmap and the mask together.
    const qint32 height = dib.s32(8) / 2;
    checkSize(width, height);
    const int bitCount = dib.u16(14);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        throw Malformed{QStringLiteral("不支持的颜色位数")};
    if (dib.u32(16) != 0)
        throw Malformed{QStringLiteral("不支持压缩的位图")};

    const QVector<QRgb> palette = readPalette(dib, headerSize, bitCount);
    const qint64 colourStride = (qint64(width) * bitCount + 31) / 32 * 4;
    const qint64 maskStride = (qint64(width) + 31) / 32 * 4;
    const qint64 colourStart = headerSize + qint64(palette.size()) * 4;
    const qint64 maskStart = colourStart + colourStride * height;
    if (maskStart + maskStride * height > block.size())
        throw Malformed{QStringLiteral("位图不完整")};

    QImage colours(width, height, QImage::Format_ARGB32);
    QImage masked(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom first.
        const int row = height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const QRgb colour =
                colourAt(dib, colourStart + row * colourStride, x, bitCount, palette);
            colours.setPixel(x, y, colour);
            masked.setPixel(x, y, applyMask(colour, maskBit(dib, maskStart + row * maskStride, x)));
        }
    }
    // Old 32-bit pointers leave alpha at zero and rely on the mask alone.
    return bitCount == 32 && hasAlpha(colours) ? colours : masked;
}

CursorImage decode(const QByteArray &data)
{
    const Fields file(data);
    const Entry entry = nearestTo32(readDirectory(file));
    const QByteArray block = file.mid(entry.offset, entry.size);
    CursorImage cursor;
    cursor.image = block.startsWith(pngSignature) ? decodePng(block) : decodeDib(block);
    cursor.hotspot = entry.hotspot;
    if (!cursor.image.rect().contains(cursor.hotspot))
        throw Malformed{QStringLiteral("热点不在图像内")};
    return cursor;
}

QByteArray dibBytes(const QImage &image)
{
    const int width = image.width();
    const int height = image.height();
    const int maskStride = (width + 31) / 32 * 4;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(infoHeaderSize) << qint32(width) << qint32(height * 2) << quint16(1)
        << quint16(32) << quint32(0) << quint32((width * 4 + maskStride) * height) << qint32(0)
        << qint32(0) << quint32(0) << quint32(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            // Programs that ignore alpha combine the colour with the screen
            // where the mask is set, so see-through pixels must be black.
            const QRgb pixel = qAlpha(image.pixel(x, y)) == 0 ? 0 : image.pixel(x, y);
            out << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel))
                << quint8(qAlpha(pixel));
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < width; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), row.size());
    }
    return bytes;
}

QByteArray cursorBytes(const QImage &image, const QPoint &hotspot)
{
    const QByteArray dib = dibBytes(image);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(2) << quint16(1);
    out << quint8(image.width() % maxSide) << quint8(image.height() % maxSide) << quint8(0)
        << quint8(0) << quint16(hotspot.x()) << quint16(hotspot.y()) << quint32(dib.size())
        << quint32(directorySize + entrySize);
    return bytes + dib;
}

} // namespace

CursorImage readCursorFile(const QString &path)
{
    const QByteArray data = readRegularFile(path, maxFileSize);
    if (data.size() > maxFileSize)
        throw FileError(FileError::Kind::BadFormat, path, QStringLiteral("文件太大"));
    try {
        return decode(data);
    } catch (const Malformed &malformed) {
        throw FileError(FileError::Kind::BadFormat, path, malformed.detail);
    }
}

void writeCursorFile(const QString &path, const QImage &image, const QPoint &hotspot)
{
    if (image.isNull() || image.width() > maxSide || image.height() > maxSide ||
        !image.rect().contains(hotspot))
        throw FileError(FileError::Kind::WriteFailed, path, QStringLiteral("光标图像不合适"));
    replaceFile(path, cursorBytes(image.convertToFormat(QImage::Format_ARGB32), hotspot));
}
