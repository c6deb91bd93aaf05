// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SWFBITS_H
#define ZORVINA_SWFBITS_H

// Reading the movie format's fields from an untrusted byte range. Every read
// is checked against the end of the range: running past it throws Refusal,
// which readMovie turns into an Unsupported verdict with the reason.

#include "swfmovie.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

namespace swf {

struct Refusal
{
    QString reason;
};

[[noreturn]] void refuse(const QString &reason);

// Every item decoded from the file is paid for from one allowance, so no
// file makes the reader hold more than a bounded amount.
class Budget
{
public:
    void spend(qint64 items)
    {
        m_left -= items;
        if (m_left < 0)
            refuse(QStringLiteral("more than %1 edges, glyphs, frames and commands in all")
                       .arg(Limits::decodedItems));
    }

private:
    qint64 m_left = Limits::decodedItems;
};

// A bounded reader over bytes it does not own (the decoded file outlives it).
// Bit fields are read most significant bit first; a byte-sized read first
// skips what is left of a partly read byte, as the format requires.
class Reader
{
public:
    Reader(const char *data, qsizetype size) : m_data(data), m_size(size) {}

    qsizetype position() const { return m_pos; }
    qsizetype bytesLeft() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }

    void align();
    quint32 ub(int bits)
    {
        // Shapes are mostly bit fields: take them from one 64-bit load
        // wherever the range has eight bytes left.
        if (bits > 0 && bits <= 32 && m_size - m_pos >= 8) {
            const quint64 window = qFromBigEndian<quint64>(m_data + m_pos) << m_bitPos;
            const int end = m_bitPos + bits;
            m_pos += end / 8;
            m_bitPos = end % 8;
            return quint32(window >> (64 - bits));
        }
        return ubNearEnd(bits);
    }
    qint32 sb(int bits);
    bool flag() { return ub(1) != 0; }

    quint8 u8();
    quint16 u16();
    qint16 s16() { return qint16(u16()); }
    quint32 u32();
    // The next count bytes, as a view into the same data.
    Reader take(qsizetype count);
    QByteArray bytes(qsizetype count);
    QByteArray rest() { return bytes(bytesLeft()); }
    const char *data() const { return m_data + m_pos; }
    void skip(qsizetype count);
    // A null-terminated string, the null not included.
    QByteArray string();
    void seek(qsizetype position);

    QRectF rect();
    QTransform matrix();
    ColorTransform colorTransform(bool withAlpha);
    QColor rgb();
    QColor rgba();

private:
    void need(qsizetype count) const;
    quint32 ubNearEnd(int bits);

    const char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    int m_bitPos = 0; // bits already taken from m_data[m_pos]
};

// Inflates zlib data to exactly limit bytes (what follows is not read);
// throws Refusal when the data is damaged or ends before that.
QByteArray inflateBounded(const char *data, qsizetype size, qsizetype limit, const QString &what);

} // namespace swf

#endif
