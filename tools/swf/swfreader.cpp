// SPDX-License-Identifier: GPL-3.0-or-later
#include "swfreader.h"
#include "swferror.h"

#include <zlib.h>

namespace {

SwfError truncated()
{
    return SwfError(QStringLiteral("the movie ends too early"));
}

QByteArray zlibUncompress(const QByteArray &data, quint32 size)
{
    QByteArray out(int(size), Qt::Uninitialized);
    uLongf outSize = size;
    const int result =
        uncompress(reinterpret_cast<Bytef *>(out.data()), &outSize,
                   reinterpret_cast<const Bytef *>(data.constData()), uLong(data.size()));
    if (result != Z_OK || outSize != size)
        throw SwfError(QStringLiteral("the compressed movie is damaged"));
    return out;
}

QRect readRect(BitReader &in)
{
    const int bits = int(in.readUB(5));
    const qint32 xMin = in.readSB(bits);
    const qint32 xMax = in.readSB(bits);
    const qint32 yMin = in.readSB(bits);
    const qint32 yMax = in.readSB(bits);
    in.align();
    return QRect(QPoint(xMin, yMin), QPoint(xMax, yMax));
}

Rgba readRgba(BitReader &in)
{
    Rgba color;
    color.r = in.readU8();
    color.g = in.readU8();
    color.b = in.readU8();
    color.a = in.readU8();
    return color;
}

int readStyleCount(BitReader &in)
{
    const int count = in.readU8();
    return count == 0xff ? in.readU16() : count;
}

Matrix readMatrix(BitReader &in)
{
    Matrix matrix;
    if (in.readUB(1)) {
        const int bits = int(in.readUB(5));
        matrix.scaleX = in.readSB(bits) / 65536.0;
        matrix.scaleY = in.readSB(bits) / 65536.0;
    }
    if (in.readUB(1)) {
        const int bits = int(in.readUB(5));
        matrix.skew0 = in.readSB(bits) / 65536.0;
        matrix.skew1 = in.readSB(bits) / 65536.0;
    }
    const int bits = int(in.readUB(5));
    const double dx = in.readSB(bits) / 20.0;
    const double dy = in.readSB(bits) / 20.0;
    matrix.translate = QPointF(dx, dy);
    in.align();
    return matrix;
}

} // namespace

quint32 BitReader::readUB(int bits)
{
    if (bits < 0 || bits > 32)
        throw SwfError(QStringLiteral("bad bit count %1").arg(bits));
    quint32 value = 0;
    for (int i = 0; i < bits; ++i) {
        if (m_pos >= m_bytes.size())
            throw truncated();
        const int bit = (quint8(m_bytes[m_pos]) >> (7 - m_bitPos)) & 1;
        value = (value << 1) | quint32(bit);
        if (++m_bitPos == 8) {
            m_bitPos = 0;
            ++m_pos;
        }
    }
    return value;
}

qint32 BitReader::readSB(int bits)
{
    const quint32 value = readUB(bits);
    if (bits == 0 || bits == 32)
        return qint32(value);
    const quint32 sign = 1u << (bits - 1);
    return qint32((value ^ sign) - sign);
}

void BitReader::align()
{
    if (m_bitPos > 0) {
        m_bitPos = 0;
        ++m_pos;
    }
}

quint8 BitReader::readU8()
{
    align();
    if (m_pos >= m_bytes.size())
        throw truncated();
    return quint8(m_bytes[m_pos++]);
}

quint16 BitReader::readU16()
{
    const quint16 low = readU8();
    return quint16(low | (readU8() << 8));
}

quint32 BitReader::readU32()
{
    const quint32 low = readU16();
    return low | (quint32(readU16()) << 16);
}

QByteArray BitReader::readBytes(int count)
{
    align();
    if (count < 0 || count > bytesLeft())
        throw truncated();
    const QByteArray bytes = m_bytes.mid(m_pos, count);
    m_pos += count;
    return bytes;
}

QByteArray BitReader::readString()
{
    align();
    const int end = int(m_bytes.indexOf('\0', m_pos));
    if (end < 0)
        throw truncated();
    const QByteArray text = m_bytes.mid(m_pos, end - m_pos);
    m_pos = end + 1;
    return text;
}

SwfMovie readSwf(const QByteArray &file)
{
    if (file.size() < 8 || !(file.startsWith("FWS") || file.startsWith("CWS")))
        throw SwfError(QStringLiteral("not a movie file"));
    BitReader header(file.left(8));
    SwfMovie movie;
    movie.compressed = file[0] == 'C';
    header.readBytes(3);
    movie.version = header.readU8();
    movie.fileLength = header.readU32();
    if (movie.fileLength < 8 || movie.fileLength > 256u * 1024 * 1024)
        throw SwfError(QStringLiteral("the movie declares a bad length"));
    const QByteArray rest =
        movie.compressed ? zlibUncompress(file.mid(8), movie.fileLength - 8) : file.mid(8);
    if (quint32(rest.size()) + 8 != movie.fileLength)
        throw SwfError(QStringLiteral("the movie's length does not match its header"));

    BitReader in(rest);
    movie.frameTwips = readRect(in);
    movie.frameRate = in.readU16() / 256.0;
    movie.frameCount = in.readU16();
    while (movie.tags.isEmpty() || movie.tags.last().code != SwfTag::End) {
        const quint16 codeAndLength = in.readU16();
        SwfRecord tag;
        tag.code = codeAndLength >> 6;
        quint32 length = codeAndLength & 0x3f;
        if (length == 0x3f) {
            tag.longHeader = true;
            length = in.readU32();
        }
        if (length > quint32(in.bytesLeft()))
            throw truncated();
        tag.body = in.readBytes(int(length));
        movie.tags.append(tag);
    }
    if (in.bytesLeft() != 0)
        throw SwfError(QStringLiteral("data follows the end of the movie"));
    return movie;
}

SwfShape decodeShape(const QByteArray &body)
{
    BitReader in(body);
    SwfShape shape;
    shape.id = in.readU16();
    shape.boundsTwips = readRect(in);
    const int fillCount = readStyleCount(in);
    for (int i = 0; i < fillCount; ++i) {
        if (in.readU8() != 0x00)
            throw SwfError(QStringLiteral("only solid fills are read"));
        shape.fills.append(readRgba(in));
    }
    const int lineCount = readStyleCount(in);
    for (int i = 0; i < lineCount; ++i) {
        shape.lineWidths.append(in.readU16());
        shape.lineColors.append(readRgba(in));
    }
    int fillBits = int(in.readUB(4));
    int lineBits = int(in.readUB(4));
    QPoint pen;
    SwfShapeFigure figure;
    bool open = false;
    for (;;) {
        if (in.readUB(1) == 0) {
            const quint32 flags = in.readUB(5);
            if (flags == 0)
                break;
            if (flags & 0x10)
                throw SwfError(QStringLiteral("new style arrays are not read"));
            if (open)
                shape.figures.append(figure);
            figure.edges.clear();
            open = true;
            if (flags & 0x01) {
                const int bits = int(in.readUB(5));
                const qint32 x = in.readSB(bits);
                pen = QPoint(x, in.readSB(bits));
            }
            if (flags & 0x02)
                figure.fillStyle0 = int(in.readUB(fillBits));
            if (flags & 0x04)
                figure.fillStyle1 = int(in.readUB(fillBits));
            if (flags & 0x08)
                figure.lineStyle = int(in.readUB(lineBits));
            figure.start = pen;
            continue;
        }
        if (!open)
            throw SwfError(QStringLiteral("an edge comes before any move"));
        SwfShapeEdge edge;
        const bool straight = in.readUB(1);
        const int bits = int(in.readUB(4)) + 2;
        if (straight) {
            QPoint delta;
            if (in.readUB(1)) {
                const qint32 dx = in.readSB(bits);
                delta = QPoint(dx, in.readSB(bits));
            } else if (in.readUB(1)) {
                delta = QPoint(0, in.readSB(bits));
            } else {
                delta = QPoint(in.readSB(bits), 0);
            }
            edge.end = pen + delta;
        } else {
            edge.curved = true;
            const qint32 cx = in.readSB(bits);
            const qint32 cy = in.readSB(bits);
            const qint32 ax = in.readSB(bits);
            const qint32 ay = in.readSB(bits);
            edge.control = pen + QPoint(cx, cy);
            edge.end = edge.control + QPoint(ax, ay);
        }
        pen = edge.end;
        figure.edges.append(edge);
    }
    if (open)
        shape.figures.append(figure);
    in.align();
    if (in.bytesLeft() != 0)
        throw SwfError(QStringLiteral("data follows the end of a shape"));
    return shape;
}

SwfPlacement decodePlacement(const QByteArray &body)
{
    BitReader in(body);
    SwfPlacement placement;
    const quint8 flags = in.readU8();
    if (flags & 0xb8)
        throw SwfError(QStringLiteral("placement fields that are not read"));
    placement.move = flags & 0x01;
    placement.depth = in.readU16();
    if (flags & 0x02)
        placement.characterId = in.readU16();
    placement.hasMatrix = flags & 0x04;
    if (placement.hasMatrix)
        placement.matrix = readMatrix(in);
    if (flags & 0x40)
        placement.clipDepth = in.readU16();
    if (in.bytesLeft() != 0)
        throw SwfError(QStringLiteral("data follows the end of a placement"));
    return placement;
}
