// SPDX-License-Identifier: GPL-3.0-or-later
#include "swfparts.h"

namespace swf {

namespace {

QColor readColor(Reader &in, bool alpha)
{
    return alpha ? in.rgba() : in.rgb();
}

Gradient::Spread spreadMode(quint32 code)
{
    switch (code) {
    case 0:
        return Gradient::Spread::Pad;
    case 1:
        return Gradient::Spread::Reflect;
    case 2:
        return Gradient::Spread::Repeat;
    }
    refuse(QStringLiteral("gradient spread mode %1").arg(code));
}

Gradient::Interpolation interpolationMode(quint32 code)
{
    if (code > 1)
        refuse(QStringLiteral("gradient interpolation mode %1").arg(code));
    return code == 0 ? Gradient::Interpolation::Normal : Gradient::Interpolation::Linear;
}

int stopCount(quint32 count)
{
    if (count < 1 || count > quint32(Limits::gradientStops))
        refuse(QStringLiteral("a gradient with %1 stops").arg(count));
    return int(count);
}

void readGradient(Reader &in, bool alpha, bool focal, Gradient &gradient)
{
    gradient.spread = spreadMode(in.ub(2));
    gradient.interpolation = interpolationMode(in.ub(2));
    const int count = stopCount(in.ub(4));
    for (int i = 0; i < count; ++i) {
        GradientStop stop;
        stop.ratio = in.u8();
        stop.color = readColor(in, alpha);
        gradient.stops.append(stop);
    }
    if (focal)
        gradient.focalPoint = qBound(-1.0, in.s16() / 256.0, 1.0);
}

FillStyle::Type gradientType(quint8 code)
{
    return code == 0x10 ? FillStyle::Type::Linear
                        : (code == 0x12 ? FillStyle::Type::Radial : FillStyle::Type::Focal);
}

void readBitmapKind(quint8 code, FillStyle &fill)
{
    fill.type = FillStyle::Type::Bitmap;
    fill.repeating = (code & 1) == 0;
    fill.smoothed = (code & 2) == 0;
}

FillStyle readFillStyle(Reader &in, int version)
{
    FillStyle fill;
    const quint8 code = in.u8();
    if (code == 0x00) {
        fill.color = readColor(in, version >= 3);
    } else if (code == 0x10 || code == 0x12 || (code == 0x13 && version >= 4)) {
        fill.type = gradientType(code);
        fill.gradient.matrix = in.matrix();
        readGradient(in, version >= 3, code == 0x13, fill.gradient);
    } else if (code >= 0x40 && code <= 0x43) {
        readBitmapKind(code, fill);
        fill.bitmapId = in.u16();
        fill.bitmapMatrix = in.matrix();
    } else {
        refuse(QStringLiteral("fill style type 0x%1").arg(code, 2, 16, QLatin1Char('0')));
    }
    return fill;
}

LineStyle::Cap capStyle(quint32 code)
{
    if (code > 2)
        refuse(QStringLiteral("line cap style %1").arg(code));
    return LineStyle::Cap(code);
}

LineStyle::Join joinStyle(quint32 code)
{
    if (code > 2)
        refuse(QStringLiteral("line join style %1").arg(code));
    return LineStyle::Join(code);
}

// The flags of a LINESTYLE2 (and of a morph shape's version 2 line style);
// returns whether a fill style follows instead of a colour.
bool readLineFlags(Reader &in, LineStyle &line)
{
    line.startCap = capStyle(in.ub(2));
    line.join = joinStyle(in.ub(2));
    const bool hasFill = in.flag();
    line.noHScale = in.flag();
    line.noVScale = in.flag();
    line.pixelHinting = in.flag();
    in.ub(5);
    line.noClose = in.flag();
    line.endCap = capStyle(in.ub(2));
    if (line.join == LineStyle::Join::Miter)
        line.miterLimit = in.u16() / 256.0;
    return hasFill;
}

LineStyle readLineStyle(Reader &in, int version)
{
    LineStyle line;
    line.width = in.u16();
    if (version < 4) {
        line.color = readColor(in, version >= 3);
    } else if (readLineFlags(in, line)) {
        line.fill = readFillStyle(in, version);
    } else {
        line.color = in.rgba();
    }
    return line;
}

int styleCount(Reader &in, bool extendable)
{
    const int count = in.u8();
    return count == 0xFF && extendable ? in.u16() : count;
}

void checkStyleTotal(qsizetype total, int added, Budget &budget)
{
    if (total > Limits::stylesPerShape)
        refuse(QStringLiteral("a shape with more than %1 styles").arg(Limits::stylesPerShape));
    budget.spend(added);
}

void readStyleArrays(Reader &in, int version, QList<FillStyle> &fills, QList<LineStyle> &lines,
                     Budget &budget)
{
    const int fillCount = styleCount(in, version >= 2);
    checkStyleTotal(fills.size() + lines.size() + fillCount, fillCount, budget);
    for (int i = 0; i < fillCount; ++i)
        fills.append(readFillStyle(in, version));
    const int lineCount = styleCount(in, true);
    checkStyleTotal(fills.size() + lines.size() + lineCount, lineCount, budget);
    for (int i = 0; i < lineCount; ++i)
        lines.append(readLineStyle(in, version));
}

// Reads SHAPE records into edges in absolute twips. The style indices of
// the records are checked against the style arrays in force and turned into
// indices into the shape's flattened lists.
class EdgeReader
{
public:
    EdgeReader(Reader &in, int version, Budget &budget)
        : m_in(in), m_version(version), m_budget(budget)
    {
    }

    // The style lists new style arrays are appended to; without them a
    // record bringing new styles is refused.
    void setStyleLists(QList<FillStyle> *fills, QList<LineStyle> *lines)
    {
        m_fills = fills;
        m_lines = lines;
        m_fillCount = int(fills->size());
        m_lineCount = int(lines->size());
    }
    void setStyleCounts(int fills, int lines)
    {
        m_fillCount = fills;
        m_lineCount = lines;
    }
    // Style changes are read but not applied (a morph shape's end edges).
    void ignoreStyles() { m_ignoreStyles = true; }

    QList<Edge> read();

private:
    bool readRecord();
    void readStyleChange(quint32 flags);
    void readStraight(int bits);
    void readCurve(int bits);
    void addEdge(const QPointF &from, const QPointF &control, bool curved);
    int styleIndex(quint32 raw, int count, int base, const char *what) const;

    Reader &m_in;
    int m_version;
    Budget &m_budget;
    QList<FillStyle> *m_fills = nullptr;
    QList<LineStyle> *m_lines = nullptr;
    int m_fillBase = 0, m_lineBase = 0;
    int m_fillCount = 0, m_lineCount = 0;
    int m_fillBits = 0, m_lineBits = 0;
    bool m_ignoreStyles = false;
    qint64 m_x = 0, m_y = 0;
    Edge m_style; // the styles of the next edge
    QList<Edge> m_edges;
};

QList<Edge> EdgeReader::read()
{
    m_in.align();
    m_fillBits = int(m_in.ub(4));
    m_lineBits = int(m_in.ub(4));
    while (readRecord()) {
    }
    m_in.align();
    return std::move(m_edges);
}

bool EdgeReader::readRecord()
{
    if (!m_in.flag()) {
        const quint32 flags = m_in.ub(5);
        if (flags == 0)
            return false;
        readStyleChange(flags);
        return true;
    }
    if (m_edges.size() >= Limits::edgesPerShape)
        refuse(QStringLiteral("a shape with more than %1 edges").arg(Limits::edgesPerShape));
    m_budget.spend(1);
    const bool straight = m_in.flag();
    const int bits = int(m_in.ub(4)) + 2;
    if (straight)
        readStraight(bits);
    else
        readCurve(bits);
    return true;
}

int EdgeReader::styleIndex(quint32 raw, int count, int base, const char *what) const
{
    if (raw > quint32(count))
        refuse(QStringLiteral("%1 style %2 of %3").arg(QLatin1String(what)).arg(raw).arg(count));
    return raw == 0 ? 0 : base + int(raw);
}

void EdgeReader::readStyleChange(quint32 flags)
{
    if (flags & 0x01) {
        const int bits = int(m_in.ub(5));
        m_x = m_in.sb(bits);
        m_y = m_in.sb(bits);
    }
    std::optional<quint32> fill0, fill1, line;
    if (flags & 0x02)
        fill0 = m_in.ub(m_fillBits);
    if (flags & 0x04)
        fill1 = m_in.ub(m_fillBits);
    if (flags & 0x08)
        line = m_in.ub(m_lineBits);
    if (flags & 0x10) {
        if (!m_fills || m_version < 2)
            refuse(QStringLiteral("new styles part-way where the format has none"));
        m_fillBase = int(m_fills->size());
        m_lineBase = int(m_lines->size());
        readStyleArrays(m_in, m_version, *m_fills, *m_lines, m_budget);
        m_fillCount = int(m_fills->size()) - m_fillBase;
        m_lineCount = int(m_lines->size()) - m_lineBase;
        m_fillBits = int(m_in.ub(4));
        m_lineBits = int(m_in.ub(4));
        // Selections made before the new arrays no longer name anything.
        m_style = Edge();
    }
    if (m_ignoreStyles)
        return;
    if (fill0)
        m_style.fill0 = styleIndex(*fill0, m_fillCount, m_fillBase, "fill");
    if (fill1)
        m_style.fill1 = styleIndex(*fill1, m_fillCount, m_fillBase, "fill");
    if (line)
        m_style.line = styleIndex(*line, m_lineCount, m_lineBase, "line");
}

void EdgeReader::readStraight(int bits)
{
    qint64 dx = 0, dy = 0;
    if (m_in.flag()) {
        dx = m_in.sb(bits);
        dy = m_in.sb(bits);
    } else if (m_in.flag()) {
        dy = m_in.sb(bits);
    } else {
        dx = m_in.sb(bits);
    }
    const QPointF from{double(m_x), double(m_y)};
    m_x += dx;
    m_y += dy;
    addEdge(from, QPointF(), false);
}

void EdgeReader::readCurve(int bits)
{
    const QPointF from{double(m_x), double(m_y)};
    const qint64 cx = m_x + m_in.sb(bits);
    const qint64 cy = m_y + m_in.sb(bits);
    m_x = cx + m_in.sb(bits);
    m_y = cy + m_in.sb(bits);
    addEdge(from, QPointF(double(cx), double(cy)), true);
}

void EdgeReader::addEdge(const QPointF &from, const QPointF &control, bool curved)
{
    Edge edge = m_style;
    edge.from = from;
    edge.to = QPointF(double(m_x), double(m_y));
    edge.control = control;
    edge.curved = curved;
    m_edges.append(edge);
}

QPainterPath glyphPath(const QList<Edge> &edges)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const Edge &edge : edges) {
        if (path.elementCount() == 0 || path.currentPosition() != edge.from)
            path.moveTo(edge.from);
        if (edge.curved)
            path.quadTo(edge.control, edge.to);
        else
            path.lineTo(edge.to);
    }
    return path;
}

QPainterPath readGlyph(Reader &in, Budget &budget)
{
    EdgeReader edges(in, 1, budget);
    edges.setStyleCounts(1, 0);
    return glyphPath(edges.read());
}

// A straight edge facing a curve becomes a curve with its control point
// halfway, so both ends of a morph are drawn with the same kind of edge.
void makeCurved(Edge &edge)
{
    if (edge.curved)
        return;
    edge.curved = true;
    edge.control = (edge.from + edge.to) / 2;
}

FillStyle readMorphFill(Reader &in, FillStyle &end)
{
    FillStyle start;
    const quint8 code = in.u8();
    if (code == 0x00) {
        start.color = in.rgba();
        end.color = in.rgba();
    } else if (code == 0x10 || code == 0x12) {
        start.type = end.type = gradientType(code);
        start.gradient.matrix = in.matrix();
        end.gradient.matrix = in.matrix();
        start.gradient.spread = end.gradient.spread = spreadMode(in.ub(2));
        start.gradient.interpolation = end.gradient.interpolation = interpolationMode(in.ub(2));
        const int count = stopCount(in.ub(4));
        for (int i = 0; i < count; ++i) {
            GradientStop first, last;
            first.ratio = in.u8();
            first.color = in.rgba();
            last.ratio = in.u8();
            last.color = in.rgba();
            start.gradient.stops.append(first);
            end.gradient.stops.append(last);
        }
    } else if (code >= 0x40 && code <= 0x43) {
        readBitmapKind(code, start);
        readBitmapKind(code, end);
        start.bitmapId = end.bitmapId = in.u16();
        start.bitmapMatrix = in.matrix();
        end.bitmapMatrix = in.matrix();
    } else {
        refuse(QStringLiteral("morph fill style type 0x%1").arg(code, 2, 16, QLatin1Char('0')));
    }
    return start;
}

LineStyle readMorphLine(Reader &in, int version, LineStyle &end)
{
    LineStyle start;
    start.width = in.u16();
    end.width = in.u16();
    if (version >= 2 && readLineFlags(in, start)) {
        FillStyle endFill;
        start.fill = readMorphFill(in, endFill);
        end.fill = endFill;
    } else {
        start.color = in.rgba();
        end.color = in.rgba();
    }
    if (version >= 2) {
        const QColor endColor = end.color;
        const quint16 endWidth = end.width;
        const std::optional<FillStyle> endFill = end.fill;
        end = start;
        end.color = endColor;
        end.width = endWidth;
        end.fill = endFill;
    }
    return start;
}

void readMorphStyles(Reader &in, int version, MorphShape &shape, Budget &budget)
{
    const int fillCount = styleCount(in, true);
    checkStyleTotal(fillCount, fillCount, budget);
    for (int i = 0; i < fillCount; ++i) {
        FillStyle end;
        shape.startFills.append(readMorphFill(in, end));
        shape.endFills.append(end);
    }
    const int lineCount = styleCount(in, true);
    checkStyleTotal(fillCount + lineCount, lineCount, budget);
    for (int i = 0; i < lineCount; ++i) {
        LineStyle end;
        shape.startLines.append(readMorphLine(in, version, end));
        shape.endLines.append(end);
    }
}

} // namespace

std::shared_ptr<Shape> readShape(Reader &in, int version, Budget &budget)
{
    auto shape = std::make_shared<Shape>();
    shape->bounds = in.rect();
    if (version >= 4) {
        in.rect(); // the bounds without the strokes
        in.u8();   // winding rule and stroke scaling hints
    }
    readStyleArrays(in, version, shape->fills, shape->lines, budget);
    EdgeReader edges(in, version, budget);
    edges.setStyleLists(&shape->fills, &shape->lines);
    shape->edges = edges.read();
    return shape;
}

std::shared_ptr<MorphShape> readMorphShape(Reader &in, int version, Budget &budget)
{
    auto shape = std::make_shared<MorphShape>();
    shape->startBounds = in.rect();
    shape->endBounds = in.rect();
    if (version >= 2) {
        in.rect();
        in.rect();
        in.u8();
    }
    const quint32 offset = in.u32();
    const qsizetype endPosition = in.position() + qsizetype(offset);
    readMorphStyles(in, version, *shape, budget);
    EdgeReader start(in, 3, budget);
    start.setStyleCounts(int(shape->startFills.size()), int(shape->startLines.size()));
    shape->startEdges = start.read();
    if (offset == 0 || endPosition < in.position())
        refuse(QStringLiteral("a morph shape's end edges overlap its start edges"));
    in.seek(endPosition);
    EdgeReader end(in, 3, budget);
    end.ignoreStyles();
    QList<Edge> endEdges = end.read();
    if (endEdges.size() != shape->startEdges.size())
        refuse(QStringLiteral("a morph shape with %1 start edges and %2 end edges")
                   .arg(shape->startEdges.size())
                   .arg(endEdges.size()));
    for (qsizetype i = 0; i < endEdges.size(); ++i) {
        Edge &first = shape->startEdges[i];
        Edge &last = endEdges[i];
        last.fill0 = first.fill0;
        last.fill1 = first.fill1;
        last.line = first.line;
        if (first.curved != last.curved) {
            makeCurved(first);
            makeCurved(last);
        }
    }
    shape->endEdges = std::move(endEdges);
    return shape;
}

namespace {

// Glyph outlines between increasing offsets into table; the last one ends
// at end.
QList<QPainterPath> readGlyphs(Reader &table, const QList<quint32> &offsets, quint32 end,
                               Budget &budget)
{
    QList<QPainterPath> glyphs;
    glyphs.reserve(offsets.size());
    for (qsizetype i = 0; i < offsets.size(); ++i) {
        const quint32 stop = i + 1 < offsets.size() ? offsets[i + 1] : end;
        if (stop < offsets[i] || stop > table.bytesLeft() + table.position())
            refuse(QStringLiteral("a font's glyph offsets are out of order"));
        table.seek(offsets[i]);
        Reader glyph = table.take(stop - offsets[i]);
        budget.spend(1);
        glyphs.append(readGlyph(glyph, budget));
    }
    return glyphs;
}

std::shared_ptr<Font> readFont1(Reader &in, Budget &budget)
{
    auto font = std::make_shared<Font>();
    if (in.atEnd())
        return font;
    Reader table = in.take(in.bytesLeft());
    const quint16 first = table.u16();
    if (first < 2 || first % 2 != 0)
        refuse(QStringLiteral("a font's offset table is damaged"));
    QList<quint32> offsets{first};
    for (int i = 1; i < first / 2; ++i)
        offsets.append(table.u16());
    font->glyphs =
        readGlyphs(table, offsets, quint32(table.position() + table.bytesLeft()), budget);
    return font;
}

} // namespace

std::shared_ptr<Font> readFont(Reader &in, int version, Budget &budget)
{
    if (version == 1)
        return readFont1(in, budget);
    auto font = std::make_shared<Font>();
    font->font3 = version == 3;
    const quint8 flags = in.u8();
    const bool wideOffsets = flags & 0x08;
    const bool wideCodes = flags & 0x04;
    in.u8(); // language
    in.skip(in.u8());
    const int count = in.u16();
    if (count == 0)
        return font;
    Reader table = in.take(in.bytesLeft());
    QList<quint32> offsets;
    offsets.reserve(count);
    for (int i = 0; i < count; ++i)
        offsets.append(wideOffsets ? table.u32() : table.u16());
    const quint32 codeTable = wideOffsets ? table.u32() : table.u16();
    if (offsets.first() < table.position())
        refuse(QStringLiteral("a font's glyphs overlap its offset table"));
    font->glyphs = readGlyphs(table, offsets, codeTable, budget);
    table.seek(codeTable);
    table.skip(qsizetype(count) * (wideCodes ? 2 : 1));
    return font;
}

namespace {

struct TextState
{
    TextRecord style; // font, colour, position and height in force
    std::shared_ptr<const Font> font;
};

void readTextStyle(Reader &in, int version, const Movie &movie, TextState &state)
{
    const quint8 flags = in.u8();
    if ((flags & 0xF0) != 0x80)
        refuse(QStringLiteral("a text record of unknown type"));
    if (flags & 0x08) {
        state.style.fontId = in.u16();
        state.font = movie.fonts.value(state.style.fontId);
        if (!state.font)
            refuse(QStringLiteral("text in font %1, which is not defined").arg(state.style.fontId));
    }
    if (flags & 0x04)
        state.style.color = version >= 2 ? in.rgba() : in.rgb();
    if (flags & 0x01)
        state.style.x = in.s16();
    if (flags & 0x02)
        state.style.y = in.s16();
    if (flags & 0x08)
        state.style.height = in.u16();
}

} // namespace

std::shared_ptr<Text> readText(Reader &in, int version, const Movie &movie, Budget &budget)
{
    auto text = std::make_shared<Text>();
    text->bounds = in.rect();
    text->matrix = in.matrix();
    const int glyphBits = in.u8();
    const int advanceBits = in.u8();
    TextState state;
    while (in.u8() != 0) {
        if (text->records.size() >= Limits::textRecords)
            refuse(QStringLiteral("text with more than %1 records").arg(Limits::textRecords));
        in.seek(in.position() - 1);
        readTextStyle(in, version, movie, state);
        const int count = in.u8();
        budget.spend(1 + count);
        if (count > 0 && !state.font)
            refuse(QStringLiteral("text glyphs before any font"));
        TextRecord record = state.style;
        for (int i = 0; i < count; ++i) {
            TextGlyph glyph;
            glyph.index = int(in.ub(glyphBits));
            glyph.advance = in.sb(advanceBits);
            if (glyph.index >= state.font->glyphs.size())
                refuse(QStringLiteral("text using glyph %1 of a font with %2")
                           .arg(glyph.index)
                           .arg(state.font->glyphs.size()));
            record.glyphs.append(glyph);
            state.style.x += glyph.advance;
        }
        in.align();
        text->records.append(record);
    }
    return text;
}

} // namespace swf
