// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SWFREADER_H
#define ZORVINA_SWFREADER_H

#include "swfwriter.h"

#include <QByteArray>
#include <QList>
#include <QRect>

// Reads movies back: the header, the tag list and the shapes. Used to check
// what the writer produced; anything malformed throws SwfError.

class BitReader
{
public:
    explicit BitReader(const QByteArray &bytes) : m_bytes(bytes) {}

    quint32 readUB(int bits);
    qint32 readSB(int bits);
    void align();
    quint8 readU8();
    quint16 readU16();
    quint32 readU32();
    QByteArray readBytes(int count);
    QByteArray readString();
    int bytesLeft() const { return int(m_bytes.size()) - m_pos - (m_bitPos > 0 ? 1 : 0); }

private:
    QByteArray m_bytes;
    int m_pos = 0;
    int m_bitPos = 0; // bits already taken from m_bytes[m_pos]
};

struct SwfRecord
{
    int code = 0;
    QByteArray body;
    bool longHeader = false;
};

struct SwfMovie
{
    bool compressed = false;
    int version = 0;
    quint32 fileLength = 0;
    QRect frameTwips; // stage, in twips
    double frameRate = 0;
    int frameCount = 0;
    QList<SwfRecord> tags; // the End tag included
};

// Also checks that the declared length matches and that the tags end with
// an End tag exactly at the end of the file.
SwfMovie readSwf(const QByteArray &file);

// A DefineShape3 tag, decoded into absolute coordinates in twips.
struct SwfShapeEdge
{
    bool curved = false;
    QPoint control;
    QPoint end;
};

struct SwfShapeFigure
{
    int fillStyle0 = 0;
    int fillStyle1 = 0;
    int lineStyle = 0;
    QPoint start;
    QList<SwfShapeEdge> edges;
};

struct SwfShape
{
    quint16 id = 0;
    QRect boundsTwips;
    QList<Rgba> fills;
    QList<quint16> lineWidths;
    QList<Rgba> lineColors;
    QList<SwfShapeFigure> figures;
};

SwfShape decodeShape(const QByteArray &defineShape3Body);

// A PlaceObject2 tag.
struct SwfPlacement
{
    bool move = false;
    int depth = 0;
    int characterId = 0; // 0 when the tag keeps the character
    bool hasMatrix = false;
    Matrix matrix;
    int clipDepth = 0;
};

SwfPlacement decodePlacement(const QByteArray &placeObject2Body);

#endif
