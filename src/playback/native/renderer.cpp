// SPDX-License-Identifier: GPL-3.0-or-later
#include "renderer.h"

#include "fillbrush.h"
#include "scanfill.h"
#include "shapepaths.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <cmath>
#include <optional>
#include <vector>

namespace swf {
namespace {

// Morph shapes are rebuilt for every ratio they show; an animation shows a
// few dozen, so more than this per shape means it is time to start over.
// Together the kept ones hold at most so many edges.
constexpr int morphRatiosKept = 64;
constexpr qint64 morphEdgesKept = 4 * Limits::edgesPerShape;
// Colour-transformed copies of bitmaps, in pixels, before they are dropped.
constexpr qint64 transformedPixelsKept = 16 * 1024 * 1024;
// A sprite used as a mask is the union of its children; past this many path
// elements the union costs too much and the children's areas are just put
// together.
constexpr int unionElements = 20000;
// See Renderer::Painting::stroke.
constexpr double aliasedShift = 1.0 / 256;
// Past this, a display tree is deeper than any the stage builds.
constexpr int nestingLimit = Limits::spriteNesting + 4;

struct ShapeEntry
{
    std::shared_ptr<const Shape> shape;
    ShapePaths paths;
    // The areas lines cover at their own width, made when first needed:
    // filling them again is much cheaper than stroking again.
    std::vector<std::optional<QPainterPath>> lineAreas;
};

std::shared_ptr<ShapeEntry> makeEntry(std::shared_ptr<const Shape> shape)
{
    auto entry = std::make_shared<ShapeEntry>();
    entry->paths = buildShapePaths(*shape);
    entry->lineAreas.resize(entry->paths.lines.size());
    entry->shape = std::move(shape);
    return entry;
}

// A transform that squashes to a line or a point, or overflows, shows nothing.
bool isDrawable(const QTransform &transform)
{
    const double det = transform.determinant();
    return std::isfinite(det) && !qFuzzyIsNull(det) && std::isfinite(transform.dx()) &&
           std::isfinite(transform.dy());
}

// Device pixels per twip, on average over both axes.
double scaleOf(const QTransform &transform)
{
    return std::sqrt(std::abs(transform.determinant()));
}

QColor applied(const ColorTransform &transform, const QColor &color)
{
    return transform.isIdentity() ? color : transform.apply(color);
}

Qt::PenCapStyle capStyle(LineStyle::Cap cap)
{
    switch (cap) {
    case LineStyle::Cap::None:
        return Qt::FlatCap;
    case LineStyle::Cap::Square:
        return Qt::SquareCap;
    case LineStyle::Cap::Round:
        break;
    }
    return Qt::RoundCap;
}

Qt::PenJoinStyle joinStyle(LineStyle::Join join)
{
    switch (join) {
    case LineStyle::Join::Bevel:
        return Qt::BevelJoin;
    case LineStyle::Join::Miter:
        return Qt::MiterJoin;
    case LineStyle::Join::Round:
        break;
    }
    return Qt::RoundJoin;
}

QByteArray imageKey(quint16 bitmapId, const ColorTransform &transform)
{
    QByteArray key(reinterpret_cast<const char *>(&bitmapId), sizeof bitmapId);
    const float values[] = {transform.rMult, transform.gMult, transform.bMult, transform.aMult,
                            transform.rAdd,  transform.gAdd,  transform.bAdd,  transform.aAdd};
    key.append(reinterpret_cast<const char *>(values), sizeof values);
    return key;
}

// Calls draw(outline, placement, colour) for every glyph of text, the
// placement taking the glyph's font units to the text's twips.
template <typename Draw> void forEachGlyph(const Movie &movie, const Text &text, Draw draw)
{
    for (const TextRecord &record : text.records) {
        const auto font = movie.fonts.value(record.fontId);
        if (!font)
            continue;
        const double scale = record.height / (font->font3 ? 20480.0 : 1024.0);
        double x = record.x;
        for (const TextGlyph &glyph : record.glyphs) {
            if (glyph.index >= 0 && glyph.index < font->glyphs.size()) {
                const QTransform place(scale, 0, 0, scale, x, record.y);
                const QPainterPath &outline = font->glyphs[glyph.index];
                if (outline.fillRule() == Qt::WindingFill) {
                    draw(outline, place, record.color);
                } else {
                    QPainterPath winding = outline;
                    winding.setFillRule(Qt::WindingFill);
                    draw(winding, place, record.color);
                }
            }
            x += glyph.advance;
        }
    }
}

// One mask of a list of siblings: the last depth it clips, and its area in
// device pixels (as an outline when antialiased, as whole pixels when not).
struct Mask
{
    int until;
    QPainterPath area;
    QRegion pixels;
};

} // namespace

struct Renderer::Cache
{
    QHash<quint16, std::shared_ptr<ShapeEntry>> shapes;
    QHash<quint16, QHash<quint16, std::shared_ptr<ShapeEntry>>> morphs;
    qint64 morphEdges = 0;
    QHash<QByteArray, QImage> images;
    qint64 imagePixels = 0;
};

// One call of paint(): walks the tree with the painter.
struct Renderer::Painting
{
    QPainter &painter;
    const Movie &movie;
    Cache &cache;
    QTransform toDevice;
    QRectF visible; // device pixels, with room for strokes
    QRect device;   // device pixels
    bool smoothing; // bitmaps may be smoothed
    bool aliased;   // low quality: whole pixels, each in or out by its centre

    void children(const std::vector<DisplayObject> &list, const QTransform &parent,
                  const ColorTransform &parentColor, int nesting);
    void object(const DisplayObject &object, const QTransform &transform,
                const ColorTransform &color, int nesting);
    void shape(ShapeEntry &entry, const QTransform &transform, const ColorTransform &color);
    void fill(const QPainterPath &path, const FillStyle &style, const ColorTransform &color);
    void stroke(ShapeEntry &entry, int index, const QTransform &transform,
                const ColorTransform &color);
    void text(const Text &text, const QTransform &transform, const ColorTransform &color);
    void bitmap(quint16 id, const QTransform &transform, const ColorTransform &color);
    Mask mask(const DisplayObject &object, const QTransform &transform, int nesting);
    void maskParts(const DisplayObject &object, const QTransform &transform, int nesting,
                   std::vector<QPainterPath> &parts);
    void fillPixels(const QPainterPath &path, const QBrush &brush);
    QRegion pixelsOf(const QPainterPath &outline);
    void applyMasks(const std::vector<Mask> &masks);

    std::shared_ptr<ShapeEntry> shapeEntry(const DisplayObject &object);
    QBrush brush(const FillStyle &style, const ColorTransform &color);
    QImage image(quint16 id, const ColorTransform &color);
};

void Renderer::Painting::children(const std::vector<DisplayObject> &list, const QTransform &parent,
                                  const ColorTransform &parentColor, int nesting)
{
    if (nesting > nestingLimit)
        return;
    std::vector<Mask> masks;
    bool saved = false;
    bool clipChanged = false;
    for (const DisplayObject &child : list) {
        const auto ended = std::remove_if(
            masks.begin(), masks.end(), [&](const Mask &mask) { return mask.until < child.depth; });
        if (ended != masks.end()) {
            masks.erase(ended, masks.end());
            clipChanged = true;
        }
        const QTransform transform = child.matrix * parent;
        if (child.clipDepth > 0) {
            masks.push_back(mask(child, transform, nesting + 1));
            clipChanged = true;
            continue;
        }
        if (clipChanged) {
            if (!saved)
                painter.save();
            saved = true;
            applyMasks(masks);
            clipChanged = false;
        }
        object(child, transform, child.colorTransform.then(parentColor), nesting + 1);
    }
    if (saved)
        painter.restore();
}

// Back to the clip the siblings started with, then narrowed by every mask
// still in force.
void Renderer::Painting::applyMasks(const std::vector<Mask> &masks)
{
    painter.restore();
    painter.save();
    painter.resetTransform();
    for (const Mask &mask : masks) {
        const Qt::ClipOperation operation =
            painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip;
        if (aliased)
            painter.setClipRegion(mask.pixels, operation);
        else
            painter.setClipPath(mask.area, operation);
    }
}

void Renderer::Painting::object(const DisplayObject &object, const QTransform &transform,
                                const ColorTransform &color, int nesting)
{
    switch (object.kind) {
    case CharacterKind::Shape:
    case CharacterKind::MorphShape:
        if (const auto entry = shapeEntry(object))
            shape(*entry, transform, color);
        break;
    case CharacterKind::Sprite:
        children(object.children, transform, color, nesting);
        break;
    case CharacterKind::Text:
        if (const auto found = movie.texts.value(object.characterId))
            text(*found, transform, color);
        break;
    case CharacterKind::Bitmap:
        bitmap(object.characterId, transform, color);
        break;
    case CharacterKind::Font:
    case CharacterKind::Sound:
        break;
    }
}

std::shared_ptr<ShapeEntry> Renderer::Painting::shapeEntry(const DisplayObject &object)
{
    const quint16 id = object.characterId;
    if (object.kind == CharacterKind::Shape) {
        if (const auto cached = cache.shapes.value(id))
            return cached;
        const auto found = movie.shapes.value(id);
        if (!found)
            return nullptr;
        return *cache.shapes.insert(id, makeEntry(found));
    }
    if (const auto kept = cache.morphs.constFind(id); kept != cache.morphs.constEnd()) {
        if (const auto cached = kept->value(object.ratio))
            return cached;
    }
    const auto found = movie.morphShapes.value(id);
    if (!found)
        return nullptr;
    const qint64 edges = found->startEdges.size();
    if (cache.morphEdges + edges > morphEdgesKept) {
        cache.morphs.clear();
        cache.morphEdges = 0;
    }
    auto &ratios = cache.morphs[id];
    if (ratios.size() >= morphRatiosKept) {
        cache.morphEdges -= ratios.size() * edges;
        ratios.clear();
    }
    cache.morphEdges += edges;
    return *ratios.insert(object.ratio,
                          makeEntry(std::make_shared<Shape>(morphShapeAt(*found, object.ratio))));
}

void Renderer::Painting::shape(ShapeEntry &entry, const QTransform &transform,
                               const ColorTransform &color)
{
    if (!isDrawable(transform))
        return;
    const QRectF bounds = entry.shape->bounds;
    if (bounds.isValid() && !transform.mapRect(bounds).intersects(visible))
        return;
    painter.setTransform(transform);
    const Shape &shape = *entry.shape;
    for (int i = 0; i < entry.paths.fills.size(); ++i) {
        if (!entry.paths.fills[i].isEmpty())
            fill(entry.paths.fills[i], shape.fills[i], color);
    }
    for (int i = 0; i < entry.paths.lines.size(); ++i) {
        if (!entry.paths.lines[i].isEmpty())
            stroke(entry, i, transform, color);
    }
}

// A clipped bitmap is drawn once inside the shape; where the shape reaches
// past the picture it stays empty (a Flash player would repeat the edge
// pixels there, which shapes made for a picture hardly ever show).
void Renderer::Painting::fill(const QPainterPath &path, const FillStyle &style,
                              const ColorTransform &color)
{
    if (style.type != FillStyle::Type::Bitmap || style.repeating) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, smoothing && style.smoothed);
        if (aliased)
            fillPixels(path, brush(style, color));
        else
            painter.fillPath(path, brush(style, color));
        return;
    }
    if (!movie.bitmaps.contains(style.bitmapId) || !isDrawable(style.bitmapMatrix))
        return;
    const QTransform shapeTransform = painter.transform();
    const Qt::ClipOperation operation = painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip;
    painter.save();
    const auto pixels = aliased ? coveredPixels(path, shapeTransform, device) : std::nullopt;
    if (pixels) {
        painter.resetTransform();
        painter.setClipRegion(*pixels, operation);
    } else {
        painter.setClipPath(path, operation);
    }
    painter.setTransform(style.bitmapMatrix * shapeTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smoothing && style.smoothed);
    // Filled as a texture over the picture's own rectangle rather than drawn
    // with drawImage: Qt 6.4's raster engine reads past a small image drawn
    // unsmoothed under some flipped transforms.
    const QImage picture = image(style.bitmapId, color);
    painter.fillRect(QRectF(QPointF(0, 0), picture.size()), QBrush(picture));
    painter.restore();
}

// The pixels path covers under the painter's transform, filled with brush,
// which is given in the path's own space as for fillPath. An outline too
// complex to cut up here is left to Qt, whose edge pixels differ a little.
void Renderer::Painting::fillPixels(const QPainterPath &path, const QBrush &brush)
{
    const QTransform transform = painter.transform();
    const auto pixels = coveredPixels(path, transform, device);
    if (!pixels) {
        painter.fillPath(path, brush);
        return;
    }
    if (pixels->isEmpty())
        return;
    QBrush placed = brush;
    placed.setTransform(brush.transform() * transform);
    painter.save();
    painter.resetTransform();
    painter.setClipRegion(*pixels, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    painter.fillRect(pixels->boundingRect(), placed);
    painter.restore();
}

QBrush Renderer::Painting::brush(const FillStyle &style, const ColorTransform &color)
{
    switch (style.type) {
    case FillStyle::Type::Solid:
        return applied(color, style.color);
    case FillStyle::Type::Linear:
    case FillStyle::Type::Radial:
    case FillStyle::Type::Focal:
        return gradientBrush(style, color);
    case FillStyle::Type::Bitmap:
        break;
    }
    if (!movie.bitmaps.contains(style.bitmapId) || !isDrawable(style.bitmapMatrix))
        return Qt::NoBrush;
    QBrush brush(image(style.bitmapId, color));
    brush.setTransform(style.bitmapMatrix);
    return brush;
}

// Flash scales a line with its shape but never draws it thinner than one
// pixel; a line that keeps its width keeps it in stage pixels.
void Renderer::Painting::stroke(ShapeEntry &entry, int index, const QTransform &transform,
                                const ColorTransform &color)
{
    const LineStyle &style = entry.shape->lines[index];
    painter.setTransform(transform); // an earlier thin line may have left it shifted
    const QBrush brush =
        style.fill ? this->brush(*style.fill, color) : QBrush(applied(color, style.color));
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          smoothing && (!style.fill || style.fill->smoothed));
    QPen pen(brush, 1, Qt::SolidLine, capStyle(style.startCap), joinStyle(style.join));
    pen.setMiterLimit(style.miterLimit);
    if (style.noHScale || style.noVScale) {
        pen.setCosmetic(true);
        pen.setWidthF(std::max(1.0, style.width * scaleOf(toDevice)));
    } else if (style.width * scaleOf(transform) < 1) {
        pen.setCosmetic(true);
    } else if (!aliased && style.width * scaleOf(transform) <= 1 + 1e-6) {
        // Qt draws a line of one pixel with its own thin-line rule, which
        // is closer to Flash's than the filled outline.
        pen.setWidthF(style.width);
    } else {
        std::optional<QPainterPath> &area = entry.lineAreas[index];
        if (!area) {
            pen.setWidthF(style.width);
            QPainterPathStroker stroker(pen);
            area = stroker.createStroke(entry.paths.lines[index]);
        }
        if (aliased)
            fillPixels(*area, brush);
        else
            painter.fillPath(*area, brush);
        return;
    }
    if (aliased) {
        // Without antialiasing, Qt draws a thin line centred on a pixel
        // border on the pixel after the border, Flash on the one before. A
        // shift well below a pixel moves only such lines across.
        painter.setTransform(transform * QTransform::fromTranslate(-aliasedShift, -aliasedShift));
    }
    painter.strokePath(entry.paths.lines[index], pen);
}

void Renderer::Painting::text(const Text &text, const QTransform &transform,
                              const ColorTransform &color)
{
    const QTransform textTransform = text.matrix * transform;
    if (!isDrawable(textTransform))
        return;
    forEachGlyph(
        movie, text,
        [&](const QPainterPath &outline, const QTransform &place, const QColor &glyphColor) {
            painter.setTransform(place * textTransform);
            if (aliased)
                fillPixels(outline, QBrush(applied(color, glyphColor)));
            else
                painter.fillPath(outline, applied(color, glyphColor));
        });
}

void Renderer::Painting::bitmap(quint16 id, const QTransform &transform,
                                const ColorTransform &color)
{
    const QTransform pixels = QTransform::fromScale(20, 20) * transform;
    if (!movie.bitmaps.contains(id) || !isDrawable(pixels))
        return;
    painter.setTransform(pixels);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smoothing);
    // As for a clipped bitmap fill: a texture, not drawImage.
    const QImage picture = image(id, color);
    painter.fillRect(QRectF(QPointF(0, 0), picture.size()), QBrush(picture));
}

QImage Renderer::Painting::image(quint16 id, const ColorTransform &color)
{
    const QImage &original = movie.bitmaps.value(id)->image;
    if (color.isIdentity())
        return original;
    const QByteArray key = imageKey(id, color);
    if (const auto found = cache.images.constFind(key); found != cache.images.constEnd())
        return *found;
    const qint64 pixels = qint64(original.width()) * original.height();
    if (cache.imagePixels + pixels > transformedPixelsKept) {
        cache.images.clear();
        cache.imagePixels = 0;
    }
    cache.imagePixels += pixels;
    return *cache.images.insert(key, transformedImage(original, color));
}

// The area a mask lets through: the fills of its shapes, put together.
Mask Renderer::Painting::mask(const DisplayObject &object, const QTransform &transform, int nesting)
{
    std::vector<QPainterPath> parts;
    maskParts(object, transform, nesting, parts);
    Mask result{object.clipDepth, {}, {}};
    for (const QPainterPath &part : parts) {
        if (aliased)
            result.pixels += pixelsOf(part);
        else if (result.area.isEmpty())
            result.area = part;
        else if (result.area.elementCount() + part.elementCount() <= unionElements)
            result.area = result.area.united(part);
        else
            result.area.addPath(part); // where two parts overlap, the mask has a gap
    }
    return result;
}

// The pixels an outline in device pixels covers; one too complex to cut up
// here goes by Qt's own flattening instead.
QRegion Renderer::Painting::pixelsOf(const QPainterPath &outline)
{
    if (const auto pixels = coveredPixels(outline, QTransform(), device))
        return *pixels;
    return QRegion(outline.toFillPolygon().toPolygon(), outline.fillRule()) & device;
}

// The outlines of a mask in device pixels, one for each shape, text or
// bitmap in it.
void Renderer::Painting::maskParts(const DisplayObject &object, const QTransform &transform,
                                   int nesting, std::vector<QPainterPath> &parts)
{
    if (nesting > nestingLimit || !isDrawable(transform))
        return;
    QPainterPath result;
    switch (object.kind) {
    case CharacterKind::Shape:
    case CharacterKind::MorphShape:
        if (const auto entry = shapeEntry(object)) {
            // The fills of one shape never overlap, so odd-even still holds for all of them.
            result.setFillRule(Qt::OddEvenFill);
            for (const QPainterPath &path : entry->paths.fills)
                result.addPath(transform.map(path));
        }
        break;
    case CharacterKind::Sprite:
        for (const DisplayObject &child : object.children) {
            if (child.clipDepth <= 0)
                maskParts(child, child.matrix * transform, nesting + 1, parts);
        }
        break;
    case CharacterKind::Text:
        if (const auto found = movie.texts.value(object.characterId)) {
            result.setFillRule(Qt::WindingFill);
            const QTransform textTransform = found->matrix * transform;
            forEachGlyph(movie, *found,
                         [&](const QPainterPath &outline, const QTransform &place, const QColor &) {
                             result.addPath((place * textTransform).map(outline));
                         });
        }
        break;
    case CharacterKind::Bitmap:
        if (const auto found = movie.bitmaps.value(object.characterId))
            result.addPolygon(
                (QTransform::fromScale(20, 20) * transform).map(QRectF(found->image.rect())));
        break;
    case CharacterKind::Font:
    case CharacterKind::Sound:
        break;
    }
    if (!result.isEmpty())
        parts.push_back(std::move(result));
}

Renderer::Renderer(std::shared_ptr<const Movie> movie)
    : m_movie(std::move(movie)), m_cache(std::make_unique<Cache>())
{
}

Renderer::~Renderer() = default;

void Renderer::paint(QPainter &painter, const DisplayObject &root, const QTransform &toDevice)
{
    if (!m_movie)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, m_highQuality);
    const double margin = 64;
    const QRectF visible = QRectF(painter.viewport()).adjusted(-margin, -margin, margin, margin);
    Painting painting{painter, *m_movie,           *m_cache,      toDevice,
                      visible, painter.viewport(), m_highQuality, !m_highQuality};
    painting.children(root.children, toDevice, ColorTransform(), 0);
    painter.restore();
}

QTransform Renderer::showAll(const QRectF &stageTwips, const QRectF &area)
{
    if (stageTwips.width() <= 0 || stageTwips.height() <= 0)
        return QTransform(0, 0, 0, 0, 0, 0);
    const double scale =
        std::min(area.width() / stageTwips.width(), area.height() / stageTwips.height());
    const QPointF offset((area.width() - stageTwips.width() * scale) / 2,
                         (area.height() - stageTwips.height() * scale) / 2);
    return QTransform::fromTranslate(-stageTwips.x(), -stageTwips.y()) *
           QTransform::fromScale(scale, scale) *
           QTransform::fromTranslate(area.x() + offset.x(), area.y() + offset.y());
}

} // namespace swf
