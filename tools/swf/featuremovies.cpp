// SPDX-License-Identifier: GPL-3.0-or-later
#include "featuremovies.h"
#include "swferror.h"
#include "swfwriter.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <functional>
#include <lame/lame.h>
#include <lzma.h>
#include <optional>

namespace {

const QSize StageSize(240, 180);

// ---- Small encoders -------------------------------------------------------

void writeColor(BitWriter &out, Rgba c, bool alpha)
{
    out.writeU8(c.r);
    out.writeU8(c.g);
    out.writeU8(c.b);
    if (alpha)
        out.writeU8(c.a);
}

QByteArray matrixBytes(const Matrix &m)
{
    BitWriter out;
    SwfUnits::writeMatrix(out, m);
    return out.bytes();
}

Matrix scaled(double sx, double sy, QPointF at = {})
{
    Matrix m;
    m.scaleX = sx;
    m.scaleY = sy;
    m.translate = at;
    return m;
}

Matrix rotated(double degrees, double scale, QPointF at)
{
    const double r = qDegreesToRadians(degrees);
    Matrix m;
    m.scaleX = m.scaleY = std::cos(r) * scale;
    m.skew0 = std::sin(r) * scale;
    m.skew1 = -std::sin(r) * scale;
    m.translate = at;
    return m;
}

// zlib's stream alone, as the bitmap tags hold it.
QByteArray zlibData(const QByteArray &data)
{
    return SwfCompression::zlib(data);
}

QByteArray styleCount(int count, bool extended)
{
    BitWriter out;
    if (count < 0xff || !extended) {
        out.writeU8(quint8(count));
    } else {
        out.writeU8(0xff);
        out.writeU16(quint16(count));
    }
    return out.bytes();
}

QByteArray styleArray(const QList<QByteArray> &styles, bool extended = true)
{
    QByteArray out = styleCount(int(styles.size()), extended);
    for (const QByteArray &style : styles)
        out += style;
    return out;
}

// ---- Fill and line styles ---------------------------------------------------

QByteArray solid(Rgba c, bool alpha = true)
{
    BitWriter out;
    out.writeU8(0x00);
    writeColor(out, c, alpha);
    return out.bytes();
}

enum class Spread { Pad = 0, Reflect = 1, Repeat = 2 };
enum class Interpolation { Normal = 0, Linear = 1 };

struct Gradient
{
    enum Type { Linear = 0x10, Radial = 0x12, Focal = 0x13 };
    Type type = Linear;
    Matrix matrix; // the gradient square (+-16384 twips) to the shape
    Spread spread = Spread::Pad;
    Interpolation interpolation = Interpolation::Normal;
    QList<QPair<int, Rgba>> stops;
    double focal = 0;
};

// A gradient square of side pixels centred on centre.
Matrix gradientBox(QPointF centre, double side, double degrees = 0)
{
    return rotated(degrees, side * 20.0 / 32768.0, centre);
}

QByteArray gradientFill(const Gradient &g, bool alpha = true)
{
    BitWriter out;
    out.writeU8(quint8(g.type));
    out.writeBytes(matrixBytes(g.matrix));
    BitWriter bits;
    bits.writeUB(quint32(g.spread), 2);
    bits.writeUB(quint32(g.interpolation), 2);
    bits.writeUB(quint32(g.stops.size()), 4);
    out.writeBytes(bits.bytes());
    for (const auto &stop : g.stops) {
        out.writeU8(quint8(stop.first));
        writeColor(out, stop.second, alpha);
    }
    if (g.type == Gradient::Focal)
        out.writeU16(quint16(qint16(std::lround(g.focal * 256))));
    return out.bytes();
}

// type 0x40 repeating, 0x41 clipped; +2 without smoothing.
QByteArray bitmapFill(int type, quint16 bitmap, const Matrix &m)
{
    BitWriter out;
    out.writeU8(quint8(type));
    out.writeU16(bitmap);
    out.writeBytes(matrixBytes(m));
    return out.bytes();
}

QByteArray lineStyle(double width, Rgba c, bool alpha = true)
{
    BitWriter out;
    out.writeU16(quint16(SwfUnits::toTwips(width)));
    writeColor(out, c, alpha);
    return out.bytes();
}

enum class Cap { Round = 0, None = 1, Square = 2 };
enum class Join { Round = 0, Bevel = 1, Miter = 2 };

// LineStyle2: a fill, when given, takes the colour's place.
QByteArray lineStyle2(double width, Rgba color, Cap startCap = Cap::Round, Cap endCap = Cap::Round,
                      Join join = Join::Round, double miter = 3,
                      const QByteArray &fill = QByteArray(), bool noClose = false)
{
    BitWriter out;
    out.writeU16(quint16(SwfUnits::toTwips(width)));
    out.writeUB(quint32(startCap), 2);
    out.writeUB(quint32(join), 2);
    out.writeUB(fill.isEmpty() ? 0 : 1, 1);
    out.writeUB(0, 3); // scaling in both directions, no hinting
    out.writeUB(0, 5);
    out.writeUB(noClose ? 1 : 0, 1);
    out.writeUB(quint32(endCap), 2);
    if (join == Join::Miter)
        out.writeU16(quint16(std::lround(miter * 256)));
    if (fill.isEmpty())
        writeColor(out, color, true);
    else
        out.writeBytes(fill);
    return out.bytes();
}

// ---- Shape records ----------------------------------------------------------

// The records of a SHAPE, given in pixels (or, for glyphs, font units with
// a unit of 1), with its bounds tracked as they are written.
class Records
{
public:
    Records(int fills, int lines, double unit = 20.0) : m_unit(unit)
    {
        setBits(fills, lines);
        m_out.writeUB(quint32(m_fillBits), 4);
        m_out.writeUB(quint32(m_lineBits), 4);
    }

    Records &moveTo(QPointF p) { return change(p, -1, -1, -1); }
    // Selects styles (-1 keeps one) and moves.
    Records &change(std::optional<QPointF> move, int fill0, int fill1, int line)
    {
        m_out.writeUB(0, 1);
        m_out.writeUB(0, 1);
        m_out.writeUB(line >= 0, 1);
        m_out.writeUB(fill1 >= 0, 1);
        m_out.writeUB(fill0 >= 0, 1);
        m_out.writeUB(move.has_value(), 1);
        if (move) {
            const qint32 x = units(move->x());
            const qint32 y = units(move->y());
            const int bits = signedBits({x, y});
            m_out.writeUB(quint32(bits), 5);
            m_out.writeSB(x, bits);
            m_out.writeSB(y, bits);
            m_pen = {x, y};
            include(m_pen);
        }
        if (fill0 >= 0)
            m_out.writeUB(quint32(fill0), m_fillBits);
        if (fill1 >= 0)
            m_out.writeUB(quint32(fill1), m_fillBits);
        if (line >= 0)
            m_out.writeUB(quint32(line), m_lineBits);
        return *this;
    }
    // DefineShape2 and later: new style arrays part-way. The styles are
    // chosen from them by the next change.
    Records &newStyles(const QList<QByteArray> &fills, const QList<QByteArray> &lines)
    {
        m_out.writeUB(0, 1);
        m_out.writeUB(1, 1); // new styles, nothing else
        m_out.writeUB(0, 4);
        m_out.align();
        m_out.writeBytes(styleArray(fills));
        m_out.writeBytes(styleArray(lines));
        setBits(int(fills.size()), int(lines.size()));
        m_out.writeUB(quint32(m_fillBits), 4);
        m_out.writeUB(quint32(m_lineBits), 4);
        return *this;
    }
    Records &lineTo(QPointF p)
    {
        const QPoint to(units(p.x()), units(p.y()));
        const qint32 dx = to.x() - m_pen.x();
        const qint32 dy = to.y() - m_pen.y();
        const int bits = std::max(2, signedBits({dx, dy}));
        m_out.writeUB(1, 1);
        m_out.writeUB(1, 1);
        m_out.writeUB(quint32(bits - 2), 4);
        if (dx != 0 && dy != 0) {
            m_out.writeUB(1, 1);
            m_out.writeSB(dx, bits);
            m_out.writeSB(dy, bits);
        } else {
            m_out.writeUB(0, 1);
            m_out.writeUB(dx == 0, 1);
            m_out.writeSB(dx == 0 ? dy : dx, bits);
        }
        m_pen = to;
        include(to);
        return *this;
    }
    Records &curveTo(QPointF c, QPointF p)
    {
        const QPoint control(units(c.x()), units(c.y()));
        const QPoint to(units(p.x()), units(p.y()));
        const QPoint d1 = control - m_pen;
        const QPoint d2 = to - control;
        const int bits = std::max(2, signedBits({d1.x(), d1.y(), d2.x(), d2.y()}));
        m_out.writeUB(1, 1);
        m_out.writeUB(0, 1);
        m_out.writeUB(quint32(bits - 2), 4);
        m_out.writeSB(d1.x(), bits);
        m_out.writeSB(d1.y(), bits);
        m_out.writeSB(d2.x(), bits);
        m_out.writeSB(d2.y(), bits);
        m_pen = to;
        include(control);
        include(to);
        return *this;
    }
    Records &rect(const QRectF &r, int fill0, int fill1, int line)
    {
        change(r.topLeft(), fill0, fill1, line);
        lineTo(r.topRight()).lineTo(r.bottomRight()).lineTo(r.bottomLeft()).lineTo(r.topLeft());
        return *this;
    }
    // Clockwise on the screen, or the other way round when reversed.
    Records &ellipse(const QRectF &r, int fill0, int fill1, int line, bool reversed = false)
    {
        const QPointF c = r.center();
        const double rx = r.width() / 2;
        const double ry = r.height() / 2;
        change(QPointF(c.x() + rx, c.y()), fill0, fill1, line);
        const double turn = reversed ? -M_PI / 4 : M_PI / 4;
        for (int i = 1; i <= 8; ++i) {
            const double a0 = (i - 0.5) * turn;
            const double a1 = i * turn;
            const double k = 1 / std::cos(M_PI / 8);
            curveTo(QPointF(c.x() + rx * k * std::cos(a0), c.y() + ry * k * std::sin(a0)),
                    QPointF(c.x() + rx * std::cos(a1), c.y() + ry * std::sin(a1)));
        }
        return *this;
    }

    QByteArray finish()
    {
        m_out.writeUB(0, 6);
        m_out.align();
        return m_out.bytes();
    }
    // In twips (or font units).
    QRect bounds() const { return QRect(m_min, m_max); }

private:
    void setBits(int fills, int lines)
    {
        m_fillBits = unsignedBits(quint32(fills));
        m_lineBits = unsignedBits(quint32(lines));
    }
    qint32 units(double v) const { return qint32(std::lround(v * m_unit)); }
    void include(QPoint p)
    {
        if (!m_any) {
            m_min = m_max = p;
            m_any = true;
        }
        m_min = QPoint(std::min(m_min.x(), p.x()), std::min(m_min.y(), p.y()));
        m_max = QPoint(std::max(m_max.x(), p.x()), std::max(m_max.y(), p.y()));
    }

    BitWriter m_out;
    double m_unit;
    int m_fillBits = 0;
    int m_lineBits = 0;
    QPoint m_pen;
    QPoint m_min, m_max;
    bool m_any = false;
};

QByteArray rectBytes(QRect twips, int margin = 0)
{
    BitWriter out;
    SwfUnits::writeRect(out, twips.left() - margin, twips.right() + margin, twips.top() - margin,
                        twips.bottom() + margin);
    return out.bytes();
}

// A DefineShape tag of the given version (1..4); styles are encoded for it.
quint16 defineShape(SwfWriter &movie, int version, const QList<QByteArray> &fills,
                    const QList<QByteArray> &lines, Records &records, int margin = 400)
{
    static const int codes[] = {SwfTag::DefineShape, SwfTag::DefineShape2, SwfTag::DefineShape3,
                                SwfTag::DefineShape4};
    const QByteArray shape = records.finish();
    QByteArray body = rectBytes(records.bounds(), margin);
    if (version == 4) {
        body += rectBytes(records.bounds());
        body += char(0x01); // scaling strokes
    }
    body += styleArray(fills, version > 1) + styleArray(lines, version > 1) + shape;
    return movie.defineCharacter(codes[version - 1], body);
}

quint16 solidRect(SwfWriter &movie, const QRectF &r, Rgba color)
{
    Records records(1, 0);
    records.rect(r, -1, 1, -1);
    return defineShape(movie, 3, {solid(color)}, {}, records, 0);
}

// ---- Placing ------------------------------------------------------------

struct ColorTransform
{
    double rm = 1, gm = 1, bm = 1, am = 1;
    int ra = 0, ga = 0, ba = 0, aa = 0;
};

QByteArray colorTransform(const ColorTransform &c, bool alpha)
{
    const QList<qint32> mult = {qint32(std::lround(c.rm * 256)), qint32(std::lround(c.gm * 256)),
                                qint32(std::lround(c.bm * 256)), qint32(std::lround(c.am * 256))};
    const QList<qint32> add = {c.ra, c.ga, c.ba, c.aa};
    const int channels = alpha ? 4 : 3;
    const bool hasMult =
        std::any_of(mult.begin(), mult.begin() + channels, [](qint32 v) { return v != 256; });
    const bool hasAdd =
        std::any_of(add.begin(), add.begin() + channels, [](qint32 v) { return v != 0; });
    int bits = 1;
    for (int i = 0; i < channels; ++i) {
        if (hasMult)
            bits = std::max(bits, signedBits(mult[i]));
        if (hasAdd)
            bits = std::max(bits, signedBits(add[i]));
    }
    BitWriter out;
    out.writeUB(hasAdd, 1);
    out.writeUB(hasMult, 1);
    out.writeUB(quint32(bits), 4);
    for (int i = 0; hasMult && i < channels; ++i)
        out.writeSB(mult[i], bits);
    for (int i = 0; hasAdd && i < channels; ++i)
        out.writeSB(add[i], bits);
    out.align();
    return out.bytes();
}

struct Place
{
    int depth = 1;
    std::optional<quint16> id;
    bool move = false;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> cx;
    std::optional<quint16> ratio;
    QByteArray name;
    int clipDepth = 0;
};

QByteArray placeFields(const Place &p)
{
    BitWriter out;
    if (p.id)
        out.writeU16(*p.id);
    if (p.matrix)
        out.writeBytes(matrixBytes(*p.matrix));
    if (p.cx)
        out.writeBytes(colorTransform(*p.cx, true));
    if (p.ratio)
        out.writeU16(*p.ratio);
    if (!p.name.isEmpty())
        out.writeString(p.name);
    if (p.clipDepth)
        out.writeU16(quint16(p.clipDepth));
    return out.bytes();
}

quint8 placeFlags(const Place &p)
{
    return quint8((p.clipDepth ? 0x40 : 0) | (p.name.isEmpty() ? 0 : 0x20) | (p.ratio ? 0x10 : 0) |
                  (p.cx ? 0x08 : 0) | (p.matrix ? 0x04 : 0) | (p.id ? 0x02 : 0) |
                  (p.move ? 0x01 : 0));
}

QByteArray placeObject2(const Place &p)
{
    BitWriter out;
    out.writeU8(placeFlags(p));
    out.writeU16(quint16(p.depth));
    out.writeBytes(placeFields(p));
    return out.bytes();
}

// PlaceObject3; a filter list, when given, makes the movie one for the web
// player.
QByteArray placeObject3(const Place &p, const QByteArray &filters = QByteArray())
{
    BitWriter out;
    out.writeU8(placeFlags(p));
    out.writeU8(filters.isEmpty() ? 0x00 : 0x01);
    out.writeU16(quint16(p.depth));
    out.writeBytes(placeFields(p));
    out.writeBytes(filters);
    return out.bytes();
}

QByteArray placeObject1(quint16 id, int depth, const Matrix &m,
                        const std::optional<ColorTransform> &cx = std::nullopt)
{
    BitWriter out;
    out.writeU16(id);
    out.writeU16(quint16(depth));
    out.writeBytes(matrixBytes(m));
    if (cx)
        out.writeBytes(colorTransform(*cx, false));
    return out.bytes();
}

void place(SwfWriter &movie, const Place &p)
{
    movie.rawTag(SwfTag::PlaceObject2, placeObject2(p));
}

Place at(int depth, quint16 id, const Matrix &m = Matrix())
{
    Place p;
    p.depth = depth;
    p.id = id;
    p.matrix = m;
    return p;
}

QByteArray u16Bytes(quint16 v)
{
    BitWriter out;
    out.writeU16(v);
    return out.bytes();
}

QByteArray stringBytes(const QByteArray &s)
{
    BitWriter out;
    out.writeString(s);
    return out.bytes();
}

// ---- Sprites' own timelines -----------------------------------------------

class SpriteTags
{
public:
    void tag(int code, const QByteArray &body)
    {
        BitWriter header;
        if (body.size() < 0x3f) {
            header.writeU16(quint16((code << 6) | body.size()));
        } else {
            header.writeU16(quint16((code << 6) | 0x3f));
            header.writeU32(quint32(body.size()));
        }
        m_tags += header.bytes() + body;
    }
    void place(const Place &p) { tag(SwfTag::PlaceObject2, placeObject2(p)); }
    void showFrame()
    {
        tag(SwfTag::ShowFrame, QByteArray());
        ++m_frames;
    }
    quint16 define(SwfWriter &movie) const
    {
        return movie.defineCharacter(SwfTag::DefineSprite,
                                     u16Bytes(quint16(m_frames)) + m_tags + QByteArray(2, '\0'));
    }

private:
    QByteArray m_tags;
    int m_frames = 0;
};

// ---- Actions ----------------------------------------------------------------

class Actions
{
public:
    Actions &op(quint8 code) { return append(QByteArray(1, char(code))); }
    Actions &op(quint8 code, const QByteArray &data)
    {
        BitWriter out;
        out.writeU8(code);
        out.writeU16(quint16(data.size()));
        out.writeBytes(data);
        return append(out.bytes());
    }
    Actions &stop() { return op(0x07); }
    Actions &play() { return op(0x06); }
    Actions &nextFrame() { return op(0x04); }
    Actions &prevFrame() { return op(0x05); }
    Actions &stopSounds() { return op(0x09); }
    Actions &gotoFrame(int index) { return op(0x81, u16Bytes(quint16(index))); }
    Actions &gotoLabel(const QByteArray &label) { return op(0x8c, stringBytes(label)); }
    Actions &gotoFrame2(bool play) { return op(0x9f, QByteArray(1, char(play ? 1 : 0))); }
    Actions &getUrl(const QByteArray &url, const QByteArray &target)
    {
        return op(0x83, stringBytes(url) + stringBytes(target));
    }
    Actions &constantPool(const QList<QByteArray> &strings)
    {
        QByteArray data = u16Bytes(quint16(strings.size()));
        for (const QByteArray &s : strings)
            data += stringBytes(s);
        return op(0x88, data);
    }
    Actions &pushBool(bool v) { return op(0x96, QByteArray("\x05") + char(v ? 1 : 0)); }
    Actions &pushInt(qint32 v)
    {
        BitWriter out;
        out.writeU8(7);
        out.writeU32(quint32(v));
        return op(0x96, out.bytes());
    }
    Actions &pushConstant(quint8 index) { return op(0x96, QByteArray("\x08") + char(index)); }
    Actions &pushString(const QByteArray &s)
    {
        return op(0x96, QByteArray(1, '\0') + stringBytes(s));
    }
    // If / Jump over the actions of skipped.
    Actions &ifSkip(const Actions &skipped) { return branch(0x9d, skipped); }
    Actions &jumpSkip(const Actions &skipped) { return branch(0x99, skipped); }
    Actions &then(const Actions &more) { return append(more.m_bytes); }

    QByteArray tagBody() const { return m_bytes + char(0); }

private:
    Actions &append(const QByteArray &b)
    {
        m_bytes += b;
        return *this;
    }
    Actions &branch(quint8 code, const Actions &skipped)
    {
        BitWriter offset;
        offset.writeU16(quint16(qint16(skipped.m_bytes.size())));
        return op(code, offset.bytes());
    }
    QByteArray m_bytes;
};

void doAction(SwfWriter &movie, const Actions &actions)
{
    movie.rawTag(SwfTag::DoAction, actions.tagBody());
}

// ---- Bitmaps --------------------------------------------------------------

// A picture with smooth colour changes and a few sharp shapes: what JPEG
// keeps well, and enough detail to see a misplaced pixel.
QImage testPicture(int w, int h, bool withAlpha)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgba(40 + 200 * x / w, 60 + 160 * y / h, 200 - 150 * x / w,
                                 withAlpha ? (x < w / 3       ? 0
                                              : x < 2 * w / 3 ? 128
                                                              : 255)
                                           : 255));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRect(w / 5, h / 5, w / 5, h / 5);
    painter.setBrush(QColor(20, 20, 30));
    painter.drawRect(w * 3 / 5, h * 3 / 5, w / 4, h / 4);
    return image;
}

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        throw SwfError(QStringLiteral("cannot encode a %1 picture").arg(QLatin1String(format)));
    return bytes;
}

// A JPEG file split into its tables (quantisation and Huffman, between SOI
// and EOI) and the rest, as DefineBits and JPEGTables hold them.
QPair<QByteArray, QByteArray> splitJpeg(const QByteArray &jpeg)
{
    QByteArray tables("\xff\xd8", 2);
    QByteArray image("\xff\xd8", 2);
    int at = 2;
    while (at + 4 <= jpeg.size()) {
        if (quint8(jpeg[at]) != 0xff)
            throw SwfError(QStringLiteral("a JPEG segment is damaged"));
        const quint8 marker = quint8(jpeg[at + 1]);
        const int length = (quint8(jpeg[at + 2]) << 8) | quint8(jpeg[at + 3]);
        if (marker == 0xda) { // start of scan: the rest is the picture
            image += jpeg.mid(at);
            break;
        }
        (marker == 0xdb || marker == 0xc4 ? tables : image) += jpeg.mid(at, length + 2);
        at += length + 2;
    }
    tables += QByteArray("\xff\xd9", 2);
    return {tables, image};
}

QByteArray losslessColormapped(const QImage &image, const QList<QRgb> &palette, bool alpha)
{
    BitWriter data;
    for (QRgb c : palette) {
        // Lossless2's table is premultiplied, like its 32-bit pixels.
        const int a = alpha ? qAlpha(c) : 255;
        data.writeU8(quint8(qRed(c) * a / 255));
        data.writeU8(quint8(qGreen(c) * a / 255));
        data.writeU8(quint8(qBlue(c) * a / 255));
        if (alpha)
            data.writeU8(quint8(a));
    }
    const int stride = (image.width() + 3) & ~3;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < stride; ++x)
            data.writeU8(x < image.width() ? quint8(palette.indexOf(image.pixel(x, y))) : 0);
    BitWriter out;
    out.writeU8(3);
    out.writeU16(quint16(image.width()));
    out.writeU16(quint16(image.height()));
    out.writeU8(quint8(palette.size() - 1));
    out.writeBytes(zlibData(data.bytes()));
    return out.bytes();
}

QByteArray lossless32(const QImage &image, bool alpha)
{
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    BitWriter data;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = premultiplied.pixel(x, y);
            data.writeU8(alpha ? quint8(qAlpha(c)) : 0);
            data.writeU8(quint8(qRed(c)));
            data.writeU8(quint8(qGreen(c)));
            data.writeU8(quint8(qBlue(c)));
        }
    }
    BitWriter out;
    out.writeU8(5);
    out.writeU16(quint16(image.width()));
    out.writeU16(quint16(image.height()));
    out.writeBytes(zlibData(data.bytes()));
    return out.bytes();
}

// A rectangle filled 1:1 with a bitmap of size, its top left at topLeft.
quint16 bitmapRect(SwfWriter &movie, quint16 bitmap, QSize size, QPointF topLeft, int type = 0x43)
{
    Records records(1, 0);
    records.rect(QRectF(topLeft, QSizeF(size)), -1, 1, -1);
    return defineShape(movie, 3, {bitmapFill(type, bitmap, scaled(20, 20, topLeft))}, {}, records,
                       0);
}

// ---- Sound ------------------------------------------------------------------

QList<qint16> tone(int rate, double seconds, double hz)
{
    QList<qint16> samples;
    const int count = int(rate * seconds);
    for (int i = 0; i < count; ++i)
        samples.append(
            qint16(9000 * std::sin(2 * M_PI * hz * i / rate) * std::min(1.0, (count - i) / 500.0)));
    return samples;
}

QByteArray mp3(const QList<qint16> &samples, int rate)
{
    lame_global_flags *lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, 32);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw SwfError(QStringLiteral("LAME refused the tone's format"));
    }
    QByteArray out(int(samples.size()) * 5 / 4 + 14400, Qt::Uninitialized);
    auto *bytes = reinterpret_cast<unsigned char *>(out.data());
    const int written = lame_encode_buffer(lame, samples.constData(), nullptr, int(samples.size()),
                                           bytes, int(out.size()));
    const int flushed =
        written < 0 ? -1 : lame_encode_flush(lame, bytes + written, int(out.size()) - written);
    lame_close(lame);
    if (written < 0 || flushed < 0)
        throw SwfError(QStringLiteral("LAME failed to encode the tone"));
    out.resize(written + flushed);
    return out;
}

// The MP3 frames of data, each as (bytes, samples).
QList<QPair<QByteArray, int>> mp3Frames(const QByteArray &data)
{
    static const int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[] = {44100, 48000, 32000};
    QList<QPair<QByteArray, int>> frames;
    int at = 0;
    while (at + 4 <= data.size()) {
        const quint8 b1 = quint8(data[at + 1]);
        const quint8 b2 = quint8(data[at + 2]);
        const int version = (b1 >> 3) & 3;
        const int bitrateIndex = b2 >> 4;
        const int rateIndex = (b2 >> 2) & 3;
        if (quint8(data[at]) != 0xff || (b1 & 0xe0) != 0xe0 || bitrateIndex == 0 ||
            bitrateIndex == 15 || rateIndex == 3)
            throw SwfError(QStringLiteral("the encoder's MP3 frames are damaged"));
        const bool v1 = version == 3;
        const int rate = rates[rateIndex] / (v1 ? 1 : version == 2 ? 2 : 4);
        const int bitrate = (v1 ? mpeg1 : mpeg2)[bitrateIndex];
        const int length = (v1 ? 144000 : 72000) * bitrate / rate + ((b2 >> 1) & 1);
        frames.append({data.mid(at, length), v1 ? 1152 : 576});
        at += length;
    }
    return frames;
}

// IMA ADPCM with 4-bit codes, in the packets of 4096 samples the format uses.
QByteArray adpcm(const QList<qint16> &samples)
{
    static const int steps[89] = {
        7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
        25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
        88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
        307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
        1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
        3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
        12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    static const int indexShift[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    BitWriter out;
    out.writeUB(2, 2); // 4-bit codes
    int predicted = 0;
    int index = 0;
    for (int i = 0; i < samples.size(); ++i) {
        if (i % 4096 == 0) {
            predicted = samples[i];
            index = std::min(index, 63);
            out.writeSB(predicted, 16);
            out.writeUB(quint32(index), 6);
            continue;
        }
        const int step = steps[index];
        int diff = samples[i] - predicted;
        int code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        int delta = step >> 3;
        if (diff >= step) {
            code |= 4;
            diff -= step;
            delta += step;
        }
        if (diff >= step >> 1) {
            code |= 2;
            diff -= step >> 1;
            delta += step >> 1;
        }
        if (diff >= step >> 2) {
            code |= 1;
            delta += step >> 2;
        }
        predicted = std::clamp(predicted + ((code & 8) ? -delta : delta), -32768, 32767);
        index = std::clamp(index + indexShift[code & 7], 0, 88);
        out.writeUB(quint32(code), 4);
    }
    return out.bytes();
}

QByteArray soundFormat(int format, int rateCode, bool sixteenBit, quint32 samples)
{
    BitWriter out;
    out.writeUB(quint32(format), 4);
    out.writeUB(quint32(rateCode), 2);
    out.writeUB(sixteenBit, 1);
    out.writeUB(0, 1); // mono
    out.writeU32(samples);
    return out.bytes();
}

QByteArray startSound(quint16 id, quint16 loops = 1, bool envelope = false)
{
    BitWriter out;
    out.writeU16(id);
    out.writeU8(quint8((envelope ? 0x08 : 0) | (loops > 1 ? 0x04 : 0)));
    if (loops > 1)
        out.writeU16(loops);
    if (envelope) {
        out.writeU8(2);
        for (const auto &[pos, level] : {QPair<quint32, quint16>{0, 32768}, {22050, 4000}}) {
            out.writeU32(pos);
            out.writeU16(level);
            out.writeU16(level);
        }
    }
    return out.bytes();
}

// ---- Fonts and text -------------------------------------------------------

// Glyphs drawn here, in an EM square of em units, baseline at 0: a square,
// a triangle, a ring whose hole turns the other way, and a ring whose hole
// turns the same way with the fill on its other side.
QList<QByteArray> glyphShapes(double em)
{
    const double k = em / 1024;
    QList<QByteArray> glyphs;
    Records square(1, 0, 1);
    square.rect(QRectF(100 * k, -800 * k, 700 * k, 800 * k), -1, 1, -1);
    glyphs.append(square.finish());
    Records triangle(1, 0, 1);
    triangle.change(QPointF(100 * k, 0), 1, -1, -1)
        .lineTo(QPointF(450 * k, -820 * k))
        .lineTo(QPointF(800 * k, 0))
        .lineTo(QPointF(100 * k, 0));
    glyphs.append(triangle.finish());
    for (bool reversedHole : {true, false}) {
        Records ring(1, 0, 1);
        ring.ellipse(QRectF(80 * k, -840 * k, 760 * k, 840 * k), 0, 1, -1);
        ring.ellipse(QRectF(280 * k, -640 * k, 360 * k, 440 * k), reversedHole ? 0 : 1,
                     reversedHole ? 1 : 0, -1, reversedHole);
        glyphs.append(ring.finish());
    }
    return glyphs;
}

QByteArray offsetTable(const QList<QByteArray> &glyphs, bool wide, bool withCodeTable)
{
    const int entry = wide ? 4 : 2;
    const int count = int(glyphs.size()) + (withCodeTable ? 1 : 0);
    BitWriter out;
    int offset = count * entry;
    for (const QByteArray &g : glyphs) {
        wide ? out.writeU32(quint32(offset)) : out.writeU16(quint16(offset));
        offset += int(g.size());
    }
    if (withCodeTable)
        wide ? out.writeU32(quint32(offset)) : out.writeU16(quint16(offset));
    for (const QByteArray &g : glyphs)
        out.writeBytes(g);
    return out.bytes();
}

QByteArray defineFont2(const QList<QByteArray> &glyphs, bool font3)
{
    BitWriter out;
    out.writeU8(quint8((font3 ? 0x80 : 0) | 0x04)); // layout for font 3, wide codes
    out.writeU8(1);                                 // Latin
    const QByteArray name = font3 ? "ZorvinaShapes3" : "ZorvinaShapes2";
    out.writeU8(quint8(name.size()));
    out.writeBytes(name);
    out.writeU16(quint16(glyphs.size()));
    out.writeBytes(offsetTable(glyphs, false, true));
    for (int i = 0; i < glyphs.size(); ++i)
        out.writeU16(quint16('A' + i));
    if (font3) {
        const int em = 20480;
        out.writeU16(quint16(em * 8 / 10));
        out.writeU16(quint16(em * 2 / 10));
        out.writeU16(0);
        for (int i = 0; i < glyphs.size(); ++i)
            out.writeU16(quint16(em));
        for (int i = 0; i < glyphs.size(); ++i)
            out.writeBytes(rectBytes(QRect(0, -em, em, em)));
        out.writeU16(0); // no kerning
    }
    return out.bytes();
}

struct TextRun
{
    quint16 font = 0;
    Rgba color;
    QPointF origin; // pixels
    double height = 20;
    QList<int> glyphs;
    double advance = 20;
};

QByteArray defineText(const QList<TextRun> &runs, const Matrix &matrix, bool alpha)
{
    BitWriter records;
    const int glyphBits = 2;
    const int advanceBits = 14;
    for (const TextRun &run : runs) {
        records.writeU8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);
        records.writeU16(run.font);
        writeColor(records, run.color, alpha);
        records.writeU16(quint16(qint16(SwfUnits::toTwips(run.origin.x()))));
        records.writeU16(quint16(qint16(SwfUnits::toTwips(run.origin.y()))));
        records.writeU16(quint16(SwfUnits::toTwips(run.height)));
        records.writeU8(quint8(run.glyphs.size()));
        for (int g : run.glyphs) {
            records.writeUB(quint32(g), glyphBits);
            records.writeSB(SwfUnits::toTwips(run.advance), advanceBits);
        }
        records.align();
    }
    records.writeU8(0);
    BitWriter out;
    out.writeBytes(rectBytes(QRect(0, -4000, 4800, 4000)));
    out.writeBytes(matrixBytes(matrix));
    out.writeU8(glyphBits);
    out.writeU8(advanceBits);
    out.writeBytes(records.bytes());
    return out.bytes();
}

// ---- Movies -------------------------------------------------------------------

SwfWriter newMovie(Rgba background = {255, 255, 255}, bool actionScript3 = false)
{
    SwfWriter::Header header;
    header.stage = StageSize;
    header.frameRate = 24;
    header.actionScript3 = actionScript3;
    SwfWriter movie(header);
    movie.setBackgroundColor(background);
    return movie;
}

FeatureMovie still(const QString &name, SwfWriter &movie, QList<int> frames,
                   SwfWriter::Compression compression = SwfWriter::Compression::None)
{
    return FeatureMovie{name, movie.finish(compression), frames, false, true, true, QString()};
}

FeatureMovie withoutReference(FeatureMovie movie, const QString &note)
{
    movie.webReference = false;
    movie.note = note;
    return movie;
}

const Rgba Red{220, 40, 40};
const Rgba Green{40, 170, 70};
const Rgba Blue{40, 70, 210};
const Rgba Yellow{240, 200, 30};
const Rgba Purple{150, 50, 170};
const Rgba Black{20, 20, 20};

FeatureMovie shapeVersions(int version)
{
    SwfWriter movie = newMovie({250, 245, 230});
    const bool alpha = version >= 3;
    QList<QByteArray> fills = {solid(Red, alpha), solid({40, 70, 210, 160}, alpha)};
    QList<QByteArray> lines = {lineStyle(3, Black, alpha)};
    if (version == 4)
        lines = {lineStyle2(3, Black)};
    Records records(int(fills.size()), int(lines.size()));
    records.rect(QRectF(20, 20, 90, 70), 0, 1, 1);
    records.change(QPointF(60, 60), 2, 0, 0)
        .curveTo(QPointF(150, 20), QPointF(200, 80))
        .curveTo(QPointF(180, 160), QPointF(100, 150))
        .lineTo(QPointF(60, 60));
    if (version >= 2) {
        // New styles part-way: the index 1 after them is a new colour.
        records.newStyles({solid(Green, alpha)},
                          {version == 4 ? lineStyle2(6, Purple) : lineStyle(6, Purple, alpha)});
        records.change(QPointF(140, 110), 1, 0, 1);
        records.lineTo(QPointF(220, 110)).lineTo(QPointF(180, 170)).lineTo(QPointF(140, 110));
    }
    const quint16 id = defineShape(movie, version, fills, lines, records);
    place(movie, at(1, id));
    movie.showFrame();
    return still(QStringLiteral("shape%1").arg(version), movie, {1});
}

// One box per spread mode, the gradient smaller than the box so that the
// spread shows.
FeatureMovie gradients(const QString &name, Gradient::Type type, Interpolation interpolation,
                       const QList<Spread> &spreads)
{
    SwfWriter movie = newMovie();
    QList<QByteArray> fills;
    Records records(int(spreads.size()) * 2, 0);
    int n = 0;
    for (Spread spread : spreads) {
        for (double focal : {0.6, -0.5}) {
            const QRectF r(8 + 78 * (n / 2), 8 + 86 * (n % 2), 70, 78);
            Gradient g;
            g.type = type;
            g.matrix =
                gradientBox(r.center(), 34, type == Gradient::Linear ? 30 + 60 * (n % 2) : 0);
            g.spread = spread;
            g.interpolation = interpolation;
            g.stops = {{0, Red}, {128, {250, 250, 80, 255}}, {255, {30, 60, 200, 200}}};
            g.focal = focal;
            fills.append(gradientFill(g));
            ++n;
            records.rect(r, int(fills.size()), 0, -1);
        }
    }
    const quint16 id = defineShape(movie, type == Gradient::Focal ? 4 : 3, fills, {}, records, 0);
    place(movie, at(1, id));
    movie.showFrame();
    return still(name, movie, {1});
}

QList<FeatureMovie> gradientMovies()
{
    const QList<Spread> all = {Spread::Pad, Spread::Reflect, Spread::Repeat};
    const QString linearRgb =
        QStringLiteral("the web player's canvas renderer mixes gradients in sRGB only");
    QList<FeatureMovie> movies;
    for (Gradient::Type type : {Gradient::Linear, Gradient::Radial}) {
        const QString name = type == Gradient::Linear ? QStringLiteral("gradients-linear")
                                                      : QStringLiteral("gradients-radial");
        movies.append(gradients(name, type, Interpolation::Normal, all));
        movies.append(withoutReference(
            gradients(name + QStringLiteral("-linearrgb"), type, Interpolation::Linear, all),
            linearRgb));
    }
    movies.append(gradients(QStringLiteral("gradients-focal"), Gradient::Focal,
                            Interpolation::Normal, {Spread::Pad}));
    movies.append(withoutReference(
        gradients(QStringLiteral("gradients-focal-spread"), Gradient::Focal, Interpolation::Normal,
                  {Spread::Reflect, Spread::Repeat}),
        QStringLiteral("the web player's canvas renderer leaves out the focal point of reflected "
                       "and repeated gradients")));
    movies.append(withoutReference(gradients(QStringLiteral("gradients-focal-linearrgb"),
                                             Gradient::Focal, Interpolation::Linear, all),
                                   linearRgb));
    return movies;
}

// An 8x6 bitmap of distinct colours with a transparent corner.
QImage smallBitmap()
{
    QImage image(8, 6, QImage::Format_ARGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y,
                           ((x + y) % 2) ? qRgb(30 * x, 200 - 30 * y, 90)
                                         : qRgb(240, 240 - 20 * x, 40 * y));
    image.setPixel(7, 5, qRgba(0, 0, 0, 0));
    return image;
}

FeatureMovie bitmapFills()
{
    SwfWriter movie = newMovie({230, 230, 240});
    const quint16 bitmap =
        movie.defineCharacter(SwfTag::DefineBitsLossless2, lossless32(smallBitmap(), true));
    QList<QByteArray> fills;
    Records records(4, 0);
    const int types[] = {0x40, 0x41, 0x42, 0x43};
    for (int i = 0; i < 4; ++i) {
        const QRectF r(10 + 115 * (i % 2), 10 + 85 * (i / 2), 105, 75);
        // Four times enlarged, the first two also turned, so that the
        // repeat and clip edges and the smoothing show.
        const Matrix m = i < 2 ? rotated(20, 80, r.topLeft() + QPointF(20, 5))
                               : scaled(80, 80, r.topLeft() + QPointF(20, 10));
        fills.append(bitmapFill(types[i], bitmap, m));
        records.rect(r, i + 1, -1, -1);
    }
    const quint16 id = defineShape(movie, 3, fills, {}, records, 0);
    place(movie, at(1, id));
    movie.showFrame();
    return still(QStringLiteral("bitmap-fills"), movie, {1});
}

// Clipped bitmaps turned over, each way, smoothed and not: a mirrored
// picture is an ordinary thing in a movie.
FeatureMovie mirroredBitmaps()
{
    SwfWriter movie = newMovie({230, 230, 240});
    const quint16 bitmap =
        movie.defineCharacter(SwfTag::DefineBitsLossless2, lossless32(smallBitmap(), true));
    QList<QByteArray> fills;
    Records records(4, 0);
    for (int i = 0; i < 4; ++i) {
        const QRectF r(10 + 115 * (i % 2), 10 + 85 * (i / 2), 100, 75);
        // The picture's corner is where the matrix puts its origin: the far
        // side of the box when turned over.
        const Matrix m = i % 2 ? scaled(-80, 80, r.topLeft() + QPointF(80, 5))
                               : scaled(80, -80, r.topLeft() + QPointF(10, 65));
        fills.append(bitmapFill(i < 2 ? 0x41 : 0x43, bitmap, m));
        records.rect(r, i + 1, 0, -1);
    }
    place(movie, at(1, defineShape(movie, 3, fills, {}, records, 0)));
    movie.showFrame();
    return still(QStringLiteral("bitmap-mirrored"), movie, {1});
}

FeatureMovie jpegBitmap(int code)
{
    SwfWriter movie = newMovie({200, 220, 200});
    const QImage picture = testPicture(96, 72, code == SwfTag::DefineBitsJpeg3);
    const QByteArray jpeg = encoded(picture.convertToFormat(QImage::Format_RGB32), "JPG", 92);
    quint16 bitmap = 0;
    QString name;
    if (code == SwfTag::DefineBits) {
        const auto [tables, image] = splitJpeg(jpeg);
        movie.rawTag(SwfTag::JpegTables, tables);
        bitmap = movie.defineCharacter(SwfTag::DefineBits, image);
        name = QStringLiteral("bits-jpeg-tables");
    } else if (code == SwfTag::DefineBitsJpeg2) {
        bitmap = movie.defineCharacter(SwfTag::DefineBitsJpeg2, jpeg);
        name = QStringLiteral("bits-jpeg2");
    } else {
        QByteArray alpha;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                alpha += char(qAlpha(picture.pixel(x, y)));
        // Where the picture is clear its colour is black, so that the
        // colour means the same whether or not it counts as premultiplied.
        QImage opaque = picture.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width() / 3; ++x)
                opaque.setPixel(x, y, qRgb(0, 0, 0));
        const QByteArray data = encoded(opaque, "JPG", 92);
        BitWriter body;
        body.writeU32(quint32(data.size()));
        body.writeBytes(data);
        body.writeBytes(zlibData(alpha));
        bitmap = movie.defineCharacter(SwfTag::DefineBitsJpeg3, body.bytes());
        name = QStringLiteral("bits-jpeg3-alpha");
        place(movie, at(1, solidRect(movie, QRectF(0, 60, 240, 60), Purple)));
    }
    place(movie, at(2, bitmapRect(movie, bitmap, picture.size(), QPointF(20, 20))));
    // The same bitmap scaled and smoothed.
    Records records(1, 0);
    records.rect(QRectF(120, 60, 110, 110), -1, 1, -1);
    place(movie, at(3, defineShape(movie, 3, {bitmapFill(0x41, bitmap, scaled(22, 30, {120, 60}))},
                                   {}, records, 0)));
    movie.showFrame();
    return still(name, movie, {1});
}

FeatureMovie pngBitmap()
{
    SwfWriter movie = newMovie({200, 220, 200});
    const QImage picture = testPicture(64, 48, false).convertToFormat(QImage::Format_RGB32);
    const quint16 bitmap = movie.defineCharacter(SwfTag::DefineBitsJpeg2, encoded(picture, "PNG"));
    place(movie, at(1, bitmapRect(movie, bitmap, picture.size(), QPointF(30, 40))));
    movie.showFrame();
    return still(QStringLiteral("bits-jpeg2-png"), movie, {1});
}

FeatureMovie losslessBitmap(bool version2, bool colormapped)
{
    SwfWriter movie = newMovie({250, 250, 250});
    place(movie, at(1, solidRect(movie, QRectF(0, 70, 240, 40), Blue)));
    // 7 wide: colour-mapped rows are padded to four bytes. Only the second
    // version has alpha.
    QImage image(7, 5, QImage::Format_ARGB32);
    const QList<QRgb> palette =
        version2 ? QList<QRgb>{qRgb(220, 30, 30), qRgb(30, 160, 40), qRgb(250, 200, 0),
                               qRgba(0, 0, 0, 0), qRgb(20, 20, 120)}
                 : QList<QRgb>{qRgb(220, 30, 30), qRgb(30, 160, 40), qRgb(20, 20, 120)};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            image.setPixel(x, y, palette[(x * 3 + y) % palette.size()]);
    const QByteArray body =
        colormapped ? losslessColormapped(image, palette, version2) : lossless32(image, version2);
    const quint16 bitmap = movie.defineCharacter(
        version2 ? SwfTag::DefineBitsLossless2 : SwfTag::DefineBitsLossless, body);
    Records records(1, 0);
    records.rect(QRectF(20, 20, 7 * 20, 5 * 20), -1, 1, -1);
    place(movie, at(2, defineShape(movie, 3, {bitmapFill(0x43, bitmap, scaled(400, 400, {20, 20}))},
                                   {}, records, 0)));
    movie.showFrame();
    return still(QStringLiteral("bits-lossless%1-%2")
                     .arg(version2 ? QStringLiteral("2") : QString())
                     .arg(colormapped ? QStringLiteral("colormapped") : QStringLiteral("32bit")),
                 movie, {1});
}

QByteArray morphFill(Rgba from, Rgba to)
{
    BitWriter out;
    out.writeU8(0x00);
    writeColor(out, from, true);
    writeColor(out, to, true);
    return out.bytes();
}

QByteArray morphGradient(const Matrix &from, const Matrix &to)
{
    BitWriter out;
    out.writeU8(0x10);
    out.writeBytes(matrixBytes(from));
    out.writeBytes(matrixBytes(to));
    out.writeU8(2);
    out.writeU8(0);
    writeColor(out, Red, true);
    out.writeU8(60);
    writeColor(out, Yellow, true);
    out.writeU8(255);
    writeColor(out, Blue, true);
    out.writeU8(255);
    writeColor(out, Green, true);
    return out.bytes();
}

// Half-transparent pixels, stored premultiplied, over a band.
FeatureMovie translucentBitmap()
{
    SwfWriter movie = newMovie({250, 250, 250});
    place(movie, at(1, solidRect(movie, QRectF(0, 70, 240, 40), Blue)));
    QImage image(6, 4, QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            image.setPixel(x, y, qRgba(250, 200 - 40 * y, 30 * x, 60 + 30 * x));
    const quint16 bitmap =
        movie.defineCharacter(SwfTag::DefineBitsLossless2, lossless32(image, true));
    place(movie, at(2, bitmapRect(movie, bitmap, QSize(6, 4), QPointF(20, 20))));
    Records records(1, 0);
    records.rect(QRectF(40, 40, 120, 80), -1, 1, -1);
    place(movie, at(3, defineShape(movie, 3, {bitmapFill(0x43, bitmap, scaled(400, 400, {40, 40}))},
                                   {}, records, 0)));
    movie.showFrame();
    return withoutReference(still(QStringLiteral("bits-lossless2-translucent"), movie, {1}),
                            QStringLiteral("the web player's canvas renderer multiplies the "
                                           "premultiplied colours by their alpha once more"));
}

FeatureMovie morphShapes(bool version2)
{
    SwfWriter movie = newMovie({245, 245, 245});
    QByteArray lines;
    BitWriter line;
    if (version2) {
        line.writeU16(40);
        line.writeU16(200);
        line.writeUB(quint32(Cap::Square), 2);
        line.writeUB(quint32(Join::Bevel), 2);
        line.writeUB(0, 1);
        line.writeUB(0, 3);
        line.writeUB(0, 5);
        line.writeUB(0, 1);
        line.writeUB(quint32(Cap::None), 2);
    } else {
        line.writeU16(40);
        line.writeU16(200);
    }
    writeColor(line, Black, true);
    writeColor(line, {200, 30, 120, 180}, true);
    lines = styleCount(1, true) + line.bytes();
    const QByteArray fills =
        styleCount(2, true) + morphFill(Red, {40, 70, 210, 140}) +
        morphGradient(gradientBox({30, 30}, 50), gradientBox({40, 35}, 70, 90));

    Records start(2, 1);
    start.rect(QRectF(0, 0, 50, 50), -1, 1, 1);
    start.change(QPointF(10, 55), 2, -1, 0)
        .lineTo(QPointF(50, 55))
        .lineTo(QPointF(30, 75))
        .lineTo(QPointF(10, 55));
    Records end(0, 0);
    // The same edges, in the same order; a straight edge may become a curve.
    end.moveTo(QPointF(10, 5))
        .lineTo(QPointF(45, 0))
        .lineTo(QPointF(55, 40))
        .lineTo(QPointF(5, 55))
        .lineTo(QPointF(10, 5));
    end.moveTo(QPointF(0, 60))
        .curveTo(QPointF(30, 45), QPointF(60, 60))
        .lineTo(QPointF(30, 80))
        .lineTo(QPointF(0, 60));
    const QByteArray startBytes = start.finish();
    const QByteArray endBytes = end.finish();
    BitWriter body;
    body.writeBytes(rectBytes(start.bounds(), 200));
    body.writeBytes(rectBytes(end.bounds(), 200));
    if (version2) {
        body.writeBytes(rectBytes(start.bounds()));
        body.writeBytes(rectBytes(end.bounds()));
        body.writeU8(0x01);
    }
    body.writeU32(quint32(fills.size() + lines.size() + startBytes.size()));
    body.writeBytes(fills + lines + startBytes + endBytes);
    const quint16 id = movie.defineCharacter(
        version2 ? SwfTag::DefineMorphShape2 : SwfTag::DefineMorphShape, body.bytes());
    const quint16 ratios[] = {0, 16384, 40000, 65535};
    for (int i = 0; i < 4; ++i) {
        Place p = at(i + 1, id, Matrix::translation({10.0 + 57 * i, 20}));
        p.ratio = ratios[i];
        place(movie, p);
    }
    movie.showFrame();
    // The same objects, moved on to other ratios.
    for (int i = 0; i < 4; ++i) {
        Place p;
        p.depth = i + 1;
        p.move = true;
        p.ratio = quint16(65535 - ratios[i] / 3);
        p.matrix = scaled(1.2, 1.2, {10.0 + 57 * i, 90});
        place(movie, p);
    }
    movie.showFrame();
    return still(version2 ? QStringLiteral("morph2") : QStringLiteral("morph1"), movie, {1, 2});
}

// Caps, round and bevel joins, a hairline and a line with a gradient fill.
FeatureMovie strokes()
{
    SwfWriter movie = newMovie();
    Gradient g;
    g.matrix = gradientBox({120, 150}, 200);
    g.stops = {{0, Red}, {255, Blue}};
    QList<QByteArray> lines;
    for (Cap cap : {Cap::Round, Cap::None, Cap::Square})
        lines.append(lineStyle2(14, Blue, cap, cap));
    for (Join join : {Join::Round, Join::Bevel})
        lines.append(lineStyle2(12, Green, Cap::Round, Cap::Round, join));
    lines.append(lineStyle2(0, Black)); // hairline
    lines.append(lineStyle2(16, Black, Cap::Square, Cap::Round, Join::Round, 3, gradientFill(g)));
    Records records(0, int(lines.size()));
    for (int i = 0; i < 3; ++i)
        records.change(QPointF(20, 20 + 22 * i), -1, -1, i + 1).lineTo(QPointF(90, 20 + 22 * i));
    for (int i = 0; i < 2; ++i)
        records.change(QPointF(120 + 50 * i, 70), -1, -1, i + 4)
            .lineTo(QPointF(140 + 50 * i, 15))
            .lineTo(QPointF(160 + 50 * i, 70));
    records.change(QPointF(10, 90), -1, -1, 6)
        .lineTo(QPointF(230, 100))
        .curveTo(QPointF(120, 180), QPointF(10, 90));
    records.change(QPointF(30, 150), -1, -1, 7).curveTo(QPointF(120, 100), QPointF(210, 150));
    const quint16 id = defineShape(movie, 4, {}, lines, records);
    place(movie, at(1, id));
    movie.showFrame();
    return still(QStringLiteral("shape4-strokes"), movie, {1});
}

// Lines thinner than a pixel, straight, slanted and curved: what the
// character movies' guide lines are made of.
FeatureMovie thinLines()
{
    SwfWriter movie = newMovie({255, 250, 238});
    const QList<double> widths = {0.25, 0.5, 0.8};
    QList<QByteArray> lines;
    for (double width : widths)
        lines.append(lineStyle(width, {200, 80, 70}));
    Records records(0, int(lines.size()));
    for (int i = 0; i < widths.size(); ++i) {
        const double x = 10 + 75 * i;
        for (int k = 0; k < 6; ++k)
            records.change(QPointF(x + 10 * k, 10), -1, -1, i + 1)
                .lineTo(QPointF(x + 10 * k + 15, 80));
        records.change(QPointF(x, 100), -1, -1, i + 1).lineTo(QPointF(x + 65, 100));
        records.change(QPointF(x, 170), -1, -1, i + 1)
            .curveTo(QPointF(x + 30, 90), QPointF(x + 65, 170));
    }
    place(movie, at(1, defineShape(movie, 3, {}, lines, records)));
    movie.showFrame();
    return still(QStringLiteral("shape-thin-lines"), movie, {1});
}

// Miter joins at a sharp and a right angle, and a closed figure whose line
// must not join where it started.
FeatureMovie miterAndNoClose()
{
    SwfWriter movie = newMovie();
    const QList<QByteArray> lines = {
        lineStyle2(12, Green, Cap::Round, Cap::Round, Join::Miter, 2.5),
        lineStyle2(10, Purple, Cap::Round, Cap::Round, Join::Miter, 10, QByteArray(), true)};
    Records records(0, 2);
    records.change(QPointF(20, 80), -1, -1, 1).lineTo(QPointF(45, 15)).lineTo(QPointF(70, 80));
    records.change(QPointF(100, 30), -1, -1, 1).lineTo(QPointF(160, 30)).lineTo(QPointF(160, 80));
    records.change(QPointF(60, 110), -1, -1, 2)
        .lineTo(QPointF(180, 110))
        .lineTo(QPointF(180, 170))
        .lineTo(QPointF(60, 110));
    place(movie, at(1, defineShape(movie, 4, {}, lines, records)));
    movie.showFrame();
    return withoutReference(
        still(QStringLiteral("shape4-miter-noclose"), movie, {1}),
        QStringLiteral("the web player's canvas renderer measures the miter limit over the whole "
                       "miter, not from the corner, and draws a line with no close without joins"));
}

// Sprites two deep, each stopping itself on its last frame.
FeatureMovie nestedSprites()
{
    SwfWriter movie = newMovie({240, 240, 255});
    const quint16 small = solidRect(movie, QRectF(0, 0, 20, 20), Red);
    const quint16 bar = solidRect(movie, QRectF(0, 0, 60, 10), Green);
    SpriteTags inner;
    inner.place(at(1, small));
    inner.showFrame();
    Place moved;
    moved.depth = 1;
    moved.move = true;
    moved.matrix = Matrix::translation({25, 5});
    inner.place(moved);
    inner.tag(SwfTag::DoAction, Actions().stop().tagBody());
    inner.showFrame();
    const quint16 innerId = inner.define(movie);
    SpriteTags outer;
    outer.place(at(1, bar));
    outer.place(at(2, innerId, Matrix::translation({0, 20})));
    outer.place(at(3, small, Matrix::translation({70, 0})));
    outer.showFrame();
    moved.matrix = rotated(30, 1, {10, 0});
    outer.place(moved);
    outer.showFrame();
    outer.tag(SwfTag::RemoveObject2, u16Bytes(3));
    outer.tag(SwfTag::DoAction, Actions().stop().tagBody());
    outer.showFrame();
    const quint16 outerId = outer.define(movie);
    place(movie, at(1, outerId, Matrix::translation({20, 20})));
    Place second = at(2, outerId, rotated(-20, 1.5, {110, 80}));
    second.cx = ColorTransform{0.5, 1, 1, 0.8, 0, 60, 0, 0};
    place(movie, second);
    for (int i = 0; i < 5; ++i)
        movie.showFrame();
    return still(QStringLiteral("sprites-nested"), movie, {5});
}

// The first placing tags and both removals, frame labels between.
FeatureMovie placeAndRemove()
{
    SwfWriter movie = newMovie();
    const quint16 a = solidRect(movie, QRectF(0, 0, 40, 40), Red);
    const quint16 b = solidRect(movie, QRectF(0, 0, 40, 40), Blue);
    movie.rawTag(SwfTag::PlaceObject, placeObject1(a, 1, Matrix::translation({20, 20})));
    movie.rawTag(SwfTag::PlaceObject, placeObject1(b, 2, rotated(45, 1, {100, 20}),
                                                   ColorTransform{1, 0.5, 1, 1, 0, 0, 80}));
    movie.rawTag(SwfTag::FrameLabel, stringBytes("start"));
    movie.showFrame();
    BitWriter remove;
    remove.writeU16(a);
    remove.writeU16(1);
    movie.rawTag(SwfTag::RemoveObject, remove.bytes());
    place(movie, at(3, a, scaled(2, 1, {20, 100})));
    movie.showFrame();
    movie.rawTag(SwfTag::RemoveObject2, u16Bytes(2));
    movie.rawTag(SwfTag::FrameLabel, stringBytes("third"));
    movie.showFrame();
    return still(QStringLiteral("place1-remove"), movie, {1, 2, 3});
}

FeatureMovie matrices()
{
    SwfWriter movie = newMovie({255, 250, 240});
    Records records(2, 0);
    records.rect(QRectF(-20, -20, 40, 40), -1, 1, -1);
    records.change(QPointF(-20, -20), 2, -1, -1)
        .lineTo(QPointF(0, -20))
        .lineTo(QPointF(-20, 0))
        .lineTo(QPointF(-20, -20));
    const quint16 id = defineShape(movie, 3, {solid(Blue), solid(Yellow)}, {}, records, 0);
    const QList<Matrix> matrices = {
        Matrix::translation({30, 30}),
        scaled(1.8, 0.6, {100, 30}),
        scaled(-1, 1, {170, 30}),
        rotated(30, 1, {30, 110}),
        [] {
            Matrix m;
            m.skew0 = 0.5;
            m.translate = {100, 110};
            return m;
        }(),
        [] {
            Matrix m;
            m.skew1 = -0.7;
            m.scaleY = 1.3;
            m.translate = {180, 110};
            return m;
        }(),
    };
    for (int i = 0; i < matrices.size(); ++i) {
        Place p = at(i + 1, id, matrices[i]);
        if (i == 5)
            p.name = "skewed";
        i % 2 ? movie.rawTag(SwfTag::PlaceObject3, placeObject3(p)) : place(movie, p);
    }
    movie.showFrame();
    return still(QStringLiteral("place-matrices"), movie, {1});
}

FeatureMovie colorTransforms()
{
    SwfWriter movie = newMovie({40, 40, 40});
    // Stripes under everything, so that alpha shows.
    Records stripes(2, 0);
    for (int i = 0; i < 12; ++i)
        stripes.rect(QRectF(i * 20, 0, 10, 180), -1, 1 + i % 2, -1);
    place(movie, at(1, defineShape(movie, 3, {solid({230, 230, 230}), solid({90, 200, 90})}, {},
                                   stripes, 0)));
    Records records(2, 0);
    records.rect(QRectF(0, 0, 60, 60), -1, 1, -1);
    records.rect(QRectF(15, 15, 30, 30), -1, 2, -1);
    const quint16 id = defineShape(
        movie, 3, {solid({200, 100, 50, 255}), solid({50, 100, 200, 200})}, {}, records, 0);
    const QList<ColorTransform> transforms = {
        {1, 1, 1, 1, 0, 0, 0, 0},   {0.5, 1.5, 1, 1, 0, 0, 0, 0}, {1, 1, 1, 1, 80, -60, 120, 0},
        {1, 1, 1, 0.4, 0, 0, 0, 0}, {0, 0, 0, 1, 255, 0, 255, 0}, {-1, 1, 1, 1, 255, 0, 0, -80},
    };
    for (int i = 0; i < transforms.size(); ++i) {
        Place p = at(i + 2, id, Matrix::translation({15.0 + 75 * (i % 3), 15.0 + 85 * (i / 3)}));
        p.cx = transforms[i];
        place(movie, p);
    }
    movie.showFrame();
    return still(QStringLiteral("place-colortransforms"), movie, {1});
}

FeatureMovie moves()
{
    SwfWriter movie = newMovie();
    const quint16 a = solidRect(movie, QRectF(0, 0, 50, 30), Red);
    const quint16 b = solidRect(movie, QRectF(0, 0, 30, 50), Green);
    place(movie, at(1, a, Matrix::translation({20, 20})));
    place(movie, at(2, a, Matrix::translation({100, 20})));
    movie.showFrame();
    Place p;
    p.depth = 1;
    p.move = true;
    p.matrix = rotated(20, 1.5, {30, 60});
    place(movie, p);
    Place q;
    q.depth = 2;
    q.move = true;
    q.cx = ColorTransform{1, 1, 1, 0.5, 0, 0, 100, 0};
    place(movie, q);
    movie.showFrame();
    Place r;
    r.depth = 2;
    r.move = true;
    r.id = b; // the character changes, the matrix and colour stay
    place(movie, r);
    movie.showFrame();
    return still(QStringLiteral("place-moves"), movie, {1, 2, 3});
}

// Masks: a circle over stripes, masks inside masks, and a sprite as a mask.
FeatureMovie masks(int kind)
{
    SwfWriter movie = newMovie({250, 250, 250});
    Records stripes(2, 0);
    for (int i = 0; i < 12; ++i)
        stripes.rect(QRectF(i * 20, 0, 10, 180), -1, 1 + i % 2, -1);
    const quint16 stripesId = defineShape(movie, 3, {solid(Red), solid(Blue)}, {}, stripes, 0);
    Records circle(1, 0);
    circle.ellipse(QRectF(0, 0, 120, 120), -1, 1, -1);
    const quint16 circleId = defineShape(movie, 3, {solid(Black)}, {}, circle, 0);
    const quint16 band = solidRect(movie, QRectF(0, 0, 240, 50), Green);
    QString name;
    if (kind == 0) {
        Place mask = at(1, circleId, Matrix::translation({20, 20}));
        mask.clipDepth = 3;
        place(movie, mask);
        place(movie, at(2, stripesId));
        place(movie, at(3, band, Matrix::translation({0, 60})));
        place(movie, at(4, circleId, scaled(0.3, 0.3, {180, 120}))); // above the mask's reach
        name = QStringLiteral("mask-simple");
    } else if (kind == 1) {
        Place outer = at(1, circleId, scaled(1.5, 1.2, {10, 10}));
        outer.clipDepth = 10;
        place(movie, outer);
        place(movie, at(2, stripesId));
        Place inner = at(3, band, rotated(-25, 1, {0, 90}));
        inner.clipDepth = 5;
        place(movie, inner);
        place(movie, at(4, circleId, scaled(2, 2, {0, 0})));
        place(movie, at(6, band, Matrix::translation({0, 20})));
        name = QStringLiteral("mask-nested");
    } else {
        SpriteTags maskSprite;
        maskSprite.place(at(1, circleId, scaled(0.6, 0.6, {0, 0})));
        maskSprite.place(at(2, band, rotated(40, 0.6, {60, 10})));
        maskSprite.tag(SwfTag::DoAction, Actions().stop().tagBody());
        maskSprite.showFrame();
        const quint16 maskId = maskSprite.define(movie);
        Place mask = at(1, maskId, Matrix::translation({40, 30}));
        mask.clipDepth = 2;
        place(movie, mask);
        place(movie, at(2, stripesId));
        name = QStringLiteral("mask-sprite");
    }
    movie.showFrame();
    return still(name, movie, {1});
}

FeatureMovie texts(int fontVersion)
{
    SwfWriter movie = newMovie({255, 255, 240});
    const double em = fontVersion == 3 ? 20480 : 1024;
    const QList<QByteArray> glyphs = glyphShapes(em);
    quint16 font = 0;
    if (fontVersion == 1)
        font = movie.defineCharacter(SwfTag::DefineFont, offsetTable(glyphs, false, false));
    else
        font = movie.defineCharacter(fontVersion == 3 ? SwfTag::DefineFont3 : SwfTag::DefineFont2,
                                     defineFont2(glyphs, fontVersion == 3));
    const bool alpha = fontVersion != 1;
    const QList<TextRun> runs = {
        {font, Black, {10, 40}, 30, {0, 1, 2, 1}, 34},
        {font, {200, 30, 30, quint8(alpha ? 150 : 255)}, {10, 100}, 48, {2, 0, 2}, 50},
        {font, Blue, {20, 130}, 14, {1, 1, 0, 0, 2, 2, 1}, 16},
    };
    const Matrix matrix = fontVersion == 3 ? rotated(-10, 1, {20, 20}) : Matrix();
    const quint16 text = movie.defineCharacter(alpha ? SwfTag::DefineText2 : SwfTag::DefineText,
                                               defineText(runs, matrix, alpha));
    place(movie, at(1, text, Matrix::translation({10, 10})));
    movie.showFrame();
    return still(QStringLiteral("text-font%1").arg(fontVersion), movie, {1});
}

// A glyph's hole made by the side its fill is on, not by its direction.
FeatureMovie glyphFillSides()
{
    SwfWriter movie = newMovie({255, 255, 240});
    const quint16 font =
        movie.defineCharacter(SwfTag::DefineFont2, defineFont2(glyphShapes(1024), false));
    const quint16 text = movie.defineCharacter(
        SwfTag::DefineText2,
        defineText({{font, Black, {10, 120}, 100, {3, 2}, 110}}, Matrix(), true));
    place(movie, at(1, text));
    movie.showFrame();
    return still(QStringLiteral("text-glyph-fill-sides"), movie, {1});
}

// A sound's movie shows a frame counter: a bar one step longer each frame.
void counterFrames(SwfWriter &movie, int frames, const std::function<void(int)> &perFrame)
{
    const quint16 bar = solidRect(movie, QRectF(0, 0, 20, 30), Purple);
    for (int i = 0; i < frames; ++i) {
        place(movie, at(i + 1, bar, Matrix::translation({10.0 + 22 * i, 70})));
        perFrame(i);
        movie.showFrame();
    }
}

FeatureMovie eventSounds(int format)
{
    SwfWriter movie = newMovie();
    const QList<qint16> samples = tone(22050, 0.6, 440);
    quint16 id = 0;
    QString name;
    if (format == 2) {
        const QByteArray data = mp3(samples, 22050);
        id = movie.defineCharacter(SwfTag::DefineSound,
                                   soundFormat(2, 2, true, quint32(samples.size())) + u16Bytes(0) +
                                       data);
        name = QStringLiteral("sound-mp3");
    } else if (format == 1) {
        id = movie.defineCharacter(
            SwfTag::DefineSound, soundFormat(1, 2, true, quint32(samples.size())) + adpcm(samples));
        name = QStringLiteral("sound-adpcm");
    } else {
        BitWriter pcm;
        for (qint16 s : samples)
            pcm.writeU16(quint16(s));
        id = movie.defineCharacter(SwfTag::DefineSound,
                                   soundFormat(3, 2, true, quint32(samples.size())) + pcm.bytes());
        name = QStringLiteral("sound-pcm");
    }
    // 8-bit sound, stored the same in either byte order.
    QByteArray eight;
    for (qint16 s : tone(11025, 0.3, 660))
        eight += char(quint8(128 + s / 256));
    const quint16 bytes = movie.defineCharacter(
        SwfTag::DefineSound, soundFormat(0, 1, false, quint32(eight.size())) + eight);
    counterFrames(movie, 4, [&](int frame) {
        if (frame == 0)
            movie.rawTag(SwfTag::StartSound, startSound(id, 2, true));
        if (frame == 2)
            movie.rawTag(SwfTag::StartSound, startSound(bytes));
        if (frame == 3 && format == 3)
            doAction(movie, Actions().stopSounds());
    });
    return still(name, movie, {2, 4});
}

FeatureMovie streamSound()
{
    SwfWriter movie = newMovie();
    const int frames = 12;
    const int perFrame = 22050 / 24;
    const QList<qint16> samples = tone(22050, double(frames) / 24, 330);
    const QList<QPair<QByteArray, int>> mp3Data = mp3Frames(mp3(samples, 22050));
    BitWriter head;
    head.writeU8(0x0a); // plays at 22 kHz, 16-bit mono
    head.writeU8(0x2a); // MP3 at 22 kHz, 16-bit mono
    head.writeU16(quint16(perFrame));
    head.writeU16(0);
    movie.rawTag(SwfTag::SoundStreamHead, head.bytes());
    int next = 0;
    qint64 written = 0;
    counterFrames(movie, frames, [&](int frame) {
        QByteArray block;
        int count = 0;
        const qint64 startOfFrame = qint64(frame) * perFrame;
        const qint64 seek = startOfFrame - written;
        while (next < mp3Data.size() && written < qint64(frame + 1) * perFrame) {
            block += mp3Data[next].first;
            count += mp3Data[next].second;
            written += mp3Data[next].second;
            ++next;
        }
        if (block.isEmpty())
            return;
        BitWriter out;
        out.writeU16(quint16(count));
        out.writeU16(quint16(qint16(std::max<qint64>(seek, 0))));
        out.writeBytes(block);
        movie.rawTag(SwfTag::SoundStreamBlock, out.bytes());
    });
    return still(QStringLiteral("sound-stream"), movie, {3, 12});
}

FeatureMovie compressed(SwfWriter::Compression compression)
{
    SwfWriter movie = newMovie({210, 230, 250});
    Records records(2, 1);
    records.ellipse(QRectF(30, 20, 180, 140), -1, 1, 1);
    records.rect(QRectF(80, 60, 80, 60), -1, 2, -1);
    place(movie,
          at(1, defineShape(movie, 3, {solid(Yellow), solid(Red)}, {lineStyle(4, Blue)}, records)));
    movie.showFrame();
    return still(compression == SwfWriter::Compression::Zlib ? QStringLiteral("compressed-zlib")
                                                             : QStringLiteral("compressed-lzma"),
                 movie, {1}, compression);
}

// A movie whose frames each show their own number of bars, driven by
// actions: where it ends up stopped tells which actions ran right.
FeatureMovie actionMovie(const QString &name, int frames,
                         const std::function<void(SwfWriter &, int)> &actions)
{
    SwfWriter movie = newMovie();
    const quint16 bar = solidRect(movie, QRectF(0, 0, 20, 60), Green);
    const quint16 marker = solidRect(movie, QRectF(0, 0, 240, 20), Red);
    for (int i = 0; i < frames; ++i) {
        if (i == 0)
            place(movie, at(100, marker, Matrix::translation({0, 150})));
        place(movie, at(i + 1, bar, Matrix::translation({10.0 + 25 * i, 60})));
        if (i > 0) {
            // A frame's own marker position: frames that look alike could
            // hide a wrong jump.
            Place p;
            p.depth = 100;
            p.move = true;
            p.matrix = Matrix::translation({0, 150.0 - 10 * i});
            place(movie, p);
        }
        actions(movie, i);
        movie.showFrame();
    }
    return FeatureMovie{
        name, movie.finish(SwfWriter::Compression::None), {10}, true, true, true, QString()};
}

QList<FeatureMovie> actionMovies()
{
    QList<FeatureMovie> movies;
    movies.append(actionMovie(QStringLiteral("action-goto"), 6, [](SwfWriter &m, int f) {
        if (f == 0)
            doAction(m, Actions().gotoFrame(3)); // to the fourth frame, stopped there
    }));
    movies.append(actionMovie(QStringLiteral("action-play-stop"), 6, [](SwfWriter &m, int f) {
        if (f == 0)
            doAction(m, Actions().stop().play());
        if (f == 2)
            doAction(m, Actions().stop());
    }));
    movies.append(actionMovie(QStringLiteral("action-next-prev"), 6, [](SwfWriter &m, int f) {
        if (f == 0)
            doAction(m, Actions().nextFrame()); // second frame, stopped
        if (f == 1)
            doAction(m, Actions().play());
        if (f == 3)
            doAction(m, Actions().prevFrame()); // back to the third, stopped
    }));
    movies.append(actionMovie(QStringLiteral("action-gotolabel"), 6, [](SwfWriter &m, int f) {
        if (f == 0)
            doAction(m, Actions().gotoLabel("Target").stop());
        if (f == 4)
            m.rawTag(SwfTag::FrameLabel, stringBytes("target"));
    }));
    movies.append(actionMovie(QStringLiteral("action-goto2"), 7, [](SwfWriter &m, int f) {
        if (f == 0)
            doAction(m, Actions().pushInt(3).gotoFrame2(true)); // plays on from the third
        if (f == 4)
            doAction(m, Actions().pushString("end").gotoFrame2(false));
        if (f == 5)
            m.rawTag(SwfTag::FrameLabel, stringBytes("end"));
    }));
    movies.append(actionMovie(QStringLiteral("action-branches"), 6, [](SwfWriter &m, int f) {
        if (f == 4)
            m.rawTag(SwfTag::FrameLabel, stringBytes("goal"));
        if (f != 0)
            return;
        // Any wrong turn ends on the second frame.
        const Actions wrong = Actions().gotoFrame(1).stop();
        const Actions jump = Actions().jumpSkip(wrong);
        Actions program;
        program.constantPool({"x", "goal"});
        program.pushBool(true).ifSkip(wrong).then(wrong);            // taken
        program.pushBool(false).ifSkip(jump).then(jump).then(wrong); // not taken, then jumps
        program.pushConstant(1).gotoFrame2(false);
        doAction(m, program);
    }));
    movies.append(
        actionMovie(QStringLiteral("action-geturl-fscommand"), 4, [](SwfWriter &m, int f) {
            if (f == 0)
                doAction(m, Actions()
                                .getUrl("https://example.invalid/", "_blank")
                                .getUrl("FSCommand:quit", "")
                                .getUrl("FSCommand:fullscreen", "true"));
            if (f == 2)
                doAction(m, Actions().stop());
        }));
    return movies;
}

// Movies the native player leaves to the web player.
QList<FeatureMovie> fallbackMovies()
{
    QList<FeatureMovie> movies;
    {
        SwfWriter movie = newMovie();
        BitWriter edit;
        edit.writeBytes(rectBytes(QRect(0, 0, 2000, 400)));
        edit.writeU8(0x80 | 0x08); // has text, read only
        edit.writeU8(0x00);
        edit.writeString("x");
        edit.writeString("Hello");
        place(movie, at(1, movie.defineCharacter(SwfTag::DefineEditText, edit.bytes())));
        movie.showFrame();
        movies.append({QStringLiteral("fallback-edittext"),
                       movie.finish(SwfWriter::Compression::None),
                       {1},
                       false,
                       false,
                       true,
                       QString()});
    }
    {
        SwfWriter movie = newMovie();
        const quint16 id = solidRect(movie, QRectF(40, 40, 100, 80), Red);
        BitWriter blur;
        blur.writeU8(1); // one filter
        blur.writeU8(1); // blur
        blur.writeU32(4 << 16);
        blur.writeU32(4 << 16);
        blur.writeU8(1 << 3);
        movie.rawTag(SwfTag::PlaceObject3, placeObject3(at(1, id), blur.bytes()));
        movie.showFrame();
        movies.append({QStringLiteral("fallback-filter"),
                       movie.finish(SwfWriter::Compression::None),
                       {1},
                       false,
                       false,
                       true,
                       QString()});
    }
    {
        SwfWriter movie = newMovie();
        const quint16 shape = solidRect(movie, QRectF(40, 40, 100, 80), Green);
        BitWriter button;
        button.writeU8(0);    // not a menu
        button.writeU16(0);   // no actions
        button.writeU8(0x0f); // every state
        button.writeU16(shape);
        button.writeU16(1);
        button.writeBytes(matrixBytes(Matrix()));
        button.writeBytes(colorTransform(ColorTransform(), true));
        button.writeU8(0);
        place(movie, at(1, movie.defineCharacter(SwfTag::DefineButton2, button.bytes())));
        movie.showFrame();
        movies.append({QStringLiteral("fallback-button2"),
                       movie.finish(SwfWriter::Compression::None),
                       {1},
                       false,
                       false,
                       true,
                       QString()});
    }
    {
        SwfWriter movie = newMovie({255, 255, 255}, true);
        BitWriter abc;
        abc.writeU32(1); // lazy
        abc.writeString("main");
        abc.writeU16(16);                     // minor
        abc.writeU16(46);                     // major
        abc.writeBytes(QByteArray(12, '\0')); // empty constant pools and tables
        movie.rawTag(SwfTag::DoAbc, abc.bytes());
        movie.showFrame();
        movies.append({QStringLiteral("fallback-avm2"),
                       movie.finish(SwfWriter::Compression::None),
                       {1},
                       false,
                       false,
                       true,
                       QString()});
    }
    return movies;
}

// ---- Cutting a movie at a frame -----------------------------------------------

quint32 u32At(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
           quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}

QByteArray inflateZlib(const QByteArray &data, quint32 expected)
{
    QByteArray withSize(4, '\0');
    withSize[0] = char(expected >> 24);
    withSize[1] = char(expected >> 16);
    withSize[2] = char(expected >> 8);
    withSize[3] = char(expected);
    const QByteArray out = qUncompress(withSize + data);
    if (out.size() != qsizetype(expected))
        throw SwfError(QStringLiteral("the movie's zlib data is damaged"));
    return out;
}

QByteArray inflateLzma(const QByteArray &data, quint32 expected)
{
    if (data.size() < 9)
        throw SwfError(QStringLiteral("the movie's LZMA header is cut short"));
    lzma_options_lzma options{};
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    // Properties: lc/lp/pb in one byte, the dictionary size after it.
    const quint8 props = quint8(data[4]);
    if (props >= 9 * 5 * 5)
        throw SwfError(QStringLiteral("the movie's LZMA properties are damaged"));
    options.lc = props % 9;
    options.lp = (props / 9) % 5;
    options.pb = props / 45;
    options.dict_size = std::max<quint32>(u32At(data, 5), 4096);
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(options, expected);
    QByteArray out(qsizetype(expected), Qt::Uninitialized);
    size_t inPos = 0;
    size_t outPos = 0;
    const lzma_ret result = lzma_raw_buffer_decode(
        filters, nullptr, reinterpret_cast<const uint8_t *>(data.constData()) + 9, &inPos,
        size_t(data.size() - 9), reinterpret_cast<uint8_t *>(out.data()), &outPos, out.size());
    if ((result != LZMA_OK && result != LZMA_STREAM_END) || outPos != expected)
        throw SwfError(QStringLiteral("the movie's LZMA data is damaged"));
    return out;
}

// A movie's body, uncompressed, and what is needed to pack it again.
struct Unpacked
{
    QByteArray signature;
    quint8 version = 0;
    QByteArray body;    // after the first eight bytes
    int headerSize = 0; // the stage rectangle, frame rate and count
};

Unpacked unpack(const QByteArray &movie)
{
    if (movie.size() < 8)
        throw SwfError(QStringLiteral("not a movie: %1 bytes").arg(movie.size()));
    Unpacked unpacked;
    unpacked.signature = movie.left(3);
    unpacked.version = quint8(movie[3]);
    if (unpacked.signature != "FWS" && unpacked.signature != "CWS" && unpacked.signature != "ZWS")
        throw SwfError(QStringLiteral("not a Flash movie"));
    const quint32 length = u32At(movie, 4);
    if (length < 8 || length > 256u * 1024 * 1024)
        throw SwfError(QStringLiteral("the movie's length %1 is not believable").arg(length));
    if (unpacked.signature == "FWS")
        unpacked.body = movie.mid(8, length - 8);
    else if (unpacked.signature == "CWS")
        unpacked.body = inflateZlib(movie.mid(8), length - 8);
    else
        unpacked.body = inflateLzma(movie.mid(8), length - 8);
    if (unpacked.body.size() < qsizetype(length - 8) || unpacked.body.isEmpty())
        throw SwfError(QStringLiteral("the movie is cut short"));
    const int rectBits = quint8(unpacked.body[0]) >> 3;
    unpacked.headerSize = (5 + 4 * rectBits + 7) / 8 + 4;
    if (unpacked.headerSize > unpacked.body.size())
        throw SwfError(QStringLiteral("the movie's header is cut short"));
    return unpacked;
}

QByteArray pack(const Unpacked &unpacked, QByteArray body)
{
    BitWriter file;
    file.writeBytes(unpacked.signature);
    file.writeU8(unpacked.version);
    file.writeU32(quint32(body.size() + 8));
    if (unpacked.signature == "CWS")
        body = SwfCompression::zlib(body);
    else if (unpacked.signature == "ZWS")
        body = SwfCompression::lzma(body);
    return file.bytes() + body;
}

QByteArray tagHeader(int code, int length)
{
    BitWriter out;
    if (length < 0x3f) {
        out.writeU16(quint16((code << 6) | length));
    } else {
        out.writeU16(quint16((code << 6) | 0x3f));
        out.writeU32(quint32(length));
    }
    return out.bytes();
}

} // namespace

QList<FeatureMovie> featureMovies()
{
    QList<FeatureMovie> movies;
    for (int version = 1; version <= 4; ++version)
        movies.append(shapeVersions(version));
    movies.append(strokes());
    movies.append(miterAndNoClose());
    movies.append(thinLines());
    movies += gradientMovies();
    movies.append(bitmapFills());
    movies.append(mirroredBitmaps());
    for (int code :
         {int(SwfTag::DefineBits), int(SwfTag::DefineBitsJpeg2), int(SwfTag::DefineBitsJpeg3)})
        movies.append(jpegBitmap(code));
    movies.append(pngBitmap());
    for (bool version2 : {false, true})
        for (bool colormapped : {true, false})
            movies.append(losslessBitmap(version2, colormapped));
    movies.append(translucentBitmap());
    movies.append(morphShapes(false));
    movies.append(morphShapes(true));
    movies.append(nestedSprites());
    movies.append(placeAndRemove());
    movies.append(matrices());
    movies.append(colorTransforms());
    movies.append(moves());
    for (int kind = 0; kind < 3; ++kind)
        movies.append(masks(kind));
    for (int font = 1; font <= 3; ++font)
        movies.append(texts(font));
    movies.append(glyphFillSides());
    for (int format : {2, 1, 3})
        movies.append(eventSounds(format));
    movies.append(streamSound());
    movies.append(compressed(SwfWriter::Compression::Zlib));
    movies.append(compressed(SwfWriter::Compression::Lzma));
    movies += actionMovies();
    movies += fallbackMovies();
    return movies;
}

QByteArray stillAt(const QByteArray &movie, int frame)
{
    const Unpacked unpacked = unpack(movie);
    const QByteArray &body = unpacked.body;
    if (frame < 1)
        throw SwfError(QStringLiteral("frame %1 does not exist").arg(frame));
    int at = unpacked.headerSize;
    int shown = 0;
    while (at + 2 <= body.size()) {
        const int start = at;
        const quint16 header = quint16(quint8(body[at]) | quint8(body[at + 1]) << 8);
        const int code = header >> 6;
        qint64 size = header & 0x3f;
        at += 2;
        if (size == 0x3f) {
            if (at + 4 > body.size())
                throw SwfError(QStringLiteral("a tag header is cut short"));
            size = u32At(body, at);
            at += 4;
        }
        if (size > body.size() - at)
            throw SwfError(QStringLiteral("a tag runs past the end of the movie"));
        at += int(size);
        if (code == SwfTag::End)
            break;
        if (code == SwfTag::ShowFrame && ++shown == frame) {
            QByteArray out = body.left(start) + tagHeader(SwfTag::DoAction, 2) +
                             QByteArray("\x07\x00", 2) + body.mid(start, at - start) +
                             QByteArray(2, '\0');
            out[unpacked.headerSize - 2] = char(frame & 0xff);
            out[unpacked.headerSize - 1] = char(frame >> 8);
            return pack(unpacked, out);
        }
    }
    throw SwfError(QStringLiteral("the movie has %1 frames, not %2").arg(shown).arg(frame));
}

QByteArray withFrameRate(const QByteArray &movie, double framesPerSecond)
{
    Unpacked unpacked = unpack(movie);
    const int rate = qRound(framesPerSecond * 256);
    if (rate < 1 || rate > 0xffff)
        throw SwfError(QStringLiteral("frame rate %1 is out of range").arg(framesPerSecond));
    unpacked.body[unpacked.headerSize - 4] = char(rate & 0xff);
    unpacked.body[unpacked.headerSize - 3] = char(rate >> 8);
    return pack(unpacked, unpacked.body);
}
