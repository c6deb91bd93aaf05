// SPDX-License-Identifier: GPL-3.0-or-later
#include "swfwriter.h"
#include "swferror.h"

#include <QtMath>
#include <algorithm>
#include <cmath>
#include <limits>
#include <lzma.h>
#include <zlib.h>

namespace {

// Translations are written in a field of at most 31 bits.
constexpr qint32 MaxTranslateTwips = (1 << 30) - 1;
constexpr int MaxDepth = 65535;

bool sameColor(Rgba a, Rgba b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

void writeRgba(BitWriter &out, Rgba color)
{
    out.writeU8(color.r);
    out.writeU8(color.g);
    out.writeU8(color.b);
    out.writeU8(color.a);
}

// A style array's count is one byte, or 0xFF followed by a 16-bit count.
void writeStyleCount(BitWriter &out, int count)
{
    if (count < 0xff) {
        out.writeU8(quint8(count));
    } else {
        out.writeU8(0xff);
        out.writeU16(quint16(count));
    }
}

struct TwipsPoint
{
    qint32 x = 0;
    qint32 y = 0;
};

TwipsPoint toTwips(QPointF point)
{
    return {SwfUnits::toTwips(point.x()), SwfUnits::toTwips(point.y())};
}

// Collects the distinct fill and line styles of a shape, as the file stores
// each style once and refers to it by a 1-based index.
struct StyleTable
{
    QList<Rgba> fills;
    QList<quint16> lineWidths;
    QList<Rgba> lineColors;

    int fillIndex(const std::optional<Rgba> &fill)
    {
        if (!fill)
            return 0;
        for (int i = 0; i < fills.size(); ++i) {
            if (sameColor(fills[i], *fill))
                return i + 1;
        }
        fills.append(*fill);
        return int(fills.size());
    }

    int lineIndex(const std::optional<LineStyle> &line)
    {
        if (!line)
            return 0;
        const qint32 width = SwfUnits::toTwips(line->width);
        if (width <= 0 || width > 0xffff)
            throw SwfError(QStringLiteral("line width %1 px is out of range").arg(line->width));
        for (int i = 0; i < lineWidths.size(); ++i) {
            if (lineWidths[i] == width && sameColor(lineColors[i], line->color))
                return i + 1;
        }
        lineWidths.append(quint16(width));
        lineColors.append(line->color);
        return int(lineWidths.size());
    }
};

class ShapeEncoder
{
public:
    explicit ShapeEncoder(const Shape &shape) : m_shape(shape) {}

    QByteArray encode(quint16 id)
    {
        QList<QPair<int, int>> partStyles;
        for (const ShapePart &part : m_shape.parts) {
            checkPart(part);
            partStyles.append({m_styles.fillIndex(part.fill), m_styles.lineIndex(part.line)});
        }
        if (partStyles.isEmpty())
            throw SwfError(QStringLiteral("a shape has no outline"));
        if (unsignedBits(quint32(m_styles.fills.size())) > 15 ||
            unsignedBits(quint32(m_styles.lineWidths.size())) > 15)
            throw SwfError(QStringLiteral("a shape has too many styles"));
        m_fillBits = unsignedBits(quint32(m_styles.fills.size()));
        m_lineBits = unsignedBits(quint32(m_styles.lineWidths.size()));

        BitWriter records;
        for (int i = 0; i < m_shape.parts.size(); ++i)
            writePart(records, m_shape.parts[i], partStyles[i].first, partStyles[i].second);
        records.writeUB(0, 6); // end of shape
        records.align();

        BitWriter out;
        out.writeU16(id);
        writeBounds(out);
        writeStyles(out);
        out.writeUB(quint32(m_fillBits), 4);
        out.writeUB(quint32(m_lineBits), 4);
        out.writeBytes(records.bytes());
        return out.bytes();
    }

private:
    void checkPart(const ShapePart &part)
    {
        if (!part.fill && !part.line)
            throw SwfError(QStringLiteral("a shape outline has neither fill nor line"));
        const QList<ShapePath::Segment> &segments = part.path.segments();
        if (segments.isEmpty())
            throw SwfError(QStringLiteral("a shape outline is empty"));
        if (segments.first().type != ShapePath::Segment::Type::Move)
            throw SwfError(QStringLiteral("a shape outline does not start with a move"));
        const bool hasEdge = std::any_of(segments.begin(), segments.end(), [](const auto &s) {
            return s.type != ShapePath::Segment::Type::Move;
        });
        if (!hasEdge)
            throw SwfError(QStringLiteral("a shape outline has no edge"));
        if (part.line)
            m_maxLineWidth = std::max(m_maxLineWidth, SwfUnits::toTwips(part.line->width));
        for (const ShapePath::Segment &segment : segments) {
            include(toTwips(segment.end));
            if (segment.type == ShapePath::Segment::Type::Quad)
                include(toTwips(segment.control));
        }
    }

    void include(TwipsPoint p)
    {
        if (!m_hasBounds) {
            m_min = m_max = p;
            m_hasBounds = true;
        }
        m_min = {std::min(m_min.x, p.x), std::min(m_min.y, p.y)};
        m_max = {std::max(m_max.x, p.x), std::max(m_max.y, p.y)};
    }

    void writeBounds(BitWriter &out) const
    {
        const qint32 margin = (m_maxLineWidth + 1) / 2;
        SwfUnits::writeRect(out, m_min.x - margin, m_max.x + margin, m_min.y - margin,
                            m_max.y + margin);
    }

    void writeStyles(BitWriter &out) const
    {
        writeStyleCount(out, int(m_styles.fills.size()));
        for (Rgba fill : m_styles.fills) {
            out.writeU8(0x00); // solid fill
            writeRgba(out, fill);
        }
        writeStyleCount(out, int(m_styles.lineWidths.size()));
        for (int i = 0; i < m_styles.lineWidths.size(); ++i) {
            out.writeU16(m_styles.lineWidths[i]);
            writeRgba(out, m_styles.lineColors[i]);
        }
    }

    void writePart(BitWriter &out, const ShapePart &part, int fill, int line)
    {
        bool first = true;
        for (const ShapePath::Segment &segment : part.path.segments()) {
            const TwipsPoint end = toTwips(segment.end);
            switch (segment.type) {
            case ShapePath::Segment::Type::Move:
                writeMove(out, end, first, fill, line);
                first = false;
                break;
            case ShapePath::Segment::Type::Line:
                writeLine(out, end);
                break;
            case ShapePath::Segment::Type::Quad:
                writeCurve(out, toTwips(segment.control), end);
                break;
            }
        }
    }

    // The first move of an outline also selects its styles; the fill goes on
    // one side of the edges only, so the figure is filled whichever way it
    // winds.
    void writeMove(BitWriter &out, TwipsPoint to, bool withStyles, int fill, int line)
    {
        out.writeUB(0, 1);                  // style change record
        out.writeUB(0, 1);                  // no new styles
        out.writeUB(withStyles ? 1 : 0, 1); // line style
        out.writeUB(0, 1);                  // fill style 1
        out.writeUB(withStyles ? 1 : 0, 1); // fill style 0
        out.writeUB(1, 1);                  // move to
        const int bits = signedBits({to.x, to.y});
        out.writeUB(quint32(bits), 5);
        out.writeSB(to.x, bits);
        out.writeSB(to.y, bits);
        if (withStyles) {
            out.writeUB(quint32(fill), m_fillBits);
            out.writeUB(quint32(line), m_lineBits);
        }
        m_pen = to;
    }

    void writeLine(BitWriter &out, TwipsPoint to)
    {
        const qint32 dx = to.x - m_pen.x;
        const qint32 dy = to.y - m_pen.y;
        if (dx == 0 && dy == 0)
            return;
        const int bits = std::max(2, signedBits({dx, dy}));
        out.writeUB(1, 1); // edge
        out.writeUB(1, 1); // straight
        out.writeUB(quint32(bits - 2), 4);
        if (dx != 0 && dy != 0) {
            out.writeUB(1, 1); // general line
            out.writeSB(dx, bits);
            out.writeSB(dy, bits);
        } else {
            out.writeUB(0, 1);
            out.writeUB(dx == 0 ? 1 : 0, 1); // vertical
            out.writeSB(dx == 0 ? dy : dx, bits);
        }
        m_pen = to;
    }

    void writeCurve(BitWriter &out, TwipsPoint control, TwipsPoint to)
    {
        const qint32 cx = control.x - m_pen.x;
        const qint32 cy = control.y - m_pen.y;
        const qint32 ax = to.x - control.x;
        const qint32 ay = to.y - control.y;
        if (cx == 0 && cy == 0 && ax == 0 && ay == 0)
            return;
        const int bits = std::max(2, signedBits({cx, cy, ax, ay}));
        if (bits > 17)
            throw SwfError(QStringLiteral("a curve is too long to encode"));
        out.writeUB(1, 1); // edge
        out.writeUB(0, 1); // curved
        out.writeUB(quint32(bits - 2), 4);
        out.writeSB(cx, bits);
        out.writeSB(cy, bits);
        out.writeSB(ax, bits);
        out.writeSB(ay, bits);
        m_pen = to;
    }

    const Shape &m_shape;
    StyleTable m_styles;
    int m_fillBits = 0;
    int m_lineBits = 0;
    qint32 m_maxLineWidth = 0;
    bool m_hasBounds = false;
    TwipsPoint m_min;
    TwipsPoint m_max;
    TwipsPoint m_pen;
};

int soundRateCode(int sampleRate)
{
    switch (sampleRate) {
    case 11025:
        return 1;
    case 22050:
        return 2;
    case 44100:
        return 3;
    default:
        throw SwfError(
            QStringLiteral("MP3 sound at %1 Hz cannot be played; use 11025, 22050 or 44100 Hz")
                .arg(sampleRate));
    }
}

// Reads the first MP3 frame header so that data which is not MP3, or does
// not match the declared rate and channels, is refused.
void checkMp3(const Mp3Sound &sound)
{
    const QByteArray &data = sound.frames;
    if (data.size() < 4 || quint8(data[0]) != 0xff || (quint8(data[1]) & 0xe0) != 0xe0)
        throw SwfError(QStringLiteral("sound data does not start with an MP3 frame"));
    const int version = (quint8(data[1]) >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (quint8(data[1]) >> 1) & 3;   // 1: layer III
    const int rateIndex = (quint8(data[2]) >> 2) & 3;
    if (version == 1 || layer != 1 || rateIndex == 3)
        throw SwfError(QStringLiteral("sound data is not MPEG layer III"));
    static const int rates[3] = {44100, 48000, 32000};
    const int divisor = version == 3 ? 1 : version == 2 ? 2 : 4;
    if (rates[rateIndex] / divisor != sound.sampleRate)
        throw SwfError(QStringLiteral("MP3 data is at %1 Hz, not the declared %2 Hz")
                           .arg(rates[rateIndex] / divisor)
                           .arg(sound.sampleRate));
    const bool mono = (quint8(data[3]) >> 6) == 3;
    if (mono == sound.stereo)
        throw SwfError(QStringLiteral("MP3 data and declared sound differ in channels"));
}

} // namespace

namespace SwfCompression {

QByteArray zlib(const QByteArray &data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(int(size), Qt::Uninitialized);
    const int result = compress2(reinterpret_cast<Bytef *>(out.data()), &size,
                                 reinterpret_cast<const Bytef *>(data.constData()),
                                 uLong(data.size()), Z_BEST_COMPRESSION);
    if (result != Z_OK)
        throw SwfError(QStringLiteral("zlib compression failed (%1)").arg(result));
    out.resize(int(size));
    return out;
}

// The "ZWS" body: the compressed size, LZMA's five property bytes, then the
// raw stream without an end marker (the header's length says where it ends).
QByteArray lzma(const QByteArray &data)
{
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6))
        throw SwfError(QStringLiteral("LZMA refused its preset"));
    options.ext_flags = 0;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    // Past this, data that does not compress still fits.
    QByteArray out(int(data.size() + data.size() / 2 + 4096), Qt::Uninitialized);
    size_t written = 0;
    const lzma_ret result = lzma_raw_buffer_encode(
        filters, nullptr, reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()),
        reinterpret_cast<uint8_t *>(out.data()), &written, size_t(out.size()));
    if (result != LZMA_OK)
        throw SwfError(QStringLiteral("LZMA compression failed (%1)").arg(int(result)));
    out.resize(int(written));
    BitWriter body;
    body.writeU32(quint32(written));
    body.writeU8(quint8((options.pb * 5 + options.lp) * 9 + options.lc));
    body.writeU32(options.dict_size);
    body.writeBytes(out);
    return body.bytes();
}

} // namespace SwfCompression

void ShapePath::moveTo(QPointF point)
{
    m_segments.append({Segment::Type::Move, QPointF(), point});
    m_figureStart = point;
}

void ShapePath::lineTo(QPointF point)
{
    m_segments.append({Segment::Type::Line, QPointF(), point});
}

void ShapePath::quadTo(QPointF control, QPointF end)
{
    m_segments.append({Segment::Type::Quad, control, end});
}

void ShapePath::close()
{
    if (!m_segments.isEmpty() && m_segments.last().end != m_figureStart)
        lineTo(m_figureStart);
}

Matrix Matrix::translation(QPointF offset)
{
    Matrix matrix;
    matrix.translate = offset;
    return matrix;
}

ActionList &ActionList::stop()
{
    m_bytes.append(char(0x07));
    return *this;
}

ActionList &ActionList::getUrl(const QByteArray &url, const QByteArray &target)
{
    BitWriter strings;
    strings.writeString(url);
    strings.writeString(target);
    const QByteArray data = strings.bytes();
    if (data.size() > 0xffff)
        throw SwfError(QStringLiteral("a URL is too long"));
    BitWriter out;
    out.writeU8(0x83);
    out.writeU16(quint16(data.size()));
    out.writeBytes(data);
    m_bytes.append(out.bytes());
    return *this;
}

SwfWriter::SwfWriter(const Header &header) : m_header(header)
{
    if (header.version < 10 || header.version > 255)
        throw SwfError(QStringLiteral("movie version %1 is not supported").arg(header.version));
    if (header.stage.width() <= 0 || header.stage.height() <= 0)
        throw SwfError(QStringLiteral("the stage has no area"));
    SwfUnits::toTwips(header.stage.width(), MaxTranslateTwips);
    SwfUnits::toTwips(header.stage.height(), MaxTranslateTwips);
    const double rate = header.frameRate * 256.0;
    if (!qIsFinite(rate) || qRound(rate) < 1 || qRound(rate) > 0xffff)
        throw SwfError(QStringLiteral("frame rate %1 is out of range").arg(header.frameRate));

    BitWriter attributes;
    // Local-file sandbox, no metadata; ActionScript 1/2 unless asked.
    attributes.writeU32(header.actionScript3 ? 0x08 : 0);
    writeTag(SwfTag::FileAttributes, attributes.bytes());
}

void SwfWriter::setBackgroundColor(Rgba color)
{
    checkUsable();
    BitWriter rgb;
    rgb.writeU8(color.r);
    rgb.writeU8(color.g);
    rgb.writeU8(color.b);
    writeTag(SwfTag::SetBackgroundColor, rgb.bytes());
}

quint16 SwfWriter::defineShape(const Shape &shape)
{
    checkUsable();
    const quint16 id = nextCharacterId();
    writeTag(SwfTag::DefineShape3, ShapeEncoder(shape).encode(id));
    m_sounds.append(false);
    return id;
}

void SwfWriter::placeObject(int depth, quint16 characterId, const Matrix &matrix)
{
    checkUsable();
    checkDepth(depth);
    checkCharacter(characterId, false);
    BitWriter out;
    out.writeU8(0x04 | 0x02); // matrix, character
    out.writeU16(quint16(depth));
    out.writeU16(characterId);
    SwfUnits::writeMatrix(out, matrix);
    writeTag(SwfTag::PlaceObject2, out.bytes());
}

void SwfWriter::replaceObject(int depth, quint16 characterId)
{
    checkUsable();
    checkDepth(depth);
    checkCharacter(characterId, false);
    BitWriter out;
    out.writeU8(0x02 | 0x01); // character, move
    out.writeU16(quint16(depth));
    out.writeU16(characterId);
    writeTag(SwfTag::PlaceObject2, out.bytes());
}

void SwfWriter::moveObject(int depth, const Matrix &matrix)
{
    checkUsable();
    checkDepth(depth);
    BitWriter out;
    out.writeU8(0x04 | 0x01); // matrix, move
    out.writeU16(quint16(depth));
    SwfUnits::writeMatrix(out, matrix);
    writeTag(SwfTag::PlaceObject2, out.bytes());
}

void SwfWriter::removeObject(int depth)
{
    checkUsable();
    checkDepth(depth);
    BitWriter out;
    out.writeU16(quint16(depth));
    writeTag(SwfTag::RemoveObject2, out.bytes());
}

void SwfWriter::doAction(const ActionList &actions)
{
    checkUsable();
    writeTag(SwfTag::DoAction, actions.bytes() + char(0));
}

quint16 SwfWriter::defineSound(const Mp3Sound &sound)
{
    checkUsable();
    const int rateCode = soundRateCode(sound.sampleRate);
    checkMp3(sound);
    if (sound.sampleCount == 0)
        throw SwfError(QStringLiteral("a sound has no samples"));
    const quint16 id = nextCharacterId();
    BitWriter out;
    out.writeU16(id);
    out.writeUB(2, 4); // MP3
    out.writeUB(quint32(rateCode), 2);
    out.writeUB(1, 1); // 16-bit
    out.writeUB(sound.stereo ? 1 : 0, 1);
    out.writeU32(sound.sampleCount);
    out.writeU16(quint16(sound.seekSamples));
    out.writeBytes(sound.frames);
    writeTag(SwfTag::DefineSound, out.bytes());
    m_sounds.append(true);
    return id;
}

void SwfWriter::startSound(quint16 soundId, bool noMultiple)
{
    checkUsable();
    checkCharacter(soundId, true);
    BitWriter out;
    out.writeU16(soundId);
    out.writeU8(noMultiple ? 0x10 : 0x00);
    writeTag(SwfTag::StartSound, out.bytes());
}

void SwfWriter::showFrame()
{
    checkUsable();
    if (m_frameCount == 0xffff)
        throw SwfError(QStringLiteral("a movie holds at most 65535 frames"));
    writeTag(SwfTag::ShowFrame, QByteArray());
    ++m_frameCount;
}

QByteArray SwfWriter::finish(Compression compression)
{
    checkUsable();
    BitWriter body;
    SwfUnits::writeRect(body, 0, SwfUnits::toTwips(m_header.stage.width(), MaxTranslateTwips), 0,
                        SwfUnits::toTwips(m_header.stage.height(), MaxTranslateTwips));
    body.writeU16(quint16(qRound(m_header.frameRate * 256.0)));
    body.writeU16(quint16(m_frameCount));
    QByteArray rest = body.bytes() + m_tags + QByteArray(2, '\0'); // End tag
    const qint64 fileLength = 8 + qint64(rest.size());
    if (fileLength > std::numeric_limits<qint32>::max())
        throw SwfError(QStringLiteral("the movie is too large"));
    if (compression == Compression::Zlib)
        rest = SwfCompression::zlib(rest);
    else if (compression == Compression::Lzma)
        rest = SwfCompression::lzma(rest);

    BitWriter file;
    file.writeBytes(compression == Compression::Zlib   ? QByteArrayLiteral("CWS")
                    : compression == Compression::Lzma ? QByteArrayLiteral("ZWS")
                                                       : QByteArrayLiteral("FWS"));
    file.writeU8(quint8(m_header.version));
    file.writeU32(quint32(fileLength));
    file.writeBytes(rest);
    m_finished = true;
    m_tags.clear();
    return file.bytes();
}

void SwfWriter::rawTag(int code, const QByteArray &body)
{
    checkUsable();
    if (code <= SwfTag::End || code > 0x3ff)
        throw SwfError(QStringLiteral("tag code %1 cannot be written").arg(code));
    if (code == SwfTag::ShowFrame) {
        if (!body.isEmpty())
            throw SwfError(QStringLiteral("a frame's end has no content"));
        showFrame();
        return;
    }
    writeTag(code, body);
}

quint16 SwfWriter::defineCharacter(int code, const QByteArray &bodyAfterId)
{
    checkUsable();
    if (code <= SwfTag::ShowFrame || code > 0x3ff)
        throw SwfError(QStringLiteral("tag code %1 cannot define a character").arg(code));
    const quint16 id = nextCharacterId();
    BitWriter out;
    out.writeU16(id);
    out.writeBytes(bodyAfterId);
    writeTag(code, out.bytes());
    m_sounds.append(false);
    return id;
}

void SwfWriter::writeTag(int code, const QByteArray &body)
{
    BitWriter header;
    if (body.size() < 0x3f) {
        header.writeU16(quint16((code << 6) | body.size()));
    } else {
        header.writeU16(quint16((code << 6) | 0x3f));
        header.writeU32(quint32(body.size()));
    }
    m_tags.append(header.bytes());
    m_tags.append(body);
}

quint16 SwfWriter::nextCharacterId()
{
    if (m_sounds.size() >= 0xffff)
        throw SwfError(QStringLiteral("a movie holds at most 65535 characters"));
    return quint16(m_sounds.size() + 1);
}

void SwfWriter::checkUsable() const
{
    if (m_finished)
        throw SwfError(QStringLiteral("the movie is already finished"));
}

void SwfWriter::checkDepth(int depth) const
{
    if (depth < 1 || depth > MaxDepth)
        throw SwfError(QStringLiteral("depth %1 is out of range").arg(depth));
}

void SwfWriter::checkCharacter(quint16 id, bool sound) const
{
    if (id < 1 || id > m_sounds.size() || m_sounds[id - 1] != sound)
        throw SwfError(sound ? QStringLiteral("character %1 is not a defined sound").arg(id)
                             : QStringLiteral("character %1 is not a defined shape").arg(id));
}

namespace SwfUnits {

qint32 toTwips(double pixels, qint32 limit)
{
    const double twips = pixels * 20.0;
    if (!qIsFinite(twips) || std::abs(twips) > limit + 0.5)
        throw SwfError(QStringLiteral("coordinate %1 px is out of range").arg(pixels));
    return qint32(std::lround(twips));
}

qint32 toFixed16(double value)
{
    const double fixed = value * 65536.0;
    if (!qIsFinite(fixed) || std::abs(fixed) > double(1 << 30) - 1)
        throw SwfError(QStringLiteral("factor %1 is out of range").arg(value));
    return qint32(std::lround(fixed));
}

void writeRect(BitWriter &out, qint32 xMin, qint32 xMax, qint32 yMin, qint32 yMax)
{
    const int bits = signedBits({xMin, xMax, yMin, yMax});
    if (bits > 31)
        throw SwfError(QStringLiteral("a rectangle is too large"));
    out.writeUB(quint32(bits), 5);
    out.writeSB(xMin, bits);
    out.writeSB(xMax, bits);
    out.writeSB(yMin, bits);
    out.writeSB(yMax, bits);
    out.align();
}

void writeMatrix(BitWriter &out, const Matrix &matrix)
{
    // Convert everything first so that a refused value writes nothing.
    const qint32 scaleX = toFixed16(matrix.scaleX);
    const qint32 scaleY = toFixed16(matrix.scaleY);
    const qint32 skew0 = toFixed16(matrix.skew0);
    const qint32 skew1 = toFixed16(matrix.skew1);
    const qint32 dx = toTwips(matrix.translate.x(), MaxTranslateTwips);
    const qint32 dy = toTwips(matrix.translate.y(), MaxTranslateTwips);
    BitWriter bits;
    // Scale and rotation are each a flag and, unless they hold the identity, a pair.
    const auto writeOptionalPair = [&bits](qint32 first, qint32 second, qint32 identity) {
        const bool present = first != identity || second != identity;
        bits.writeUB(present ? 1 : 0, 1);
        if (!present)
            return;
        const int n = signedBits({first, second});
        bits.writeUB(quint32(n), 5);
        bits.writeFB(first, n);
        bits.writeFB(second, n);
    };
    writeOptionalPair(scaleX, scaleY, 0x10000);
    writeOptionalPair(skew0, skew1, 0);
    const int n = signedBits({dx, dy});
    bits.writeUB(quint32(n), 5);
    bits.writeSB(dx, n);
    bits.writeSB(dy, n);
    bits.align();
    out.writeBytes(bits.bytes());
}

} // namespace SwfUnits
