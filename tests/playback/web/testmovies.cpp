#include "testmovies.h"

#include "swfwriter.h"

#include <QtMath>
#include <lame/lame.h>

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

// Half a second of 440 Hz.
Mp3Sound tone()
{
    const int rate = 22050;
    QList<short> pcm(rate / 2);
    for (int i = 0; i < pcm.size(); ++i)
        pcm[i] = short(8000 * qSin(2 * M_PI * 440 * i / rate));

    lame_global_flags *lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 32);
    lame_set_bWriteVbrTag(lame, 0);
    lame_init_params(lame);
    QByteArray mp3(pcm.size() * 5 / 4 + 7200, '\0');
    auto *out = reinterpret_cast<unsigned char *>(mp3.data());
    int size =
        lame_encode_buffer(lame, pcm.data(), pcm.data(), int(pcm.size()), out, int(mp3.size()));
    size += lame_encode_flush(lame, out + size, int(mp3.size()) - size);
    mp3.truncate(size);
    Mp3Sound sound;
    sound.sampleRate = rate;
    sound.sampleCount = quint32(pcm.size());
    sound.seekSamples = qint16(lame_get_encoder_delay(lame));
    sound.frames = mp3;
    lame_close(lame);
    return sound;
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

QByteArray pushString(const QByteArray &text)
{
    BitWriter push;
    push.writeU8(0x96);
    push.writeU16(quint16(text.size() + 2));
    push.writeU8(0); // a string
    push.writeString(text);
    return push.bytes();
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
    case HostileMovie::DoublingString: {
        // s = "x"; for (;;) s = s + s;
        const QByteArray start = pushString("s") + pushString("x") + char(0x1d);
        const QByteArray twice = pushString("s") + pushString("s") + char(0x1c) + pushString("s") +
                                 char(0x1c) + char(0x47) + char(0x1d);
        const QByteArray loop = twice + jump(qint16(-(twice.size() + 5)));
        return handMadeMovie(green + tag(SwfTag::DoAction, start + loop + char(0)) + showFrame());
    }
    case HostileMovie::HugeBitmap:
        return hugeBitmapMovie();
    }
    return {};
}

QByteArray clickableMovie(const QColor &before, const QColor &after)
{
    const QByteArray solid = char(0) + background(after).right(3);
    // An invisible button over the whole stage: pressed, it goes on to the
    // second frame, which shows the square.
    BitWriter button;
    button.writeU16(3);
    button.writeU8(0);
    button.writeU16(10);  // offset of the actions
    button.writeU8(0x08); // hit area only
    button.writeU16(1);
    button.writeU16(1);
    button.writeU8(0);    // identity matrix
    button.writeU8(0);    // no colour change
    button.writeU8(0);    // end of the button's parts
    button.writeU16(0);   // the last (only) condition
    button.writeU8(0x04); // pressed
    button.writeU8(0);
    button.writeBytes(ActionList().gotoFrame(1).stop().bytes() + char(0));
    const QByteArray frame1 = background(before) + squareShape(1, solid) + tag(34, button.bytes()) +
                              tag(SwfTag::DoAction, ActionList().stop().bytes() + char(0)) +
                              place(2, 3) + showFrame();
    return handMadeMovie(frame1 + place(1, 1) + showFrame(), QSize(577, 449), 2);
}

QByteArray TestMovie::bytes() const
{
    SwfWriter movie({stage, frameRate});
    movie.setBackgroundColor(rgba(background));
    const quint16 soundId = sound ? movie.defineSound(tone()) : 0;
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
        if (frame == 0 && sound)
            movie.startSound(soundId);
        movie.showFrame();
    }
    return movie.finish(SwfWriter::Compression::Zlib);
}
