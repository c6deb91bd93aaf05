#include "testmovies.h"

#include "swfwriter.h"

namespace {

Rgba rgba(const QColor &colour)
{
    return Rgba{quint8(colour.red()), quint8(colour.green()), quint8(colour.blue())};
}

ShapePath rectangle(QSize size)
{
    ShapePath path;
    path.moveTo({0, 0});
    path.lineTo({qreal(size.width()), 0});
    path.lineTo({qreal(size.width()), qreal(size.height())});
    path.lineTo({0, qreal(size.height())});
    path.close();
    return path;
}

QByteArray tag(int code, const QByteArray &body)
{
    BitWriter out;
    if (body.size() < 0x3f) {
        out.writeU16(quint16(code << 6 | body.size()));
    } else {
        out.writeU16(quint16(code << 6 | 0x3f));
        out.writeU32(quint32(body.size()));
    }
    out.writeBytes(body);
    return out.bytes();
}

// The tags between the file attributes and the end, written by hand where
// the writer has no call for them.
QByteArray handMadeMovie(const QByteArray &tags, QSize stage = QSize(577, 449), int frames = 1)
{
    BitWriter header;
    SwfUnits::writeRect(header, 0, stage.width() * 20, 0, stage.height() * 20);
    header.align();
    header.writeU16(24 << 8); // 24 frames a second
    header.writeU16(quint16(frames));
    const QByteArray afterLength = header.bytes() + tag(SwfTag::FileAttributes, QByteArray(4, 0)) +
                                   tags + tag(SwfTag::End, {});
    BitWriter file;
    file.writeBytes("FWS");
    file.writeU8(10);
    file.writeU32(quint32(8 + afterLength.size()));
    file.writeBytes(afterLength);
    return file.bytes();
}

QByteArray background(const QColor &colour)
{
    BitWriter rgb;
    rgb.writeU8(quint8(colour.red()));
    rgb.writeU8(quint8(colour.green()));
    rgb.writeU8(quint8(colour.blue()));
    return tag(SwfTag::SetBackgroundColor, rgb.bytes());
}

QByteArray showFrame()
{
    return tag(SwfTag::ShowFrame, {});
}

QByteArray place(int depth, int characterId)
{
    BitWriter place;
    place.writeU8(0x02); // a character
    place.writeU16(quint16(depth));
    place.writeU16(quint16(characterId));
    return tag(SwfTag::PlaceObject2, place.bytes());
}

QByteArray jump(qint16 offset)
{
    BitWriter jump;
    jump.writeU8(0x99);
    jump.writeU16(2);
    jump.writeU16(quint16(offset));
    return jump.bytes();
}

// A square of the stage's height filled with the given fill style.
QByteArray squareShape(int id, const QByteArray &fillStyle)
{
    const qint32 side = 449 * 20;
    BitWriter shape;
    shape.writeU16(quint16(id));
    SwfUnits::writeRect(shape, 0, side, 0, side);
    shape.align();
    shape.writeU8(1); // one fill style
    shape.writeBytes(fillStyle);
    shape.writeU8(0);           // no line styles
    shape.writeUB(1, 4);        // fill style bits
    shape.writeUB(0, 4);        // line style bits
    shape.writeUB(0b000101, 6); // style change: fill style 1, move to
    shape.writeUB(1, 5);
    shape.writeSB(0, 1);
    shape.writeSB(0, 1);
    shape.writeUB(1, 1);
    const int bits = signedBits(side);
    for (const QPoint step :
         {QPoint(side, 0), QPoint(0, side), QPoint(-side, 0), QPoint(0, -side)}) {
        shape.writeUB(0b11, 2); // a straight edge
        shape.writeUB(quint32(bits - 2), 4);
        shape.writeUB(1, 1); // both deltas
        shape.writeSB(step.x(), bits);
        shape.writeSB(step.y(), bits);
    }
    shape.writeUB(0, 6);
    return tag(2, shape.bytes());
}

QByteArray hugeBitmapMovie()
{
    BitWriter bitmap;
    bitmap.writeU16(1);
    bitmap.writeU8(5); // 32-bit pixels
    bitmap.writeU16(0xffff);
    bitmap.writeU16(0xffff);
    bitmap.writeBytes(qCompress(QByteArray(4096, 0)).mid(4)); // zlib without Qt's size
    BitWriter fill;
    fill.writeU8(0x41); // clipped bitmap
    fill.writeU16(1);
    fill.writeU8(0); // identity matrix
    return handMadeMovie(tag(36, bitmap.bytes()) + squareShape(2, fill.bytes()) + place(1, 2) +
                         showFrame());
}

} // namespace

QByteArray deviceTextMovie(const QString &text, const QString &fontName)
{
    const QSize stage(577, 449);
    const quint16 fontId = 1;
    const quint16 textId = 2;

    // DefineFont2 without glyphs: a device font, found by name.
    BitWriter font;
    font.writeU16(fontId);
    font.writeU8(0x04); // wide codes
    font.writeU8(0);    // language
    const QByteArray name = fontName.toUtf8();
    font.writeU8(quint8(name.size()));
    font.writeBytes(name);
    font.writeU16(0); // no glyphs
    font.writeU16(2); // the code table follows this offset at once

    // DefineEditText: read-only text in that font, not drawn from outlines.
    BitWriter edit;
    edit.writeU16(textId);
    SwfUnits::writeRect(edit, 0, stage.width() * 20, 0, stage.height() * 20);
    edit.align();
    edit.writeU8(0x80 | 0x08 | 0x04 | 0x01); // text, read-only, colour, font
    edit.writeU8(0x10 | 0x20);               // not selectable, layout
    edit.writeU16(fontId);
    edit.writeU16(100 * 20);
    edit.writeBytes(QByteArray("\0\0\0\xff", 4)); // black
    edit.writeU8(2);                              // centred
    edit.writeU16(0);                             // margins, indent, leading
    edit.writeU16(0);
    edit.writeU16(0);
    edit.writeU16(0);
    edit.writeString(QByteArray()); // no variable
    edit.writeString(text.toUtf8());

    return handMadeMovie(background(Qt::white) + tag(48, font.bytes()) + tag(37, edit.bytes()) +
                         place(1, textId) + showFrame());
}

QByteArray hostileMovie(HostileMovie kind)
{
    const QByteArray green = background(QColor(20, 170, 60));
    switch (kind) {
    case HostileMovie::EndlessLoop:
        return handMadeMovie(green + tag(SwfTag::DoAction, jump(-5) + char(0)) + showFrame());
    case HostileMovie::HugeBitmap:
        return hugeBitmapMovie();
    }
    return {};
}

QByteArray TestMovie::bytes() const
{
    SwfWriter movie({stage, frameRate});
    movie.setBackgroundColor(rgba(background));
    QList<quint16> shapes;
    for (const QColor &colour : frames) {
        ShapePart fill{rectangle(stage), rgba(colour)};
        shapes.append(movie.defineShape({{fill}}));
    }
    const int frameCount = qMax(1, int(frames.size()));
    for (int frame = 0; frame < frameCount; ++frame) {
        if (frame < shapes.size()) {
            if (frame == 0)
                movie.placeObject(1, shapes[frame]);
            else
                movie.replaceObject(1, shapes[frame]);
        }
        if (!getUrl.isEmpty())
            movie.doAction(ActionList().getUrl(getUrl, "_self"));
        movie.showFrame();
    }
    return movie.finish(SwfWriter::Compression::Zlib);
}
