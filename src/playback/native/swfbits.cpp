// SPDX-License-Identifier: GPL-3.0-or-later
#include "swfbits.h"

#include <zlib.h>

#include <cstring>

namespace swf {

void refuse(const QString &reason)
{
    throw Refusal{reason};
}

void Reader::need(qsizetype count) const
{
    if (count < 0 || count > m_size - m_pos)
        refuse(QStringLiteral("a record runs past the end of its tag"));
}

void Reader::align()
{
    if (m_bitPos == 0)
        return;
    m_bitPos = 0;
    ++m_pos;
}

quint32 Reader::ubNearEnd(int bits)
{
    if (bits == 0)
        return 0;
    if (bits < 0 || bits > 32)
        refuse(QStringLiteral("a bit field of %1 bits").arg(bits));
    const int end = m_bitPos + bits; // in bits from m_data[m_pos]
    const int count = (end + 7) / 8;
    need(count);
    const auto *p = reinterpret_cast<const uchar *>(m_data + m_pos);
    quint64 window = 0;
    for (int i = 0; i < count; ++i)
        window = (window << 8) | p[i];
    const quint64 value = (window >> (count * 8 - end)) & ((quint64(1) << bits) - 1);
    m_pos += end / 8;
    m_bitPos = end % 8;
    return quint32(value);
}

qint32 Reader::sb(int bits)
{
    if (bits == 0)
        return 0;
    const quint32 raw = ub(bits);
    if (bits < 32 && (raw & (1u << (bits - 1))))
        return qint32(raw | ~((1u << bits) - 1));
    return qint32(raw);
}

quint8 Reader::u8()
{
    align();
    need(1);
    return quint8(m_data[m_pos++]);
}

quint16 Reader::u16()
{
    align();
    need(2);
    const auto *p = reinterpret_cast<const uchar *>(m_data + m_pos);
    m_pos += 2;
    return quint16(p[0] | (p[1] << 8));
}

quint32 Reader::u32()
{
    align();
    need(4);
    const auto *p = reinterpret_cast<const uchar *>(m_data + m_pos);
    m_pos += 4;
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

Reader Reader::take(qsizetype count)
{
    align();
    need(count);
    Reader part(m_data + m_pos, count);
    m_pos += count;
    return part;
}

QByteArray Reader::bytes(qsizetype count)
{
    align();
    need(count);
    QByteArray result(m_data + m_pos, count);
    m_pos += count;
    return result;
}

void Reader::skip(qsizetype count)
{
    align();
    need(count);
    m_pos += count;
}

QByteArray Reader::string()
{
    align();
    const void *end = std::memchr(m_data + m_pos, 0, size_t(m_size - m_pos));
    if (!end)
        refuse(QStringLiteral("a string runs past the end of its tag"));
    const qsizetype length = static_cast<const char *>(end) - (m_data + m_pos);
    QByteArray result(m_data + m_pos, length);
    m_pos += length + 1;
    return result;
}

void Reader::seek(qsizetype position)
{
    if (position < 0 || position > m_size)
        refuse(QStringLiteral("an offset points outside its tag"));
    m_pos = position;
    m_bitPos = 0;
}

QRectF Reader::rect()
{
    align();
    const int bits = int(ub(5));
    const qint32 xMin = sb(bits), xMax = sb(bits), yMin = sb(bits), yMax = sb(bits);
    align();
    return QRectF(QPointF(xMin, yMin), QPointF(xMax, yMax));
}

QTransform Reader::matrix()
{
    align();
    double scaleX = 1, scaleY = 1, skew0 = 0, skew1 = 0;
    if (flag()) {
        const int bits = int(ub(5));
        scaleX = sb(bits) / 65536.0;
        scaleY = sb(bits) / 65536.0;
    }
    if (flag()) {
        const int bits = int(ub(5));
        skew0 = sb(bits) / 65536.0;
        skew1 = sb(bits) / 65536.0;
    }
    const int bits = int(ub(5));
    const qint32 dx = sb(bits), dy = sb(bits);
    align();
    return QTransform(scaleX, skew0, skew1, scaleY, dx, dy);
}

ColorTransform Reader::colorTransform(bool withAlpha)
{
    align();
    const bool hasAdd = flag();
    const bool hasMult = flag();
    const int bits = int(ub(4));
    ColorTransform result;
    if (hasMult) {
        result.rMult = sb(bits) / 256.0f;
        result.gMult = sb(bits) / 256.0f;
        result.bMult = sb(bits) / 256.0f;
        if (withAlpha)
            result.aMult = sb(bits) / 256.0f;
    }
    if (hasAdd) {
        result.rAdd = float(sb(bits));
        result.gAdd = float(sb(bits));
        result.bAdd = float(sb(bits));
        if (withAlpha)
            result.aAdd = float(sb(bits));
    }
    align();
    return result;
}

QColor Reader::rgb()
{
    const int r = u8(), g = u8(), b = u8();
    return QColor(r, g, b);
}

QColor Reader::rgba()
{
    const int r = u8(), g = u8(), b = u8(), a = u8();
    return QColor(r, g, b, a);
}

QByteArray inflateBounded(const char *data, qsizetype size, qsizetype limit, const QString &what)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        refuse(QStringLiteral("%1: the inflater could not start").arg(what));
    // Grow as the data proves to be there, so a small file claiming a large
    // size costs nothing until it delivers.
    QByteArray out;
    qsizetype produced = 0;
    qsizetype inLeft = size;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    int status = Z_OK;
    while (produced < limit) {
        if (produced == out.size())
            out.resize(qMin<qsizetype>(limit, qMax<qsizetype>(out.size() * 2, 64 * 1024)));
        const uInt inChunk = uInt(qMin<qsizetype>(inLeft, 1 << 30));
        const uInt outChunk = uInt(qMin<qsizetype>(out.size() - produced, 1 << 30));
        stream.avail_in = inChunk;
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + produced);
        stream.avail_out = outChunk;
        status = inflate(&stream, Z_NO_FLUSH);
        inLeft -= inChunk - stream.avail_in;
        produced += outChunk - stream.avail_out;
        if (status != Z_OK)
            break;
    }
    inflateEnd(&stream);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
        refuse(QStringLiteral("%1: the compressed data is damaged").arg(what));
    if (produced < limit)
        refuse(QStringLiteral("%1: the compressed data ends early").arg(what));
    out.resize(produced);
    return out;
}

} // namespace swf
