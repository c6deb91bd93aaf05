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

} // namespace

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
