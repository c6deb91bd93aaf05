#include "swfreplay.h"
#include "swfreader.h"
#include "swfwriter.h"

namespace {

QPointF pixels(QPoint twips)
{
    return QPointF(twips) / 20.0;
}

int firstU16(const QByteArray &body)
{
    return quint8(body[0]) | quint8(body[1]) << 8;
}

} // namespace

SwfMovieReplay::SwfMovieReplay(const QByteArray &file)
{
    SwfFrameContent current;
    for (const SwfRecord &tag : readSwf(file).tags) {
        switch (tag.code) {
        case SwfTag::DefineShape3: {
            const SwfShape shape = decodeShape(tag.body);
            QPainterPath fill;
            fill.setFillRule(Qt::OddEvenFill);
            for (const SwfShapeFigure &figure : shape.figures) {
                if (!figure.fillStyle0 && !figure.fillStyle1)
                    continue;
                fill.moveTo(pixels(figure.start));
                for (const SwfShapeEdge &edge : figure.edges) {
                    if (edge.curved)
                        fill.quadTo(pixels(edge.control), pixels(edge.end));
                    else
                        fill.lineTo(pixels(edge.end));
                }
            }
            m_fills.insert(shape.id, fill);
            const Rgba c = shape.fills.isEmpty() ? shape.lineColors.value(0) : shape.fills.first();
            m_colors.insert(shape.id, QColor(c.r, c.g, c.b, c.a));
            break;
        }
        case SwfTag::DefineSound:
            m_sounds.insert(firstU16(tag.body));
            break;
        case SwfTag::PlaceObject2: {
            const SwfPlacement placement = decodePlacement(tag.body);
            if (placement.characterId != 0)
                current.displayList[placement.depth].characterId = placement.characterId;
            break;
        }
        case SwfTag::RemoveObject2:
            current.displayList.remove(firstU16(tag.body));
            break;
        case SwfTag::StartSound:
            current.startedSounds.append(firstU16(tag.body));
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
