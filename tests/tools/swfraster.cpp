#include "swfraster.h"
#include "swfreader.h"
#include "swfwriter.h"

#include <QPainter>

namespace {

QPointF pixels(QPoint twips)
{
    return QPointF(twips) / 20.0;
}

QPainterPath figurePath(const SwfShapeFigure &figure)
{
    QPainterPath path;
    path.moveTo(pixels(figure.start));
    for (const SwfShapeEdge &edge : figure.edges) {
        if (edge.curved)
            path.quadTo(pixels(edge.control), pixels(edge.end));
        else
            path.lineTo(pixels(edge.end));
    }
    return path;
}

} // namespace

SwfMovieReplay::SwfMovieReplay(const QByteArray &file)
{
    const SwfMovie movie = readSwf(file);
    m_stage = QSize(movie.frameTwips.width() / 20, movie.frameTwips.height() / 20);
    SwfFrameContent current;
    for (const SwfRecord &tag : movie.tags) {
        switch (tag.code) {
        case SwfTag::SetBackgroundColor:
            m_background = QColor(quint8(tag.body[0]), quint8(tag.body[1]), quint8(tag.body[2]));
            break;
        case SwfTag::DefineShape3: {
            const SwfShape shape = decodeShape(tag.body);
            QPainterPath fill;
            fill.setFillRule(Qt::OddEvenFill);
            QPainterPath lines;
            for (const SwfShapeFigure &figure : shape.figures) {
                if (figure.fillStyle0 || figure.fillStyle1)
                    fill.addPath(figurePath(figure));
                if (figure.lineStyle)
                    lines.addPath(figurePath(figure));
            }
            m_fills.insert(shape.id, fill);
            m_lines.insert(shape.id, lines);
            const Rgba c = shape.fills.isEmpty() ? shape.lineColors.value(0) : shape.fills.first();
            m_colors.insert(shape.id, QColor(c.r, c.g, c.b, c.a));
            break;
        }
        case SwfTag::DefineSound:
            m_sounds.insert(quint8(tag.body[0]) | quint8(tag.body[1]) << 8, tag.body);
            break;
        case SwfTag::PlaceObject2: {
            const SwfPlacement placement = decodePlacement(tag.body);
            if (placement.characterId != 0)
                current.displayList[placement.depth].characterId = placement.characterId;
            break;
        }
        case SwfTag::RemoveObject2:
            current.displayList.remove(quint8(tag.body[0]) | quint8(tag.body[1]) << 8);
            break;
        case SwfTag::StartSound:
            current.startedSounds.append(quint8(tag.body[0]) | quint8(tag.body[1]) << 8);
            break;
        case SwfTag::DoAction:
            current.stops = tag.body.contains('\x07');
            break;
        case SwfTag::ShowFrame:
            m_frames.append(current);
            current.startedSounds.clear();
            current.stops = false;
            break;
        default:
            break;
        }
    }
}

QImage SwfMovieReplay::render(int frameIndex) const
{
    QImage image(m_stage, QImage::Format_RGB32);
    image.fill(m_background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const SwfFrameContent::Object &object : m_frames.at(frameIndex).displayList) {
        const QColor color = m_colors.value(object.characterId);
        painter.fillPath(m_fills.value(object.characterId), color);
        painter.strokePath(m_lines.value(object.characterId),
                           QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    return image;
}
