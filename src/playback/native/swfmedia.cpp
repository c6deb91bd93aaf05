// SPDX-License-Identifier: GPL-3.0-or-later
#include "swfparts.h"

#include <QBuffer>
#include <QImageReader>

namespace swf {

namespace {

void checkSize(qint64 width, qint64 height, BitmapState &state)
{
    if (width < 1 || height < 1)
        refuse(QStringLiteral("an empty bitmap"));
    if (width > Limits::bitmapSide || height > Limits::bitmapSide ||
        width * height > Limits::bitmapPixels)
        refuse(QStringLiteral("a bitmap of %1x%2 pixels").arg(width).arg(height));
    if (width * height > state.pixelsLeft)
        refuse(
            QStringLiteral("bitmaps of more than %1 pixels in all").arg(Limits::allBitmapPixels));
    state.pixelsLeft -= width * height;
}

QByteArray pictureFormat(const QByteArray &data)
{
    if (data.startsWith("\x89PNG"))
        return QByteArrayLiteral("png");
    if (data.startsWith("GIF8"))
        return QByteArrayLiteral("gif");
    return QByteArrayLiteral("jpeg");
}

QImage decodePicture(QByteArray data, const QByteArray &format, BitmapState &state)
{
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(int(Limits::bitmapPixels * 4 / (1024 * 1024)) + 1);
    const QSize size = reader.size();
    if (!size.isValid())
        refuse(QStringLiteral("a %1 picture without a readable size").arg(QLatin1String(format)));
    checkSize(size.width(), size.height(), state);
    const QImage image = reader.read();
    if (image.isNull())
        refuse(QStringLiteral("a %1 picture that does not decode: %2")
                   .arg(QLatin1String(format), reader.errorString()));
    if (image.size() != size)
        refuse(QStringLiteral("a %1 picture whose size changed while decoding")
                   .arg(QLatin1String(format)));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void applyAlpha(QImage &image, const QByteArray &alpha)
{
    const uchar *a = reinterpret_cast<const uchar *>(alpha.constData());
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, ++a) {
            const QRgb p = line[x];
            line[x] = qRgba(qRed(p) * *a / 255, qGreen(p) * *a / 255, qBlue(p) * *a / 255, *a);
        }
    }
}

QImage readJpeg3(Reader &in, BitmapState &state)
{
    const quint32 alphaOffset = in.u32();
    if (alphaOffset > in.bytesLeft())
        refuse(QStringLiteral("a bitmap's alpha offset points past its tag"));
    const QByteArray data = in.bytes(alphaOffset);
    const QByteArray format = pictureFormat(data);
    if (format != "jpeg")
        return decodePicture(data, format, state);
    QImage image = decodePicture(joinJpeg(data), format, state);
    if (in.atEnd())
        return image;
    const QByteArray alpha =
        inflateBounded(in.data(), in.bytesLeft(), qsizetype(image.width()) * image.height(),
                       QStringLiteral("a bitmap's alpha"));
    applyAlpha(image, alpha);
    return image;
}

inline QRgb premultiplied(int r, int g, int b, int a)
{
    // Stored premultiplied already; a channel above alpha would be invalid.
    return qRgba(qMin(r, a), qMin(g, a), qMin(b, a), a);
}

QImage colorMapped(const QByteArray &pixels, int width, int height, int tableSize, bool alpha)
{
    const int entry = alpha ? 4 : 3;
    const auto *p = reinterpret_cast<const uchar *>(pixels.constData());
    QList<QRgb> table;
    for (int i = 0; i < tableSize; ++i, p += entry)
        table.append(alpha ? premultiplied(p[0], p[1], p[2], p[3]) : qRgb(p[0], p[1], p[2]));
    const int stride = (width + 3) & ~3;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y, p += stride) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (p[x] >= tableSize)
                refuse(QStringLiteral("a bitmap pixel past its colour table"));
            line[x] = table[p[x]];
        }
    }
    return image;
}

QImage rgb15(const QByteArray &pixels, int width, int height)
{
    const auto *p = reinterpret_cast<const uchar *>(pixels.constData());
    const int stride = (width * 2 + 3) & ~3;
    const auto widen = [](int v) { return (v << 3) | (v >> 2); };
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y, p += stride) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int v = (p[2 * x] << 8) | p[2 * x + 1];
            line[x] = qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
        }
    }
    return image;
}

QImage rgb32(const QByteArray &pixels, int width, int height, bool alpha)
{
    const auto *p = reinterpret_cast<const uchar *>(pixels.constData());
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, p += 4)
            line[x] = alpha ? premultiplied(p[1], p[2], p[3], p[0]) : qRgb(p[1], p[2], p[3]);
    }
    return image;
}

QImage readLossless(Reader &in, bool alpha, BitmapState &state)
{
    const int format = in.u8();
    const int width = in.u16();
    const int height = in.u16();
    if (format != 3 && format != 5 && !(format == 4 && !alpha))
        refuse(QStringLiteral("lossless bitmap format %1").arg(format));
    const int tableSize = format == 3 ? in.u8() + 1 : 0;
    checkSize(width, height, state);
    const qsizetype rows = height;
    qsizetype size = rows * width * 4;
    if (format == 3)
        size = qsizetype(tableSize) * (alpha ? 4 : 3) + rows * ((width + 3) & ~3);
    else if (format == 4)
        size = rows * ((width * 2 + 3) & ~3);
    const QByteArray pixels =
        inflateBounded(in.data(), in.bytesLeft(), size, QStringLiteral("a lossless bitmap"));
    if (format == 3)
        return colorMapped(pixels, width, height, tableSize, alpha);
    if (format == 4)
        return rgb15(pixels, width, height);
    return rgb32(pixels, width, height, alpha);
}

} // namespace

QByteArray joinJpeg(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype size = data.size();
    QByteArray out;
    out.reserve(size);
    qsizetype pos = 0;
    bool started = false;
    while (pos + 1 < size && p[pos] == 0xFF) {
        const uchar marker = p[pos + 1];
        if (marker == 0xFF) {
            ++pos;
        } else if (marker == 0xD8 || marker == 0xD9) {
            if (marker == 0xD8 && !started)
                out.append("\xFF\xD8", 2);
            started = started || marker == 0xD8;
            pos += 2;
        } else if (marker == 0xDA || pos + 4 > size) {
            break;
        } else {
            const qsizetype length = (p[pos + 2] << 8) | p[pos + 3];
            const qsizetype end = qMin(size, pos + 2 + length);
            out.append(data.constData() + pos, end - pos);
            pos = end;
        }
    }
    out.append(data.constData() + pos, size - pos);
    return out;
}

std::shared_ptr<Bitmap> readBitmap(Reader &in, int code, BitmapState &state)
{
    auto bitmap = std::make_shared<Bitmap>();
    if (code == 6) {
        bitmap->image = decodePicture(joinJpeg(state.jpegTables + in.rest()), "jpeg", state);
    } else if (code == 21) {
        const QByteArray data = in.rest();
        const QByteArray format = pictureFormat(data);
        bitmap->image = decodePicture(format == "jpeg" ? joinJpeg(data) : data, format, state);
    } else if (code == 35) {
        bitmap->image = readJpeg3(in, state);
    } else {
        bitmap->image = readLossless(in, code == 36, state);
    }
    return bitmap;
}

namespace {

Sound::Format soundFormat(quint32 code)
{
    if (code > 3)
        refuse(QStringLiteral("sound format %1").arg(code));
    return Sound::Format(code);
}

int soundRate(quint32 code)
{
    static const int rates[] = {5512, 11025, 22050, 44100};
    return rates[code & 3];
}

} // namespace

std::shared_ptr<Sound> readSound(Reader &in)
{
    auto sound = std::make_shared<Sound>();
    sound->format = soundFormat(in.ub(4));
    sound->rate = soundRate(in.ub(2));
    sound->is16Bit = in.flag();
    sound->stereo = in.flag();
    sound->sampleCount = in.u32();
    if (sound->sampleCount > Limits::soundSamples)
        refuse(QStringLiteral("a sound of %1 samples").arg(sound->sampleCount));
    if (sound->format == Sound::Format::Mp3)
        sound->seekSamples = in.s16();
    sound->data = in.rest();
    return sound;
}

SoundStart readSoundStart(Reader &in, const Movie &movie)
{
    SoundStart start;
    start.soundId = in.u16();
    const auto kind = movie.kinds.constFind(start.soundId);
    if (kind == movie.kinds.constEnd() || *kind != CharacterKind::Sound)
        refuse(QStringLiteral("starting character %1, which is not a sound").arg(start.soundId));
    in.ub(2);
    start.stop = in.flag();
    start.noMultiple = in.flag();
    const bool hasEnvelope = in.flag();
    const bool hasLoops = in.flag();
    const bool hasOut = in.flag();
    const bool hasIn = in.flag();
    if (hasIn)
        start.inPoint = in.u32();
    if (hasOut)
        start.outPoint = in.u32();
    if (hasLoops)
        start.loops = in.u16();
    const int points = hasEnvelope ? in.u8() : 0;
    for (int i = 0; i < points; ++i) {
        SoundEnvelopePoint point;
        point.position = in.u32();
        point.left = in.u16();
        point.right = in.u16();
        start.envelope.append(point);
    }
    return start;
}

StreamHead readStreamHead(Reader &in)
{
    StreamHead head;
    in.u8(); // the playback format: a hint for the sound device
    head.format = soundFormat(in.ub(4));
    head.rate = soundRate(in.ub(2));
    head.is16Bit = in.flag();
    head.stereo = in.flag();
    head.samplesPerBlock = in.u16();
    if (head.format == Sound::Format::Mp3 && in.bytesLeft() >= 2)
        head.latencySeek = in.s16();
    return head;
}

} // namespace swf
