// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_BITWRITER_H
#define ZORVINA_BITWRITER_H

#include <QByteArray>
#include <QtGlobal>

// The bit-packed fields of the movie format: most significant bit first,
// little-endian for whole bytes. Every bit field is checked against its width
// so that a value that does not fit is refused instead of silently wrapping.
class BitWriter
{
public:
    void writeUB(quint32 value, int bits);
    void writeSB(qint32 value, int bits);
    // 16.16 fixed point stored as a signed bit field.
    void writeFB(qint32 fixed, int bits) { writeSB(fixed, bits); }
    // Pads the partial byte with zero bits.
    void align();

    void writeU8(quint8 value);
    void writeU16(quint16 value);
    void writeU32(quint32 value);
    void writeBytes(const QByteArray &bytes);
    // A null-terminated string; refuses embedded nulls.
    void writeString(const QByteArray &text);

    // The bytes written so far; the partial byte is included, padded.
    QByteArray bytes() const;

private:
    QByteArray m_bytes;
    quint8 m_partial = 0;
    int m_partialBits = 0;
};

// The smallest field widths that hold a value: 0 bits for zero, as the format
// allows and authoring tools write.
int unsignedBits(quint32 value);
int signedBits(qint32 value);
int signedBits(std::initializer_list<qint32> values);

#endif
