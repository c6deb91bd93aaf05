// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitwriter.h"
#include "swferror.h"

#include <algorithm>

void BitWriter::writeUB(quint32 value, int bits)
{
    if (bits < 0 || bits > 32 || (bits < 32 && (quint64(value) >> bits) != 0))
        throw SwfError(
            QStringLiteral("value %1 does not fit in %2 unsigned bits").arg(value).arg(bits));
    for (int i = bits - 1; i >= 0; --i) {
        m_partial = quint8((m_partial << 1) | ((value >> i) & 1u));
        if (++m_partialBits == 8) {
            m_bytes.append(char(m_partial));
            m_partial = 0;
            m_partialBits = 0;
        }
    }
}

void BitWriter::writeSB(qint32 value, int bits)
{
    if (bits < signedBits(value) || bits > 32)
        throw SwfError(
            QStringLiteral("value %1 does not fit in %2 signed bits").arg(value).arg(bits));
    const quint32 mask = bits == 32 ? 0xffffffffu : (1u << bits) - 1u;
    writeUB(quint32(value) & mask, bits);
}

void BitWriter::align()
{
    if (m_partialBits > 0)
        writeUB(0, 8 - m_partialBits);
}

void BitWriter::writeU8(quint8 value)
{
    align();
    m_bytes.append(char(value));
}

void BitWriter::writeU16(quint16 value)
{
    writeU8(quint8(value & 0xff));
    writeU8(quint8(value >> 8));
}

void BitWriter::writeU32(quint32 value)
{
    writeU16(quint16(value & 0xffff));
    writeU16(quint16(value >> 16));
}

void BitWriter::writeBytes(const QByteArray &bytes)
{
    align();
    m_bytes.append(bytes);
}

void BitWriter::writeString(const QByteArray &text)
{
    if (text.contains('\0'))
        throw SwfError(QStringLiteral("a string holds a null character"));
    writeBytes(text);
    writeU8(0);
}

QByteArray BitWriter::bytes() const
{
    if (m_partialBits == 0)
        return m_bytes;
    return m_bytes + char(quint8(m_partial << (8 - m_partialBits)));
}

int unsignedBits(quint32 value)
{
    int bits = 0;
    while (value != 0) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

int signedBits(qint32 value)
{
    if (value == 0)
        return 0;
    // A negative value needs as many bits as its complement, plus the sign.
    const quint32 magnitude = value < 0 ? ~quint32(value) : quint32(value);
    return unsignedBits(magnitude) + 1;
}

int signedBits(std::initializer_list<qint32> values)
{
    int bits = 0;
    for (qint32 value : values)
        bits = std::max(bits, signedBits(value));
    return bits;
}
