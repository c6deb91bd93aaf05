// SPDX-License-Identifier: GPL-3.0-or-later
#include "moviebuilder.h"
#include "makererror.h"
#include "practicedata.h"
#include "readings.h"
#include "speech.h"
#include "strokereveal.h"

#include <QFont>
#include <QFontDatabase>
#include <QLineF>
#include <QtMath>

namespace {

enum Depth { GridDepth = 1, PinyinDepth = 2, NameDepth = 3, CountDepth = 4, FirstStrokeDepth = 10 };

void appendCubic(ShapePath &out, QPointF p0, QPointF c1, QPointF c2, QPointF p3, int depth = 0)
{
    // Both ends' tangents meet at q1 and q2; when these nearly agree the
    // cubic is close to the quadratic through their middle.
    const QPointF q1 = (3.0 * c1 - p0) / 2.0;
    const QPointF q2 = (3.0 * c2 - p3) / 2.0;
    if (QLineF(q1, q2).length() < 0.5 || depth >= 5) {
        out.quadTo((q1 + q2) / 2.0, p3);
        return;
    }
    const QPointF a = (p0 + c1) / 2.0;
    const QPointF b = (c1 + c2) / 2.0;
    const QPointF c = (c2 + p3) / 2.0;
    const QPointF ab = (a + b) / 2.0;
    const QPointF bc = (b + c) / 2.0;
    const QPointF middle = (ab + bc) / 2.0;
    appendCubic(out, p0, a, ab, middle, depth + 1);
    appendCubic(out, middle, bc, c, p3, depth + 1);
}

Shape filled(const ShapePath &path, Rgba color)
{
    return Shape{{ShapePart{path, color, std::nullopt}}};
}

ShapePath polygonsToShapePath(const QList<QPolygonF> &polygons)
{
    ShapePath path;
    for (const QPolygonF &polygon : polygons) {
        path.moveTo(polygon.first());
        for (int i = 1; i < polygon.size(); ++i)
            path.lineTo(polygon[i]);
        path.close();
    }
    return path;
}

void addDashes(ShapePath &path, QPointF from, QPointF to, double dash, double gap)
{
    const QLineF line(from, to);
    for (double at = 0; at < line.length(); at += dash + gap) {
        path.moveTo(line.pointAt(at / line.length()));
        path.lineTo(line.pointAt(std::min(at + dash, line.length()) / line.length()));
    }
}

// The 田字格: a solid square, a dashed cross and finer dashed diagonals.
Shape gridShape()
{
    const QRectF r = MovieLayout::Grid.adjusted(1, 1, -1, -1);
    ShapePath square;
    square.moveTo(r.topLeft());
    square.lineTo(r.topRight());
    square.lineTo(r.bottomRight());
    square.lineTo(r.bottomLeft());
    square.close();
    ShapePath cross;
    addDashes(cross, QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()), 10, 6);
    addDashes(cross, QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()), 10, 6);
    ShapePath diagonals;
    addDashes(diagonals, r.topLeft(), r.bottomRight(), 6, 6);
    addDashes(diagonals, r.topRight(), r.bottomLeft(), 6, 6);
    return Shape{{ShapePart{square, std::nullopt, LineStyle{2.5, MovieColors::Grid}},
                  ShapePart{cross, std::nullopt, LineStyle{1.5, MovieColors::Grid}},
                  ShapePart{diagonals, std::nullopt, LineStyle{1.0, MovieColors::Grid}}}};
}

// Keeps track of what each depth shows so that each frame only sends the
// changes.
class Timeline
{
public:
    Timeline(const MovieInput &input, SwfWriter &movie) : m_input(input), m_movie(movie)
    {
        const QTransform toStage = MovieLayout::characterToStage();
        for (int i = 0; i < input.data.strokes.size(); ++i) {
            m_outlines.append(toStage.map(input.data.strokes[i]));
            m_medians.append(toStage.map(input.data.medians[i]));
        }
        m_placed = QList<bool>(m_outlines.size(), false);
        m_finished = QList<bool>(m_outlines.size(), false);
    }

    void show(const PlannedFrame &frame)
    {
        for (int stroke = 0; stroke < frame.finishedStrokes; ++stroke) {
            if (!m_finished[stroke]) {
                showStroke(stroke, filled(toShapePath(m_outlines[stroke]), MovieColors::Finished));
                m_finished[stroke] = true;
            }
        }
        if (frame.stroke >= 0)
            showWriting(frame.stroke, frame.reveal);
        // A stroke's name and count stay through the pause after it; the
        // total comes with the pinyin.
        const int labelled = frame.stroke >= 0  ? frame.stroke
                             : frame.showPinyin ? -1
                                                : frame.finishedStrokes - 1;
        showLabel(NameDepth, labelled >= 0 ? m_input.strokeNames.value(labelled) : Label(),
                  MovieColors::Writing);
        showLabel(CountDepth,
                  labelled >= 0      ? m_input.strokeCounts.value(labelled)
                  : frame.showPinyin ? m_input.total
                                     : Label(),
                  MovieColors::Count);
        if (frame.showPinyin && !m_pinyinShown && !m_input.pinyinOutline.isEmpty()) {
            m_movie.placeObject(PinyinDepth,
                                m_movie.defineShape(filled(toShapePath(m_input.pinyinOutline),
                                                           MovieColors::Pinyin)));
            m_pinyinShown = true;
        }
        if (frame.startSound && !m_input.sound.frames.isEmpty()) {
            if (m_soundId == 0)
                m_soundId = m_movie.defineSound(m_input.sound);
            // A player running behind skips the repetition rather than
            // speaking it over the first saying.
            m_movie.startSound(m_soundId, true);
        }
    }

    // The syllable's sound, once a frame has started it; 0 before.
    quint16 soundId() const { return m_soundId; }

private:
    void showWriting(int stroke, double reveal)
    {
        if (reveal >= 1.0) {
            showStroke(stroke, filled(toShapePath(m_outlines[stroke]), MovieColors::Writing));
            return;
        }
        const double radius =
            brushRadiusFor(m_outlines[stroke], m_medians[stroke], MovieLayout::BrushRadius);
        const QList<QPolygonF> part =
            revealedPart(m_outlines[stroke], m_medians[stroke], reveal, radius);
        if (!part.isEmpty())
            showStroke(stroke, filled(polygonsToShapePath(part), MovieColors::Writing));
    }

    void showLabel(int depth, const Label &label, Rgba color)
    {
        QString &shown = m_labelShown[depth];
        if (label.text == shown)
            return;
        if (label.text.isEmpty()) {
            m_movie.removeObject(depth);
        } else {
            quint16 &id = m_labelIds[label.text];
            if (id == 0)
                id = m_movie.defineShape(filled(toShapePath(label.outline), color));
            if (shown.isEmpty())
                m_movie.placeObject(depth, id);
            else
                m_movie.replaceObject(depth, id);
        }
        shown = label.text;
    }

    void showStroke(int stroke, const Shape &shape)
    {
        const quint16 id = m_movie.defineShape(shape);
        if (m_placed[stroke]) {
            m_movie.replaceObject(FirstStrokeDepth + stroke, id);
        } else {
            m_movie.placeObject(FirstStrokeDepth + stroke, id);
            m_placed[stroke] = true;
        }
    }

    const MovieInput &m_input;
    SwfWriter &m_movie;
    QList<QPainterPath> m_outlines;
    QList<QPolygonF> m_medians;
    QList<bool> m_placed;
    QList<bool> m_finished;
    bool m_pinyinShown = false;
    quint16 m_soundId = 0;
    QHash<int, QString> m_labelShown;   // depth -> text
    QHash<QString, quint16> m_labelIds; // text -> shape
};

} // namespace

QTransform MovieLayout::characterToStage()
{
    const double scale = Grid.width() / 1024.0;
    return QTransform::fromScale(scale, scale) * QTransform::fromTranslate(Grid.left(), Grid.top());
}

void addSpeech(MovieInput &input, const QString &pinyin, const QString &voiceDir)
{
    const Pronunciation said = pronounce(voiceDir, toneNumbered(pinyin));
    input.sound = encodeMp3(said.pcm);
    input.recordedVoice = said.recorded;
}

QList<PlannedFrame> planMovie(const MovieInput &input, const Timing &timing)
{
    const int soundFrames = input.sound.sampleRate > 0
                                ? qCeil(double(input.sound.sampleCount) * timing.framesPerSecond /
                                        input.sound.sampleRate)
                                : 0;
    return planFrames(input.data.medians, soundFrames, timing);
}

QByteArray buildMovie(const MovieInput &input, const QList<PlannedFrame> &plan, int stopAtFrame)
{
    SwfWriter movie({MovieLayout::Stage, MovieLayout::FramesPerSecond});
    movie.setBackgroundColor(MovieColors::Background);
    movie.placeObject(GridDepth, movie.defineShape(gridShape()));
    Timeline timeline(input, movie);
    for (int i = 0; i < plan.size(); ++i) {
        timeline.show(plan[i]);
        if (i == stopAtFrame) {
            movie.doAction(ActionList().stop());
            movie.showFrame();
            break;
        }
        movie.showFrame();
    }
    // After the last frame, so that the lesson's own tags stay where and as
    // they were: players skip it, the program reads it when the movie loads.
    movie.rawTag(practice::TagCode,
                 practice::writePracticeData(practiceData(input, timeline.soundId())));
    return movie.finish(SwfWriter::Compression::Zlib);
}

namespace {

QColor toColor(Rgba c)
{
    return QColor(c.r, c.g, c.b);
}

QRectF toTwips(const QRectF &pixels)
{
    return QRectF(pixels.topLeft() * 20.0, pixels.size() * 20.0);
}

} // namespace

practice::PracticeData practiceData(const MovieInput &input, quint16 soundId)
{
    practice::PracticeData data;
    data.grid = toTwips(MovieLayout::Grid);
    data.nameBox = toTwips(MovieLayout::StrokeNameBox);
    data.countBox = toTwips(MovieLayout::StrokeCountBox);
    data.gridColor = toColor(MovieColors::Grid);
    data.writingColor = toColor(MovieColors::Writing);
    data.finishedColor = toColor(MovieColors::Finished);
    data.countColor = toColor(MovieColors::Count);
    data.soundId = soundId;
    for (int i = 0; i < input.data.strokes.size(); ++i)
        data.strokes.append(practice::Stroke{input.strokeNames.value(i).text,
                                             input.data.medians.value(i), input.data.strokes[i]});
    return data;
}

namespace {

QFont fontFromFile(const QString &fontFile, int pixelSize)
{
    const int fontId = QFontDatabase::addApplicationFont(fontFile);
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (families.isEmpty())
        throw MakerError(QStringLiteral("Cannot load the font %1").arg(fontFile));
    // A collection holds the same face for several regions: the mainland's
    // forms where there is a choice.
    const auto mainland = std::find_if(families.begin(), families.end(), [](const QString &f) {
        return f.endsWith(QStringLiteral(" CN"));
    });
    QFont font(mainland != families.end() ? *mainland : families.first());
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoFontMerging);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

QFont pinyinFont(const QString &fontFile)
{
    return fontFromFile(fontFile, 56);
}

// A count up to 第99画 fits its box at this size, so counts never shrink
// from one stroke to the next; the longest names shrink to fit.
Lettering::Lettering(const QString &fontFile)
    : m_nameFont(fontFromFile(fontFile, 56)), m_countFont(fontFromFile(fontFile, 40))
{
}

void Lettering::label(MovieInput &input, const QStringList &names, int strokeCount)
{
    input.strokeNames.clear();
    for (const QString &name : names)
        input.strokeNames.append(fitted(name, m_nameFont, MovieLayout::StrokeNameBox));
    input.strokeCounts.clear();
    for (int i = 1; i <= strokeCount; ++i)
        input.strokeCounts.append(
            fitted(QStringLiteral("第%1画").arg(i), m_countFont, MovieLayout::StrokeCountBox));
    input.total =
        fitted(QStringLiteral("共%1画").arg(strokeCount), m_countFont, MovieLayout::StrokeCountBox);
}

// Centred in the box, made smaller if it would not fit.
Label Lettering::fitted(const QString &text, const QFont &font, const QRectF &box)
{
    if (text.isEmpty())
        return Label();
    QPainterPath &drawn = m_drawn[text + QString::number(box.top())];
    if (drawn.isEmpty()) {
        QPainterPath path;
        path.addText(0, 0, font, text);
        const QRectF bounds = path.boundingRect();
        const double scale =
            std::min({1.0, box.width() / bounds.width(), box.height() / bounds.height()});
        drawn = (QTransform::fromTranslate(-bounds.center().x(), -bounds.center().y()) *
                 QTransform::fromScale(scale, scale) *
                 QTransform::fromTranslate(box.center().x(), box.center().y()))
                    .map(path);
    }
    return Label{text, drawn};
}

QPainterPath pinyinOutline(const QString &pinyin, const QFont &font)
{
    QPainterPath path;
    path.addText(0, 0, font, pinyin);
    const QRectF bounds = path.boundingRect();
    return QTransform::fromTranslate(MovieLayout::PinyinBand.center().x() - bounds.center().x(),
                                     MovieLayout::PinyinBand.center().y() - bounds.center().y())
        .map(path);
}

ShapePath toShapePath(const QPainterPath &path)
{
    ShapePath out;
    QPointF pen;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            // A fill needs closed figures; glyph outlines may leave them open.
            out.close();
            out.moveTo(e);
            break;
        case QPainterPath::LineToElement:
            out.lineTo(e);
            break;
        case QPainterPath::CurveToElement:
            appendCubic(out, pen, e, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
        pen = path.elementAt(i);
    }
    out.close();
    return out;
}
