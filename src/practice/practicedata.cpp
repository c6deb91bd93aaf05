// SPDX-License-Identifier: GPL-3.0-or-later
#include "practicedata.h"

#include <QtEndian>
#include <cmath>

namespace practice {

namespace {

// "ZVP" and a version byte; a later version is not read.
const QByteArray Magic("ZVP", 3);
constexpr quint8 Version = 1;
// The largest stage coordinate a rectangle may use, in twips: far past any
// stage a movie may declare.
constexpr qint32 StageBound = 1 << 24;

enum Element : quint8 { MoveTo = 0, LineTo = 1, CubicTo = 2 };

class Writer
{
public:
    void u8(quint8 v) { m_out.append(char(v)); }
    void u16(quint16 v)
    {
        char bytes[2];
        qToLittleEndian(v, bytes);
        m_out.append(bytes, 2);
    }
    void i16(qint16 v) { u16(quint16(v)); }
    void i32(qint32 v)
    {
        char bytes[4];
        qToLittleEndian(v, bytes);
        m_out.append(bytes, 4);
    }
    void rect(const QRectF &r)
    {
        for (double v : {r.x(), r.y(), r.width(), r.height()})
            i32(qint32(std::lround(v)));
    }
    void color(const QColor &c)
    {
        u8(quint8(c.red()));
        u8(quint8(c.green()));
        u8(quint8(c.blue()));
    }
    void point(QPointF p)
    {
        i16(qint16(
            std::lround(qBound(-double(Limits::coordinate), p.x(), double(Limits::coordinate)))));
        i16(qint16(
            std::lround(qBound(-double(Limits::coordinate), p.y(), double(Limits::coordinate)))));
    }
    void bytes(const QByteArray &b) { m_out.append(b); }
    QByteArray result() const { return m_out; }

private:
    QByteArray m_out;
};

// Every read is checked; the first short or out-of-bounds read marks the
// whole body damaged and later reads return zeros.
class Reader
{
public:
    explicit Reader(const QByteArray &in) : m_in(in) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos == m_in.size(); }
    void fail() { m_ok = false; }

    const char *take(qsizetype n)
    {
        if (!m_ok || n < 0 || m_in.size() - m_pos < n) {
            m_ok = false;
            return nullptr;
        }
        const char *at = m_in.constData() + m_pos;
        m_pos += n;
        return at;
    }
    quint8 u8()
    {
        const char *at = take(1);
        return at ? quint8(*at) : 0;
    }
    quint16 u16()
    {
        const char *at = take(2);
        return at ? qFromLittleEndian<quint16>(at) : 0;
    }
    qint32 i32()
    {
        const char *at = take(4);
        return at ? qFromLittleEndian<qint32>(at) : 0;
    }
    QPointF point()
    {
        const char *at = take(4);
        if (!at)
            return QPointF();
        const qint16 x = qFromLittleEndian<qint16>(at);
        const qint16 y = qFromLittleEndian<qint16>(at + 2);
        if (std::abs(x) > Limits::coordinate || std::abs(y) > Limits::coordinate)
            m_ok = false;
        return QPointF(x, y);
    }
    QRectF rect()
    {
        const qint32 x = i32(), y = i32(), w = i32(), h = i32();
        const auto inside = [](qint32 v) { return v > -StageBound && v < StageBound; };
        if (!inside(x) || !inside(y) || w <= 0 || h <= 0 || w >= StageBound || h >= StageBound)
            m_ok = false;
        return QRectF(x, y, w, h);
    }
    QColor color()
    {
        const quint8 r = u8(), g = u8(), b = u8();
        return QColor(r, g, b);
    }

private:
    const QByteArray &m_in;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

void writeOutline(Writer &out, const QPainterPath &outline)
{
    // A cubic is one record here but three elements of the path.
    Writer records;
    quint16 count = 0;
    for (int i = 0; i < outline.elementCount(); ++i, ++count) {
        const QPainterPath::Element e = outline.elementAt(i);
        if (e.isCurveTo() && i + 2 < outline.elementCount()) {
            records.u8(CubicTo);
            records.point(e);
            records.point(outline.elementAt(i + 1));
            records.point(outline.elementAt(i + 2));
            i += 2;
        } else {
            records.u8(e.isMoveTo() ? MoveTo : LineTo);
            records.point(e);
        }
    }
    out.u16(count);
    out.bytes(records.result());
}

QPainterPath readOutline(Reader &in)
{
    QPainterPath outline;
    const int elements = in.u16();
    int points = 0;
    for (int i = 0; i < elements && in.ok(); ++i) {
        const quint8 kind = in.u8();
        points += kind == CubicTo ? 3 : 1;
        if (points > Limits::outlinePoints) {
            in.fail();
            break;
        }
        switch (kind) {
        case MoveTo:
            outline.moveTo(in.point());
            break;
        case LineTo:
            outline.lineTo(in.point());
            break;
        case CubicTo: {
            const QPointF c1 = in.point(), c2 = in.point(), end = in.point();
            outline.cubicTo(c1, c2, end);
            break;
        }
        default:
            in.fail();
        }
    }
    return outline;
}

} // namespace

QTransform PracticeData::characterToStage() const
{
    const double scale = grid.width() / 1024.0;
    return QTransform::fromScale(scale, grid.height() / 1024.0) *
           QTransform::fromTranslate(grid.left(), grid.top());
}

QByteArray writePracticeData(const PracticeData &data)
{
    Writer out;
    out.bytes(Magic);
    out.u8(Version);
    out.rect(data.grid);
    out.rect(data.nameBox);
    out.rect(data.countBox);
    for (const QColor &c : {data.gridColor, data.writingColor, data.finishedColor, data.countColor})
        out.color(c);
    out.u16(data.soundId);
    out.u8(quint8(data.strokes.size()));
    for (const Stroke &stroke : data.strokes) {
        const QByteArray name = stroke.name.toUtf8().left(Limits::nameBytes);
        out.u8(quint8(name.size()));
        out.bytes(name);
        out.u16(quint16(stroke.median.size()));
        for (QPointF p : stroke.median)
            out.point(p);
        writeOutline(out, stroke.outline);
    }
    return out.result();
}

std::optional<PracticeData> readPracticeData(const QByteArray &body)
{
    if (body.size() > Limits::tagBytes || !body.startsWith(Magic))
        return std::nullopt;
    Reader in(body);
    in.take(Magic.size());
    if (in.u8() != Version)
        return std::nullopt;
    PracticeData data;
    data.grid = in.rect();
    data.nameBox = in.rect();
    data.countBox = in.rect();
    data.gridColor = in.color();
    data.writingColor = in.color();
    data.finishedColor = in.color();
    data.countColor = in.color();
    data.soundId = in.u16();
    const int strokes = in.u8();
    if (strokes == 0 || strokes > Limits::strokes)
        return std::nullopt;
    for (int s = 0; s < strokes && in.ok(); ++s) {
        Stroke stroke;
        const int nameBytes = in.u8();
        if (nameBytes > Limits::nameBytes)
            return std::nullopt;
        if (const char *name = in.take(nameBytes))
            stroke.name = QString::fromUtf8(name, nameBytes);
        const int points = in.u16();
        if (points < 2 || points > Limits::medianPoints)
            return std::nullopt;
        for (int i = 0; i < points; ++i)
            stroke.median.append(in.point());
        stroke.outline = readOutline(in);
        data.strokes.append(stroke);
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return data;
}

} // namespace practice
