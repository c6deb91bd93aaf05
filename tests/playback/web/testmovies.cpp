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

} // namespace

QByteArray deviceTextMovie(const QString &text, const QString &fontName)
{
    const QSize stage(577, 449);
    const quint16 fontId = 1;
    const quint16 textId = 2;
    QByteArray tags;

    BitWriter attributes;
    attributes.writeU32(0);
    tags += tag(SwfTag::FileAttributes, attributes.bytes());
    tags += tag(SwfTag::SetBackgroundColor, QByteArray("\xff\xff\xff", 3));

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
    tags += tag(48, font.bytes());

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
    tags += tag(37, edit.bytes());

    BitWriter place;
    place.writeU8(0x02); // a character
    place.writeU16(1);   // depth
    place.writeU16(textId);
    tags += tag(SwfTag::PlaceObject2, place.bytes());
    tags += tag(SwfTag::ShowFrame, {});
    tags += tag(SwfTag::End, {});

    BitWriter header;
    SwfUnits::writeRect(header, 0, stage.width() * 20, 0, stage.height() * 20);
    header.align();
    header.writeU16(24 << 8); // 24 frames a second
    header.writeU16(1);
    const QByteArray afterLength = header.bytes() + tags;
    BitWriter file;
    file.writeBytes("FWS");
    file.writeU8(10);
    file.writeU32(quint32(8 + afterLength.size()));
    file.writeBytes(afterLength);
    return file.bytes();
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
